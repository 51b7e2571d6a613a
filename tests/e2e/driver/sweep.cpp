// For tools/sweep.py: one scenario, a script of steps separated by ';', run the way a user goes
// through it whatever the program does on the way (a call made to fail can take its bar, show a
// box, end it or hang it). The driver judges nothing; it says what it saw ("sweep: ..." lines):
// "bar", "no bar: it ended with code CODE", "box CAPTION | TEXT" (a box it answered), "ended
// early CODE", "ended CODE" (within 10 s of the end asked), "ended by the session", "hang: WHY"
// (then it ends the program). Steps:
//   mark, unmark    the calls from here up to unmark are counted apart (the layer's "@", through
//                   the shared memory VelkinSweepMark)
//   wait MS         MS of answering boxes       post ID      WM_COMMAND ID to the bar
//   click ID        a click on the bar's control ID
//   select ID N     entry N of the bar's selector ID (from the end when negative), as a user picks
//   menu            the context menu shown and dismissed
//   press ID [NOT]  a click on control ID of the program's topmost dialog that has it (and not
//                   control NOT), within 5 s; such a dialog is no box
//   pick ID [NOT]   the first entry of list box ID of that dialog, as a user picks it
//   exit, close, session   the end: the exit button (the menu's exit without one), WM_CLOSE, or
//                   a session end, after which the program is ended as the system ends it
// The bar must answer a sent message within 5 s after every step.
#include <algorithm>
#include <sstream>

#include "tests/e2e/driver/driver.h"

#include <shellapi.h>

namespace driver {
namespace {

const WPARAM kExitCommand = 32773;  // the context menu's exit

struct Answer {
  UINT msg;
  bool done;
  LRESULT value;
} got;  // outlives an asking given up on
void CALLBACK answered_now(HWND, UINT msg, ULONG_PTR, LRESULT value) {
  if (msg == got.msg) got = {msg, true, value};
}

struct Run {
  Instance inst;
  HWND bar = nullptr;
  std::vector<HWND> answered;
  std::vector<long> own;  // the controls the script presses
  DWORD code = 0;

