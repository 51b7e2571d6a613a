#include "tests/support/fake_system.h"

#include <cstdio>

#include <algorithm>

namespace velkin {

FakeSystem::Bar* FakeSystem::Find(WindowHandle hWnd) {
  for (Bar& bar : bars) {
    if (bar.hWnd == hWnd) return &bar;
  }
  return nullptr;
}

const FakeSystem::Bar* FakeSystem::FindBar(WindowHandle hWnd) const {
  for (const Bar& bar : bars) {
    if (bar.hWnd == hWnd) return &bar;
  }
  return nullptr;
}

std::size_t FakeSystem::CountCalls(uint32_t message) const {
  return static_cast<std::size_t>(std::count_if(
      appBarCalls.begin(), appBarCalls.end(),
      [message](const AppBarCall& call) { return call.message == message; }));
}

void FakeSystem::AddPlacedBar(WindowHandle hWnd, uint32_t edge, Rect rc) {
  bars.push_back(Bar{hWnd, 0, edge, rc, true});
}

void FakeSystem::Adjust(WindowHandle asking, uint32_t edge, Rect& rc) const {
  rc.left = std::max(rc.left, 0);
  rc.top = std::max(rc.top, 0);
  rc.right = std::min(rc.right, screen.cx);
  rc.bottom = std::min(rc.bottom, screen.cy);
  for (const Bar& other : bars) {
    if (other.hWnd == asking || !other.placed || other.edge != edge) continue;
    switch (edge) {
      case kEdgeLeft: rc.left = std::max(rc.left, other.rc.right); break;
      case kEdgeTop: rc.top = std::max(rc.top, other.rc.bottom); break;
      case kEdgeRight: rc.right = std::min(rc.right, other.rc.left); break;
      case kEdgeBottom: rc.bottom = std::min(rc.bottom, other.rc.top); break;
      default: break;
    }
  }
}

uintptr_t FakeSystem::AppBarMessage(uint32_t message, AppBarRecord& data) {
  AppBarCall call{message, data, data, 0};
  Bar* bar = Find(data.hWnd);
  switch (message) {
    case kAbmNew:
      if (bar == nullptr) {
        bars.push_back(Bar{data.hWnd, data.uCallbackMessage, data.uEdge, Rect{}, false});
        call.result = 1;
      } else {
        call.result = refuseSecondRegistration ? 0 : 1;
      }
      break;
    case kAbmRemove:
      if (bar != nullptr) {
        bars.erase(bars.begin() + (bar - bars.data()));
        call.result = 1;
      }
      break;
    case kAbmQueryPos:
      if (bar != nullptr) {
        Adjust(data.hWnd, data.uEdge, data.rc);
        call.result = 1;
      }
      break;
    case kAbmSetPos:
      if (bar != nullptr) {
        Adjust(data.hWnd, data.uEdge, data.rc);
        bar->edge = data.uEdge;
        bar->rc = data.rc;
        bar->placed = true;
        call.result = 1;
      }
      break;
    default:
      call.result = bar != nullptr ? 1 : 0;
      break;
  }
  call.answered = data;
  appBarCalls.push_back(call);
  return call.result;
}


const FakeSystem::Drive* FakeSystem::DriveAt(const char* root) const {
  // A root path is a letter, a colon and a backslash; anything else names no drive.
  if (root == nullptr || root[0] == '\0' || root[1] != ':' || root[2] != '\\' || root[3] != '\0') {
    return nullptr;
  }
  const auto it = drives.find(root[0]);
  return it != drives.end() ? &it->second : nullptr;
}

uint32_t FakeSystem::TickCount() { return tickCount; }

uint32_t FakeSystem::LogicalDrives() {
  queries.push_back("LogicalDrives");
  if (logicalDrivesUnknown) return 0;
  uint32_t mask = 0;
  for (const auto& drive : drives) {
    if (drive.first >= 'A' && drive.first <= 'Z') mask |= 1u << (drive.first - 'A');
  }
  return mask;
}

uint32_t FakeSystem::DriveType(const char* root) {
  queries.push_back(std::string("DriveType ") + root);
  const Drive* drive = DriveAt(root);
  return drive != nullptr ? drive->type : 1;  // DRIVE_NO_ROOT_DIR
}

bool FakeSystem::DiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                               uint32_t* freeClusters, uint32_t* totalClusters) {
  queries.push_back(std::string("DiskFreeSpace ") + root + (freeClusters != nullptr ? " free" : "") +
                    (totalClusters != nullptr ? " total" : ""));
  const Drive* drive = DriveAt(root);
  if (drive == nullptr || drive->fails) return false;
  if (sectorsPerCluster != nullptr) *sectorsPerCluster = drive->sectorsPerCluster;
  if (bytesPerSector != nullptr) *bytesPerSector = drive->bytesPerSector;
  if (freeClusters != nullptr) *freeClusters = drive->freeClusters;
  if (totalClusters != nullptr) *totalClusters = drive->totalClusters;
  return true;
}

