// A panel created on the scripted machine, as the application object creates it.
#ifndef VELKIN_TESTS_WINDOWS_BAR_FIXTURE_H
#define VELKIN_TESTS_WINDOWS_BAR_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "panel/panel_wnd.h"
#include "tests/support/fake_system.h"
#include "framework/framework.h"

class BarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    liveBefore_ = CWnd::LiveObjectCount();
    // A second start: the settings a first start would have saved are there.
    fake_.files[kSettingsPath] = "0\r\n0\r\nBytes\r\n0\r\nBytes\r\n2\r\n4\r\n0\r\n0\r\n1\r\n0\r\n";
  }

  static constexpr const char* kSettingsPath = "C:\\Velkin\\vlkini.dat";
  static constexpr const char* kExclusionPath = "C:\\Velkin\\nonapp.dat";

  void TearDown() override {
    if (panel_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    AfxPumpMessages();
  }

  // Creates the panel the way the program starts it, and lets it settle.
  void CreatePanel() {
    panel_ = CPanelWnd::CreatePanel(*machine_);
    ASSERT_NE(panel_, nullptr);
    hwnd_ = panel_->GetSafeHwnd();
    AfxPumpMessages();
  }

  // A selector's current position, its number of entries, and an entry's text.
  int Selection(int id) const { return static_cast<int>(SendMessageA(GetDlgItem(hwnd_, id), CB_GETCURSEL, 0, 0)); }
  int EntryCount(int id) const { return static_cast<int>(SendMessageA(GetDlgItem(hwnd_, id), CB_GETCOUNT, 0, 0)); }
  std::string Entry(int id, int index) const {
    char text[256] = {};
    SendMessageA(GetDlgItem(hwnd_, id), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
  }

  // The bar's tooltip control: a window of this thread of the common controls' tooltip class.
  static HWND FindToolTip() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
          char name[64] = {};
          GetClassNameA(window, name, sizeof name);
          if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0) return TRUE;
          *reinterpret_cast<HWND*>(result) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
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

inline std::string TextOf(HWND hWnd) {
  char buffer[512] = {};
  GetWindowTextA(hWnd, buffer, sizeof buffer);
  return buffer;
}

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

// Drives a modal dialog from inside the test: once a dialog of this thread with `caption` shows,
// `act` runs on it (reading its controls, pressing a button). `open` is what opens the dialog;
// it returns when the dialog has ended. Returns false when no such dialog ever showed.
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