  ~Run() {  // a bar ended without giving its place back (a session end ends it so) gives it now
    APPBARDATA data = {};
    data.cbSize = sizeof data;
    data.hWnd = bar;
    if (bar) SHAppBarMessage(ABM_REMOVE, &data);
  }
  bool over() { return WaitForSingleObject(inst.pi.hProcess, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(inst.pi.hProcess, &code); }
  bool is_box(HWND d) {
    return IsWindowEnabled(d) && !std::count(answered.begin(), answered.end(), d) &&
           std::none_of(own.begin(), own.end(), [&](long id) { return GetDlgItem(d, id) != nullptr; });
  }
  // Waits ms, answering every box of the program with OK; false once the program has ended.
  bool pump(DWORD ms) {
    for (DWORD start = GetTickCount();; Sleep(50)) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      for (HWND box : process_dialogs(inst.pi.dwProcessId, nullptr)) {
        if (!is_box(box)) continue;
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
  HWND dialog_with(long id, long without) {
    HWND found = nullptr;
    wait_for(5000, [&] {
      for (HWND d : process_dialogs(inst.pi.dwProcessId, nullptr))
        if (!found && IsWindowEnabled(d) && GetDlgItem(d, id) && !(without && GetDlgItem(d, without))) found = d;
      return found || !pump(0);
    });
    return found;
  }
  // The bar's answer to msg within 5 s, boxes answered meanwhile (one can hold the bar's thread).
  bool ask(UINT msg, WPARAM w, LRESULT *answer) {
    got = {msg, false, 0};
    if (!SendMessageCallbackA(bar, msg, w, 0, answered_now, 0)) return false;
    for (DWORD start = GetTickCount(); !got.done && GetTickCount() - start < 5000 && pump(50);) continue;
    *answer = got.value;
    return got.done;
  }
  // A bar gone must end within 10 s.
  bool answers() {
    DWORD_PTR result;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000;)
      if (SendMessageTimeoutA(bar, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 250, &result) || !pump(0)) return true;
    return (!IsWindow(bar) && !pump(10000)) || over();
  }
  int said(const std::string &what) { return out("sweep: " + what), 0; }
  int hang(const std::string &why) {
    inst.kill_if_running();
    return said("hang: " + why);
  }
};

int sweep(const std::string &script, const std::string &exe) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1, "VelkinSweepMark");
  auto *mark = static_cast<volatile BYTE *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 1));
  HWND own = CreateWindowExA(0, "STATIC", "Velkin sweep window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 200, 300, 150,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  Run run;
  if (!mark || !own || !run.inst.start(exe)) return run.said("cannot start: " + run.inst.error) + 1;
  // The bar: the program's window that is no dialog, menu or tooltip (a control may be missing).
  for (DWORD start = GetTickCount(); !run.bar && GetTickCount() - start < 20000 && run.pump(100);) {
    for (HWND h : top_windows([&](HWND h) { return window_pid(h) == run.inst.pi.dwProcessId && IsWindowVisible(h); }))
      if (!run.bar && class_name(h) != "#32770" && class_name(h) != "#32768" && class_name(h) != "tooltips_class32")
        run.bar = h;
  }
  if (!run.bar) return run.over() ? run.said("no bar: it ended with code " + hex(run.code)) : run.hang("no bar within 20 s");
  run.said("bar");
  struct Step {
    std::string text, verb;
    long a = 0, b = 0;
  };
  std::vector<Step> steps;
  std::istringstream lines(script);
  for (Step s; std::getline(lines, s.text, ';'); steps.push_back(s)) {
    s.verb.clear(), s.a = s.b = 0;
    std::istringstream(s.text) >> s.verb >> s.a >> s.b;
    if (s.verb == "press" || s.verb == "pick") run.own.push_back(s.a);  // a dialog with one is no box
  }
  for (Step &s : steps) {
    std::string &verb = s.verb, &step = s.text;
    long a = s.a, b = s.b;
    DWORD_PTR result = 0;
    if (verb == "wait" ? !run.pump((DWORD)a) : run.over()) return run.said("ended early " + hex(run.code));
    HWND dialog = (verb == "press" || verb == "pick") ? run.dialog_with(a, b) : nullptr;
    if (dialog) run.answered.push_back(dialog);
    if (verb == "mark" || verb == "unmark") {
      *mark = verb == "mark" ? 1 : 2;
    } else if (verb == "post" || verb == "click") {
      PostMessageA(verb == "post" ? run.bar : GetDlgItem(run.bar, a), verb == "post" ? WM_COMMAND : BM_CLICK, (WPARAM)a * (verb == "post"), 0);
    } else if (verb == "select") {
      HWND box = GetDlgItem(run.bar, a);
      if (b < 0 && send(box, CB_GETCOUNT, 0, 0, &result)) b += (long)result;
      if (send(box, CB_SETCURSEL, b, 0, &result)) PostMessageA(run.bar, WM_COMMAND, MAKEWPARAM(a, CBN_SELCHANGE), (LPARAM)box);
    } else if (verb == "menu") {
      PostMessageA(run.bar, WM_CONTEXTMENU, (WPARAM)run.bar, MAKELPARAM(400, 300));
      for (bool shown : {false, true}) {
        wait_for(5000, [&] { return process_windows(run.inst.pi.dwProcessId, "#32768").empty() == shown || run.over(); });
        if (!shown) PostMessageA(run.bar, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      }
    } else if (dialog && verb == "press") {
      PostMessageA(GetDlgItem(dialog, a), BM_CLICK, 0, 0);
    } else if (dialog && send(GetDlgItem(dialog, a), LB_SETCURSEL, 0, 0, &result)) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(a, LBN_SELCHANGE), (LPARAM)GetDlgItem(dialog, a));
    } else if (verb == "session") {
      LRESULT asked = 0;
      if (!run.ask(WM_QUERYENDSESSION, 0, &asked) || !run.ask(WM_ENDSESSION, asked != 0, &asked))
        return run.over() ? run.said("ended early " + hex(run.code)) : run.hang("no answer to the session end");
      if (!getenv("VELKIN_COUNT")) return run.inst.kill_if_running(), run.said("ended by the session");
      verb = "close";  // a count of calls is written when the program ends, not when it is ended
    }
    if (verb == "exit" || verb == "close") {
      run.own.clear();  // a dialog of the script still open is answered now, as a box is
      HWND button = GetDlgItem(run.bar, kExitButton);
      if (verb == "close" || !button)  // no exit button: the menu's exit
        PostMessageA(run.bar, verb == "close" ? WM_CLOSE : WM_COMMAND, verb == "close" ? 0 : kExitCommand, 0);
      else
        PostMessageA(button, BM_CLICK, 0, 0);
      return run.pump(10000) ? run.hang("still running 10 s after its end was asked") : run.said("ended " + hex(run.code));
    }
    if (!run.answers()) return run.hang("no answer within 5 s after \"" + step + "\"");
  }
  return run.said("the script has no end") + 1;
}

const Commands kCommands = {
    {"sweep", "\"STEP;STEP;...\" VELKIN_EXE", 2, [](char **a) { return sweep(a[0], a[1]); }},
};

}  // namespace
}  // namespace driver