bool FakeSystem::DiskFreeSpaceEx(ProcAddress function, const char* directory, uint64_t* totalBytes,
                                 uint64_t* totalFreeBytes) {
  queries.push_back(std::string("DiskFreeSpaceEx ") + directory + (totalFreeBytes != nullptr ? " free" : "") +
                    (totalBytes != nullptr ? " total" : ""));
  if (CallThrough(function, "GetDiskFreeSpaceExA") == nullptr) return false;
  const Drive* drive = DriveAt(directory);
  if (drive == nullptr || drive->fails) return false;
  if (totalBytes != nullptr) *totalBytes = drive->totalBytes;
  if (totalFreeBytes != nullptr) *totalFreeBytes = drive->freeBytes;
  return true;
}

uint32_t FakeSystem::AvailablePhysicalMemory() {
  queries.push_back("GlobalMemoryStatus");
  return availablePhysicalMemory;
}

bool FakeSystem::AvailablePhysicalMemoryEx(ProcAddress function, uint64_t* bytes) {
  queries.push_back("GlobalMemoryStatusEx");
  if (CallThrough(function, "GlobalMemoryStatusEx") == nullptr) return false;
  *bytes = availablePhysicalMemoryEx;
  return true;
}

int32_t FakeSystem::FreeSystemResources(ProcAddress function, uint32_t which) {
  queries.push_back("FreeSystemResources " + std::to_string(which));
  if (CallThrough(function, "_MyGetFreeSystemResources32@4") == nullptr) return 0;
  return freeSystemResources;
}

ModuleHandle FakeSystem::LoadModule(const char* name) {
  queries.push_back(std::string("LoadModule ") + name);
  if (libraries.count(name) == 0) return nullptr;
  modules_.push_back(Module{name, true});
  return reinterpret_cast<ModuleHandle>(modules_.size());
}

ProcAddress FakeSystem::FindProc(ModuleHandle module, const char* name) {
  queries.push_back(std::string("FindProc ") + name);
  const std::size_t index = reinterpret_cast<uintptr_t>(module) - 1;
  if (index >= modules_.size() || !modules_[index].loaded) return nullptr;
  const std::vector<std::string>& exported = libraries[modules_[index].name];
  if (std::find(exported.begin(), exported.end(), name) == exported.end()) return nullptr;
  procs_.push_back(Proc{index, name});
  return reinterpret_cast<ProcAddress>(0x1000 + procs_.size() - 1);
}

void FakeSystem::ReleaseModule(ModuleHandle module) {
  const std::size_t index = reinterpret_cast<uintptr_t>(module) - 1;
  queries.push_back("ReleaseModule " + (index < modules_.size() ? modules_[index].name : std::string("?")));
  if (index < modules_.size()) modules_[index].loaded = false;
}

const FakeSystem::Proc* FakeSystem::CallThrough(ProcAddress function, const char* name) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(function);
  if (address < 0x1000 || address - 0x1000 >= procs_.size()) {
    ++badCalls;
    return nullptr;
  }
  const Proc& proc = procs_[address - 0x1000];
  if (proc.name != name || !modules_[proc.module].loaded) {
    ++badCalls;
    return nullptr;
  }
  return &proc;
}

int FakeSystem::LoadedModuleCount() const {
  return static_cast<int>(std::count_if(modules_.begin(), modules_.end(),
                                        [](const Module& m) { return m.loaded; }));
}

std::size_t FakeSystem::CountQueries(const std::string& name) const {
  return static_cast<std::size_t>(std::count_if(queries.begin(), queries.end(), [&name](const std::string& q) {
    return q.compare(0, name.size(), name) == 0 && (q.size() == name.size() || q[name.size()] == ' ');
  }));
}

int FakeSystem::ShowMessage(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  queries.push_back(std::string("ShowMessage ") + caption);
  messages.push_back(Message{owner, text, caption, style});
  if (whileMessageShown) whileMessageShown(owner);
  return 1;  // IDOK
}

void FakeSystem::StartTimer(WindowHandle window, uintptr_t id, uint32_t period) {
  queries.push_back("StartTimer " + std::to_string(id) + " " + std::to_string(period));
  timerCalls.push_back(TimerCall{true, window, id, period});
  timers_[{window, id}] = period;
}

void FakeSystem::StopTimer(WindowHandle window, uintptr_t id) {
  queries.push_back("StopTimer " + std::to_string(id));
  timerCalls.push_back(TimerCall{false, window, id, 0});
  timers_.erase({window, id});
}

uint32_t FakeSystem::TimerPeriod(WindowHandle window, uintptr_t id) const {
  const auto it = timers_.find({window, id});
  return it != timers_.end() ? it->second : 0;
}


