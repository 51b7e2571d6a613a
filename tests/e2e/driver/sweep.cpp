// For tools/sweep.py: one scenario run the way a user goes through it, whatever the program does
// on the way (a call made to fail can take its bar, show a box, end it or hang it). The driver
// judges nothing here; it says what it saw, one "sweep: ..." line each:
//   sweep: bar                      the bar showed
//   sweep: no bar: WHY              it did not within 20 s (WHY: it ended, or it still runs)
//   sweep: box CAPTION | TEXT       a box of the program, answered with OK (or Enter)
//   sweep: ended early CODE         the program ended before its end was asked
//   sweep: ended CODE               the program ended within 10 s of its end being asked
//   sweep: still running            it did not (the driver then ends it)
// Every wait is bounded; the driver pumps its own window's messages meanwhile, since the
// program's minimize commands reach it.
#include <algorithm>

#include "tests/e2e/driver/driver.h"

namespace driver {
namespace {

const WPARAM kFirstSlot = 32797;  // the context menu's first window slot

struct Run {
  Instance inst;
  std::vector<HWND> answered;
  bool ended = false;
  DWORD code = 0;

  bool over() {
    if (!ended && WaitForSingleObject(inst.pi.hProcess, 0) == WAIT_OBJECT_0) {
      ended = true;
      GetExitCodeProcess(inst.pi.hProcess, &code);
    }
    return ended;
  }
  // Waits ms, answering every box of the program; false once the program has ended.
  bool pump(DWORD ms) {
    for (DWORD start = GetTickCount();;) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      for (HWND box : process_dialogs(inst.pi.dwProcessId, nullptr)) {
        if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
        answered.push_back(box);
        std::string caption, text;
        get_text(box, &caption);
        get_text(GetDlgItem(box, kBoxTextId), &text);
        out("sweep: box " + caption + " | " + text);
        if (HWND ok = GetDlgItem(box, IDOK))
          PostMessageA(ok, BM_CLICK, 0, 0);
        else
          PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      }
      if (over()) return false;
      if (GetTickCount() - start >= ms) return true;
      Sleep(50);
    }
  }
  std::string code_str() const { return hex(code); }
};

// A window of the driver's own for the context menu to list and its slot to minimize.
HWND make_window() {
  HWND h = CreateWindowExA(0, "STATIC", "Velkin sweep window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 200, 300, 150,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return h;
}

int sweep(const std::string &scenario, const std::string &exe) {
  static const char *const known[] = {"startup", "first-run", "ticks", "menu", "minimize-all", "exit", "close"};
  if (std::find_if(std::begin(known), std::end(known), [&](const char *k) { return scenario == k; }) == std::end(known))
    return usage();
  HWND own = (scenario == "menu" || scenario == "minimize-all") ? make_window() : nullptr;
  Run run;
  if (!run.inst.start(exe)) {
    out("sweep: no bar: " + run.inst.error);
    return 0;
  }
  // Up: the bar, boxes on the way answered.
  HWND bar = nullptr;
  for (DWORD start = GetTickCount(); !bar && GetTickCount() - start < 20000;) {
    if (!run.pump(100)) break;
    std::vector<HWND> bars = find_bars(run.inst.pi.dwProcessId, false);
    if (!bars.empty()) bar = bars.front();
  }
  if (!bar) {
    if (run.over()) {
      out("sweep: no bar: it ended with code " + run.code_str());
    } else {
      out("sweep: no bar: it still runs after 20 s");
      out("sweep: still running");
      run.inst.kill_if_running();
    }
    if (own) DestroyWindow(own);
    return 0;
  }
  out("sweep: bar");
  bool alive = run.pump(1000);
  auto select = [&](int id, int pos) {
    DWORD_PTR result = 0;
    HWND box = GetDlgItem(bar, id);
    if (box && send(box, CB_SETCURSEL, pos, 0, &result))
      PostMessageA(bar, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)box);
  };
  if (alive) {
    if (scenario == "ticks") {
      DWORD_PTR count = 0;
      HWND drives = GetDlgItem(bar, kDriveSelector);
      if (drives && send(drives, CB_GETCOUNT, 0, 0, &count) && count > 0) select(kDriveSelector, (int)count - 1);
      select(kIntervalSelector, 1);  // 100 ms: twenty ticks and more in the time
      alive = run.pump(3000);
    } else if (scenario == "menu") {
      SetCursorPos(kScreenWidth - 8, kScreenHeight - 8);
      PostMessageA(bar, WM_CONTEXTMENU, (WPARAM)bar, MAKELPARAM(400, 300));
      wait_for(5000, [&] { return !process_windows(run.inst.pi.dwProcessId, "#32768").empty() || run.over(); });
      PostMessageA(bar, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      wait_for(5000, [&] { return process_windows(run.inst.pi.dwProcessId, "#32768").empty() || run.over(); });
      PostMessageA(bar, WM_COMMAND, kFirstSlot, 0);
      alive = run.pump(1500);
    } else if (scenario == "minimize-all") {
      PostMessageA(GetDlgItem(bar, kMinimizeAllButton), BM_CLICK, 0, 0);
      alive = run.pump(1500);
    } else if (scenario == "exit" || scenario == "close") {
      select(kIntervalSelector, 2);  // a setting changed: the save writes new content
      alive = run.pump(1000);
    } else {
      alive = run.pump(1000);
    }
  }
  if (!alive) {
    out("sweep: ended early " + run.code_str());
  } else {
    if (scenario == "close")
      PostMessageA(bar, WM_CLOSE, 0, 0);
    else
      PostMessageA(GetDlgItem(bar, kExitButton), BM_CLICK, 0, 0);
    if (run.pump(10000)) {
      out("sweep: still running");
      run.inst.kill_if_running();
    } else {
      out("sweep: ended " + run.code_str());
    }
  }
  if (own) DestroyWindow(own);
  return 0;
}

const Commands kCommands = {
    {"sweep", "startup|first-run|ticks|menu|minimize-all|exit|close VELKIN_EXE", 2,
     [](char **a) { return sweep(a[0], a[1]); }},
};

}  // namespace
}  // namespace driver
