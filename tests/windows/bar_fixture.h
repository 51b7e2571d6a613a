// A panel created on the scripted machine, as the application object creates it, and the ways
// the Windows tests drive and read it. The tier's test files take gtest, the standard strings,
// containers and the resource numbers from here.
#ifndef VELKIN_TESTS_WINDOWS_BAR_FIXTURE_H
#define VELKIN_TESTS_WINDOWS_BAR_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/framework.h"
#include "panel/panel_wnd.h"
#include "res/resource.h"
#include "tests/support/fake_system.h"

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

// Texts are read back as the screen shows them, in UTF-16, and made code page 932 here: a text
// handed to a window in the system's ANSI code page reads back wrong wherever that is not 932.
inline std::string From932Wide(const wchar_t* text, int length = -1) {
  char buffer[1024] = {};
  const int made = WideCharToMultiByte(932, 0, text, length, buffer, sizeof buffer - 1, nullptr, nullptr);
  return std::string(buffer, made > 0 && length < 0 ? static_cast<size_t>(made) - 1 : static_cast<size_t>(made > 0 ? made : 0));
}

inline std::wstring WideOf932(const std::string& text) {
  wchar_t buffer[1024] = {};
  MultiByteToWideChar(932, 0, text.c_str(), -1, buffer, 1024);
  return buffer;
}

inline std::string TextOf(HWND hWnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(hWnd, buffer, 512);
  return From932Wide(buffer);
}

inline std::string ClassOf(HWND hWnd) {
  char buffer[64] = {};
  GetClassNameA(hWnd, buffer, sizeof buffer);
  return buffer;
}

class BarTest : public ::testing::Test {
 protected:
  static constexpr const char* kSettingsPath = "C:\\Velkin\\vlkini.dat";
  static constexpr const char* kExclusionPath = "C:\\Velkin\\nonapp.dat";
  // The settings file's lines, counted from 0; line 9 always holds 1.
  enum SettingsLine { kDrive, kFreeUnit, kFreeUnitName, kTotalUnit, kTotalUnitName, kDecimals, kInterval,
                      kMemoryUnit = 10 };

  void SetUp() override {
    liveBefore_ = CWnd::LiveObjectCount();
    // A second start: the settings a first start would have saved are there.
    fake_.files[kSettingsPath] = SettingsWith({});
    UseDriveAndMemory(3 * kGiB, 64 * kMiB);
    fake_.freeSystemResources = 7;
  }
  void TearDown() override { ClosePanel(); }

  // Drive C: with 320 MiB free of `total`, and `memory` bytes of physical memory free.
  void UseDriveAndMemory(uint64_t total, uint64_t memory) {
    velkin::FakeSystem::Drive c;
    c.freeBytes = 320 * kMiB;
    c.totalBytes = total;
    c.freeClusters = static_cast<uint32_t>(c.freeBytes / 4096);  // 8 sectors of 512 bytes
    c.totalClusters = static_cast<uint32_t>(c.totalBytes / 4096);
    fake_.drives['C'] = c;
    fake_.availablePhysicalMemory = static_cast<uint32_t>(memory);
  }

  // Creates the panel the way the program starts it, and lets it settle. A panel made before
  // is closed first, so that a loop over rows starts each row on a fresh one.
  void CreatePanel() {
    ClosePanel();
    panel_ = CPanelWnd::CreatePanel(*machine_);
    ASSERT_NE(panel_, nullptr);
    hwnd_ = panel_->GetSafeHwnd();
    AfxPumpMessages();
  }

  // Destroys the panel's window unless the panel has ended already (then its object is gone).
  void ClosePanel() {
    if (panel_ != nullptr && CWnd::FromHandlePermanent(hwnd_) == panel_) DestroyWindow(hwnd_);
    AfxPumpMessages();
    panel_ = nullptr;
  }

