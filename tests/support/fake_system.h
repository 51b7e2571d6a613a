// A scripted machine for tests: a screen of a chosen size and a shell that keeps app bars the
// way the Windows shell does (each bar is kept clear of the bars already placed on its edge).
// Every request is recorded, so a test can check what was asked and in which order.
#ifndef VELKIN_TESTS_SUPPORT_FAKE_SYSTEM_H
#define VELKIN_TESTS_SUPPORT_FAKE_SYSTEM_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "system/system.h"

namespace velkin {

class FakeSystem : public SystemServices {
 public:
  struct AppBarCall {
    uint32_t message;
    AppBarRecord sent;      // the record as the program sent it
    AppBarRecord answered;  // the record as the shell left it
    uintptr_t result;
  };
  struct Bar {
    WindowHandle hWnd;
    uint32_t callbackMessage;
    uint32_t edge;
    Rect rc;
    bool placed;  // the bar has set a position (ABM_SETPOS)
  };

  // A drive as the queries see it.
  struct Drive {
    uint32_t type = kDriveFixed;
    uint32_t sectorsPerCluster = 8;
    uint32_t bytesPerSector = 512;
    uint32_t freeClusters = 0;
    uint32_t totalClusters = 0;
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;
    bool fails = false;  // every query of this drive fails
  };
  // Another program's top-level window.
  struct Window {
    WindowHandle handle;
    std::string title;
    bool visible = true;
    bool owned = false;
    bool minimized = false;
  };
  struct Message {
    WindowHandle owner;
    std::string text;
    std::string caption;
    uint32_t style;
  };
  struct TimerCall {
    bool start;  // StartTimer, or StopTimer
    WindowHandle window;
    uintptr_t id;
    uint32_t period;
  };

  Size ScreenSize() override { return screen; }
  uintptr_t AppBarMessage(uint32_t message, AppBarRecord& data) override;
  uint32_t TickCount() override;
  uint32_t LogicalDrives() override;
  uint32_t DriveType(const char* root) override;
  bool DiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                     uint32_t* freeClusters, uint32_t* totalClusters) override;
  bool DiskFreeSpaceEx(ProcAddress function, const char* directory, uint64_t* totalBytes,
                       uint64_t* totalFreeBytes) override;
  uint32_t AvailablePhysicalMemory() override;
  bool AvailablePhysicalMemoryEx(ProcAddress function, uint64_t* bytes) override;
  int32_t FreeSystemResources(ProcAddress function, uint32_t which) override;
  WindowsVersion Version() override { return version; }
  ModuleHandle LoadModule(const char* name) override;
  ProcAddress FindProc(ModuleHandle module, const char* name) override;
  void ReleaseModule(ModuleHandle module) override;
  int ShowMessage(WindowHandle owner, const char* text, const char* caption, uint32_t style) override;
  void StartTimer(WindowHandle window, uintptr_t id, uint32_t period) override;
  void StopTimer(WindowHandle window, uintptr_t id) override;
  WindowHandle FirstWindow(WindowHandle of) override;
  WindowHandle NextWindow(WindowHandle after) override;
  bool WindowVisible(WindowHandle window) override;
  std::string WindowTitle(WindowHandle window) override;
  bool WindowOwned(WindowHandle window) override;
  void ShowMinimized(WindowHandle window) override;
  bool RequestExitWindows(uint32_t flags, uint32_t reserved) override;
  bool RequestRestartWindows(uint32_t returnCode) override;
  bool RequestSuspend(bool suspend, bool force) override;
  std::string ModulePath() override { return modulePath; }
  LeadByteTest LeadBytes() override;
  FileRead ReadWholeFile(const std::string& path, std::string* bytes) override;
  bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
  Replace RenameReplacing(const std::string& from, const std::string& to) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  bool FileReadOnly(const std::string& path) override {
    return files.count(path) != 0 && readOnlyFiles.count(path) != 0;
  }

  // The period of a running timer, 0 when it is not running.
  uint32_t TimerPeriod(WindowHandle window, uintptr_t id) const;
  // How many modules are loaded and not yet released.
  int LoadedModuleCount() const;
  // How many calls of each kind (the query's name) were made.
  std::size_t CountQueries(const std::string& name) const;

  // Another program's bar, registered and placed before ours.
  void AddPlacedBar(WindowHandle hWnd, uint32_t edge, Rect rc);
  // The shell was restarted: it has forgotten every bar.
  void RestartShell() { bars.clear(); }

  const Bar* FindBar(WindowHandle hWnd) const;
  std::size_t CountCalls(uint32_t message) const;

