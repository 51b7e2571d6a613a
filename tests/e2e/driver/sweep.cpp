// For tools/sweep.py: one scenario, a script of steps separated by ';', run the way a user goes
// through it whatever the program does on the way (a call made to fail can take its bar, show a
// box, end it or hang it). The driver judges nothing; it says what it saw ("sweep: ..." lines):
// "bar", "no bar: WHY", "box CAPTION | TEXT" (a box it answered), "ended early CODE", "ended
// CODE" (within 10 s of the end asked), "hang: WHY" (then it ends the program). Steps:
//   mark, unmark    the calls from here on, up to unmark, are counted apart (the layer's "@",
//                   through the shared memory VelkinSweepMark)
//   wait MS         MS of answering boxes       post ID      WM_COMMAND ID to the bar
//   click ID        a click on the bar's control ID
//   select ID N     entry N of the bar's selector ID (from the end when negative), as a user picks
//   menu            the context menu shown and dismissed
//   press ID [NOT]  a click on control ID of the program's dialog that has it (and not control
//                   NOT), within 5 s
//   pick ID [NOT]   the first entry of list box ID of that dialog, as a user picks it
//   exit, close, session   the end: exit button (the menu's exit without one), WM_CLOSE, or a
//                   session end (then ended)
// Every message the driver sends waits at most 5 s; one unanswered is a hang.
#include <algorithm>
#include <sstream>

#include "tests/e2e/driver/driver.h"

#include <shellapi.h>