  std::string Text(int id) const { return TextOf(GetDlgItem(hwnd_, id)); }
  void Command(UINT id) { SendMessageA(hwnd_, WM_COMMAND, id, 0); }
  void Tick(UINT_PTR id = 1) { SendMessageA(hwnd_, WM_TIMER, id, 0); }
  // Chooses an entry of a selector as the user does: the choice, then the notification.
  void Select(int selector, int index) {
    HWND combo = GetDlgItem(hwnd_, selector);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(selector, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  }

  // A selector's current position, its number of entries, and an entry's text.
  int Selection(int id) const { return static_cast<int>(SendMessageA(GetDlgItem(hwnd_, id), CB_GETCURSEL, 0, 0)); }
  int EntryCount(int id) const { return static_cast<int>(SendMessageA(GetDlgItem(hwnd_, id), CB_GETCOUNT, 0, 0)); }
  std::string Entry(int id, int index) const {
    wchar_t text[256] = {};
    SendMessageW(GetDlgItem(hwnd_, id), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return From932Wide(text);
  }

  // The four value texts, to see which changed.
  std::vector<std::string> Values() const {
    return {Text(IDC_FREESPACE_VALUE), Text(IDC_TOTALCAP_VALUE), Text(IDC_RESOURCE_VALUE), Text(IDC_MEMORY_VALUE)};
  }

  // Position of the first request that begins with `prefix`, or npos.
  size_t Position(const std::string& prefix) const {
    for (size_t i = 0; i < machine_->queries.size(); ++i) {
      if (machine_->queries[i].compare(0, prefix.size(), prefix) == 0) return i;
    }
    return std::string::npos;
  }

  // The requests made since `from` that begin with `prefix`, or, without one, all of them but
  // the readouts' measurements.
  std::vector<std::string> Requests(size_t from = 0, const std::string& prefix = "") const {
    std::vector<std::string> out;
    for (size_t i = from; i < machine_->queries.size(); ++i) {
      const std::string& q = machine_->queries[i];
      const bool wanted = !prefix.empty() ? q.rfind(prefix, 0) == 0
                                          : q.rfind("DriveType", 0) != 0 && q.rfind("DiskFreeSpace", 0) != 0 &&
                                                q.rfind("Global", 0) != 0 && q.rfind("FreeSystemResources", 0) != 0;
      if (wanted) out.push_back(q);
    }
    return out;
  }

  // A file of lines, each ending in CR LF (the settings file and the exclusion list alike).
  static std::string Lines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return bytes;
  }
  // The settings file a first start saves, with the given lines replaced.
  static std::string SettingsWith(const std::map<int, std::string>& changed) {
    std::vector<std::string> lines = {"0", "0", "Bytes", "0", "Bytes", "2", "4", "0", "0", "1", "0"};
    for (const auto& [line, text] : changed) lines[static_cast<size_t>(line)] = text;
    return Lines(lines);
  }

  // The bar's tooltip control: a window of this thread of the common controls' tooltip class.
  static HWND FindToolTip() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
          if (lstrcmpiA(ClassOf(window).c_str(), TOOLTIPS_CLASSA) != 0) return TRUE;
          *reinterpret_cast<HWND*>(result) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }

  // Where a control lies in the panel's client area.
  RECT PlaceOf(int id) const {
    RECT r{};
    GetWindowRect(GetDlgItem(hwnd_, id), &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  RECT WindowRect() const {
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    return rect;
  }

  velkin::FakeSystem fake_;
  // The machine the panel is made on: the scripted one unless a test gives another.
  velkin::FakeSystem* machine_ = &fake_;
  CPanelWnd* panel_ = nullptr;  // deleted by its window's destruction
  HWND hwnd_ = nullptr;
  long liveBefore_ = 0;
};

// One step of a dialog script: once a dialog of this thread with `caption` takes input, `act`
// runs on it. Actions that open or close dialogs must post their clicks (PostMessage), so that
// the script can go on inside the dialog's modal loop.
struct DialogStep {
  std::string caption;
  std::function<void(HWND)> act;
};

// Runs `open`, which shows modal dialogs and returns when they have ended, while the steps are
// carried out in order. Returns how many steps ran.
size_t RunDialogScript(std::vector<DialogStep> steps, const std::function<void()>& open);

// A script of one step: returns false when no such dialog ever showed.
bool WithDialog(const std::string& caption, const std::function<void(HWND)>& act,
                const std::function<void()>& open);

// The machine showed exactly one message box, with this text, caption and style.
inline ::testing::AssertionResult ShowedOneBox(const velkin::FakeSystem& machine, const std::string& text,
                                               const std::string& caption, uint32_t style) {
  if (machine.messages.size() != 1) {
    return ::testing::AssertionFailure() << machine.messages.size() << " message boxes, wanted one";
  }
  const velkin::FakeSystem::Message& box = machine.messages[0];
  if (box.text != text || box.caption != caption || box.style != style) {
    return ::testing::AssertionFailure() << "box \"" << box.text << "\" / \"" << box.caption << "\" / 0x" << std::hex
                                         << box.style << ", wanted \"" << text << "\" / \"" << caption << "\" / 0x"
                                         << style;
  }
  return ::testing::AssertionSuccess();
}

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

#endif