namespace {

bool Cp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

LeadByteTest FakeSystem::LeadBytes() { return &Cp932LeadByte; }

bool FakeSystem::MayChange(bool* stoppedHere) {
  ++changes;
  if (stoppedHere != nullptr) *stoppedHere = stopAtChange != 0 && changes == stopAtChange;
  if (stopAtChange != 0 && changes >= stopAtChange) return false;
  return !readOnly && changes != failAtChange;
}

FileRead FakeSystem::ReadWholeFile(const std::string& path, std::string* bytes) {
  queries.push_back("ReadFile " + path);
  const auto it = files.find(path);
  if (it == files.end()) return FileRead::kMissing;
  if (unreadable.count(path) != 0) return FileRead::kFailed;
  *bytes = it->second;
  return FileRead::kRead;
}

bool FakeSystem::WriteWholeFile(const std::string& path, const std::string& bytes) {
  queries.push_back("WriteFile " + path);
  bool stopped = false;
  if (!MayChange(&stopped)) {
    if (stopped && !readOnly) files[path] = bytes.substr(0, bytes.size() / 2);
    return false;
  }
  files[path] = bytes;
  return true;
}

Replace FakeSystem::RenameReplacing(const std::string& from, const std::string& to) {
  queries.push_back("RenameReplacing " + from + " " + to);
  if (!replacingRename) return Replace::kUnsupported;
  if (files.count(from) == 0 || FileReadOnly(to) || undeletable.count(to) != 0 || !MayChange()) return Replace::kFailed;
  files[to] = files[from];
  files.erase(from);
  readOnlyFiles.erase(to);
  unreadable.erase(to);
  return Replace::kReplaced;
}

bool FakeSystem::RenameFile(const std::string& from, const std::string& to) {
  queries.push_back("RenameFile " + from + " " + to);
  if (files.count(from) == 0 || files.count(to) != 0 || undeletable.count(from) != 0 || !MayChange()) return false;
  files[to] = files[from];
  files.erase(from);
  for (std::set<std::string>* marks : {&readOnlyFiles, &unreadable}) {
    if (marks->erase(from) != 0) marks->insert(to);
  }
  return true;
}

bool FakeSystem::RemoveFile(const std::string& path) {
  queries.push_back("RemoveFile " + path);
  if (files.count(path) == 0 || readOnlyFiles.count(path) != 0 || undeletable.count(path) != 0 || !MayChange()) {
    return false;
  }
  files.erase(path);
  unreadable.erase(path);
  return true;
}


bool FakeSystem::RequestExitWindows(uint32_t flags, uint32_t reserved) {
  queries.push_back("ExitWindowsEx " + Hex(flags) + " " + std::to_string(reserved));
  if (whileRequesting) whileRequesting();
  return requestsTaken;
}

bool FakeSystem::RequestRestartWindows(uint32_t returnCode) {
  queries.push_back("ExitWindows16 " + Hex(returnCode));
  if (whileRequesting) whileRequesting();
  return requestsTaken;
}

bool FakeSystem::RequestSuspend(bool suspend, bool force) {
  queries.push_back(std::string("SetSystemPowerState ") + (suspend ? "1" : "0") + " " + (force ? "1" : "0"));
  return requestsTaken;
}


WindowHandle FakeSystem::AddWindow(const std::string& title, bool visible, bool owned) {
  static uintptr_t next = 0x7000;
  Window window;
  window.handle = reinterpret_cast<WindowHandle>(next += 4);
  window.title = title;
  window.visible = visible;
  window.owned = owned;
  windows.push_back(window);
  return window.handle;
}

const FakeSystem::Window* FakeSystem::FindWindowInfo(WindowHandle handle) const {
  for (const Window& window : windows) {
    if (window.handle == handle) return &window;
  }
  return nullptr;
}

WindowHandle FakeSystem::FirstWindow(WindowHandle /*of*/) {
  return windows.empty() ? nullptr : windows.front().handle;
}

WindowHandle FakeSystem::NextWindow(WindowHandle after) {
  for (size_t i = 0; i + 1 < windows.size(); ++i) {
    if (windows[i].handle == after) return windows[i + 1].handle;
  }
  return nullptr;
}

bool FakeSystem::WindowVisible(WindowHandle window) {
  const Window* info = FindWindowInfo(window);
  return info != nullptr && info->visible;
}

std::string FakeSystem::WindowTitle(WindowHandle window) {
  const Window* info = FindWindowInfo(window);
  return info != nullptr ? info->title : std::string();
}

bool FakeSystem::WindowOwned(WindowHandle window) {
  const Window* info = FindWindowInfo(window);
  return info != nullptr && info->owned;
}

void FakeSystem::ShowMinimized(WindowHandle window) {
  for (size_t i = 0; i < windows.size(); ++i) {
    if (windows[i].handle != window) continue;
    Window shown = windows[i];
    queries.push_back("ShowMinimized " + shown.title);
    shown.minimized = true;
    windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(i));
    windows.insert(windows.begin(), shown);
    return;
  }
}

}  // namespace velkin