  Size screen{1024, 768};
  // When set, ABM_NEW of a bar that is already registered answers FALSE, as Wine's shell does;
  // otherwise the shell registers it again silently.
  bool refuseSecondRegistration = true;
  std::vector<Bar> bars;
  std::vector<AppBarCall> appBarCalls;

  // Drives by letter; letters not here are "no such drive" (type 1). LogicalDrives reports
  // the letters here, or 0 (not known) when `logicalDrivesUnknown` is set.
  std::map<char, Drive> drives;
  bool logicalDrivesUnknown = false;
  // What TickCount answers: the tests move this clock themselves.
  uint32_t tickCount = 0;
  uint32_t availablePhysicalMemory = 0;  // what GlobalMemoryStatus reports
  uint64_t availablePhysicalMemoryEx = 0;  // what GlobalMemoryStatusEx reports
  int32_t freeSystemResources = 0;
  WindowsVersion version{4, 10, 1998, 1};
  // The libraries that can be loaded, each with the functions it exports. The defaults are a
  // Windows 98 machine: KERNEL32 with the 64-bit free-space query, the resource library.
  std::map<std::string, std::vector<std::string>> libraries = {
      {"KERNEL32", {"GetDiskFreeSpaceExA"}},
      {"RSRC32", {"_MyGetFreeSystemResources32@4"}},
  };

  // The top-level windows in stacking order, the topmost first. Showing a window minimized
  // activates it, which brings it to the top, as on Windows.
  std::vector<Window> windows;
  // Adds a window at the bottom of the stacking order and returns its handle.
  WindowHandle AddWindow(const std::string& title, bool visible = true, bool owned = false);
  const Window* FindWindowInfo(WindowHandle handle) const;

  // The program's own path, and its files by full path.
  std::string modulePath = "C:\\Velkin\\velkin.exe";
  std::map<std::string, std::string> files;
  // Windows 9x has no rename that replaces a file.
  bool replacingRename = true;
  // Files that are there but cannot be read (held open by another program); files with the
  // read-only attribute (not replaced, not deleted; renamed like any other); files that cannot
  // be deleted (in use).
  std::set<std::string> unreadable;
  std::set<std::string> readOnlyFiles;
  std::set<std::string> undeletable;
  // Every change to the files fails (a read-only folder, a full disk).
  bool readOnly = false;
  // The machine stops at the change with this number (1 for the first; 0: never): that change
  // and all later ones do not happen, except that a write stopped this way leaves half its
  // bytes behind, as a write cut off by a power failure may.
  int stopAtChange = 0;
  // The change with this number fails (1 for the first; 0: none), and the ones after it work.
  int failAtChange = 0;
  // Changes to the files attempted so far.
  int changes = 0;

  // What was asked, in order: the query's name and its argument, e.g. "DriveType C:\".
  std::vector<std::string> queries;
  std::vector<Message> messages;
  // Runs while a message box is up, with the box's owner: what arrives meanwhile.
  std::function<void(WindowHandle owner)> whileMessageShown;
  // What the session and power requests answer: taken, or refused.
  bool requestsTaken = true;
  // Runs during a restart or shutdown request (ExitWindowsEx, the 16-bit ExitWindows): what
  // Windows sends the program before the call returns.
  std::function<void()> whileRequesting;
  std::vector<TimerCall> timerCalls;
  // Calls through a function whose library was released, or through an address never handed
  // out: each is a fault of the program.
  int badCalls = 0;

 private:
  struct Module {
    std::string name;
    bool loaded;
  };
  struct Proc {
    std::size_t module;  // index into modules_
    std::string name;
  };
  Bar* Find(WindowHandle hWnd);
  const Drive* DriveAt(const char* root) const;
  // Counts a change to the files; false when it must not happen.
  bool MayChange(bool* stoppedHere = nullptr);
  // The function behind an address handed out by FindProc, or nullptr (counted as a bad call)
  // when it is unknown, of another name, or its library has been released.
  const Proc* CallThrough(ProcAddress function, const char* name);

  std::vector<Module> modules_;  // a module handle is its index + 1
  std::vector<Proc> procs_;      // an address is 0x1000 + its index
  std::map<std::pair<WindowHandle, uintptr_t>, uint32_t> timers_;
  // Moves rc clear of the placed bars on its edge (other than the asking one) and of the
  // screen's sides, as ABM_QUERYPOS and ABM_SETPOS do.
  void Adjust(WindowHandle asking, uint32_t edge, Rect& rc) const;
};

}  // namespace velkin

#endif