namespace driver {
namespace {

const WPARAM kExitCommand = 32773;  // the context menu's exit

struct Run {
  Instance inst;
  HWND bar = nullptr;
  std::vector<HWND> answered;
  DWORD code = 0;
  ~Run() {  // a bar ended without giving its place back (a session end ends it so) gives it now
    APPBARDATA data = {};
    data.cbSize = sizeof data;
    data.hWnd = bar;
    if (bar) SHAppBarMessage(ABM_REMOVE, &data);
  }
  bool over() { return WaitForSingleObject(inst.pi.hProcess, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(inst.pi.hProcess, &code); }
  std::vector<HWND> dialogs() { return process_dialogs(inst.pi.dwProcessId, nullptr); }
  // The topmost enabled dialog with control id and without control `without` (when not 0), within
  // 5 s; boxes answered meanwhile.
  HWND dialog_with(int id, int without) {
    HWND found = nullptr;
    wait_for(5000, [&] {
      for (HWND d : dialogs())
        if (!found && IsWindowEnabled(d) && GetDlgItem(d, id) && !(without && GetDlgItem(d, without))) found = d;
      return found || !pump(0);
    });
    return found;
  }
  std::vector<long> own;  // the controls the script presses: a dialog with one is no box
  // Waits ms, answering every box of the program with OK; false once the program has ended.
  bool pump(DWORD ms) {
    for (DWORD start = GetTickCount();; Sleep(50)) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      for (HWND box : dialogs()) {
        if (!IsWindowEnabled(box) || std::count(answered.begin(), answered.end(), box) ||
            std::any_of(own.begin(), own.end(), [&](long id) { return GetDlgItem(box, id) != nullptr; }))
          continue;
        answered.push_back(box);
        std::string caption, text;
        get_text(box, &caption);
        get_text(GetDlgItem(box, kBoxTextId), &text);
        out("sweep: box " + caption + " | " + text);
        PostMessageA(box, WM_COMMAND, GetDlgItem(box, IDOK) ? IDOK : IDCANCEL, 0);
      }
      if (over()) return false;
      if (GetTickCount() - start >= ms) return true;
    }
  }
  // The bar answers a sent message within 5 s, boxes answered meanwhile (one can hold the bar's
  // thread); or it is gone, and the program ends within 10 s.
  bool answers() {
    DWORD_PTR result;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000;)
      if (SendMessageTimeoutA(bar, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 250, &result) || !pump(0)) return true;
    return (!IsWindow(bar) && !pump(10000)) || over();
  }
  void hang(const std::string &why) {
    out("sweep: hang: " + why);
    inst.kill_if_running();
  }
};

int sweep(const std::string &script, const std::string &exe) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1, "VelkinSweepMark");
  auto *mark = static_cast<volatile BYTE *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 1));
  HWND own = CreateWindowExA(0, "STATIC", "Velkin sweep window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 200, 300, 150,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  Run run;
  if (!mark || !own || !run.inst.start(exe)) return out("sweep: no bar: " + run.inst.error), 1;
  for (DWORD start = GetTickCount(); !run.bar && GetTickCount() - start < 20000 && run.pump(100);) {
    // The bar: the program's window that is no dialog, menu or tooltip (a control may be missing)
    std::vector<HWND> bars = top_windows([&](HWND h) {
      const std::string kind = class_name(h);
      return window_pid(h) == run.inst.pi.dwProcessId && IsWindowVisible(h) && kind != "#32770" &&
             kind != "#32768" && kind != "tooltips_class32";
    });
    if (!bars.empty()) run.bar = bars.front();
  }
  if (!run.bar) {
    if (run.over()) return out("sweep: no bar: it ended with code " + hex(run.code)), 0;
    return run.hang("no bar within 20 s"), 0;
  }
  out("sweep: bar");
  for (size_t at = 0; (at = script.find("p", at)) != std::string::npos; ++at)
    if (!script.compare(at, 6, "press ") || !script.compare(at, 5, "pick ")) run.own.push_back(atol(&script[script.find(' ', at)]));
  std::istringstream steps(script);
  for (std::string step; std::getline(steps, step, ';');) {
    std::istringstream in(step);
    std::string verb;
    long a = 0, b = 0;
    in >> verb >> a >> b;
    DWORD_PTR result = 0;
    if (verb == "wait" ? !run.pump((DWORD)a) : run.over()) return out("sweep: ended early " + hex(run.code)), 0;
    if (verb == "mark" || verb == "unmark") {
      *mark = verb == "mark" ? 1 : 2;
    } else if (verb == "post") {
      PostMessageA(run.bar, WM_COMMAND, (WPARAM)a, 0);
    } else if (verb == "click") {
      PostMessageA(GetDlgItem(run.bar, a), BM_CLICK, 0, 0);
    } else if (verb == "select") {
      HWND box = GetDlgItem(run.bar, a);
      if (b < 0 && send(box, CB_GETCOUNT, 0, 0, &result)) b += (long)result;
      if (send(box, CB_SETCURSEL, b, 0, &result))
        PostMessageA(run.bar, WM_COMMAND, MAKEWPARAM(a, CBN_SELCHANGE), (LPARAM)box);
    } else if (verb == "menu") {
      PostMessageA(run.bar, WM_CONTEXTMENU, (WPARAM)run.bar, MAKELPARAM(400, 300));
      wait_for(5000, [&] { return !process_windows(run.inst.pi.dwProcessId, "#32768").empty() || run.over(); });
      PostMessageA(run.bar, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      wait_for(5000, [&] { return process_windows(run.inst.pi.dwProcessId, "#32768").empty() || run.over(); });
    } else if (HWND dialog = (verb == "press" || verb == "pick") ? run.dialog_with(a, b) : nullptr) {
      run.answered.push_back(dialog);  // the scenario's own dialog, no box
      if (verb == "press") PostMessageA(GetDlgItem(dialog, a), BM_CLICK, 0, 0);
      if (verb == "pick" && send(GetDlgItem(dialog, a), LB_SETCURSEL, 0, 0, &result))
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(a, LBN_SELCHANGE), (LPARAM)GetDlgItem(dialog, a));
    } else if (verb == "session") {
      if (!send(run.bar, WM_QUERYENDSESSION, 0, 0, &result) ||
          !send(run.bar, WM_ENDSESSION, result != 0, 0, &result))
        return run.over() ? out("sweep: ended early " + hex(run.code)) : run.hang("no answer to the session end"), 0;
      if (!getenv("VELKIN_COUNT")) {
        run.inst.kill_if_running();  // as the system ends it
        return out("sweep: ended by the session"), 0;
      }
      verb = "close";  // a count of calls is written when the program ends, not when it is ended
    }
    if (verb == "exit" || verb == "close") {
      run.own.clear();  // a dialog of the script still open is answered now, as a box is
      if (verb == "close")
        PostMessageA(run.bar, WM_CLOSE, 0, 0);
      else if (HWND button = GetDlgItem(run.bar, kExitButton))
        PostMessageA(button, BM_CLICK, 0, 0);
      else
        PostMessageA(run.bar, WM_COMMAND, kExitCommand, 0);  // no exit button: the menu's exit
      if (run.pump(10000)) return run.hang("still running 10 s after its end was asked"), 0;
      return out("sweep: ended " + hex(run.code)), 0;
    }
    if (!run.answers()) return run.hang("no answer within 5 s after \"" + step + "\""), 0;
  }
  return out("sweep: the script has no end"), 1;
}

const Commands kCommands = {
    {"sweep", "\"STEP;STEP;...\" VELKIN_EXE", 2, [](char **a) { return sweep(a[0], a[1]); }},
};

}  // namespace
}  // namespace driver
