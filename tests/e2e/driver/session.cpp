// The Windows session: it ends through the program's own command (the bar writes its files
// and ends with it), or while a first start's welcome box is up, before the program has read
// its files (it ends without writing either); and the bar closed at that point. The files are
// checked by the caller, run_e2e.sh.
#include "tests/e2e/driver/driver.h"

namespace driver {

void check_session_ends(Results &res, const std::string &prefix, Instance &inst, int button) {
  PostMessageA(GetDlgItem(inst.bar, button), BM_CLICK, 0, 0);
  const bool ended = WaitForSingleObject(inst.pi.hProcess, 30000) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended",
            "the program to end with the session within 30 s after button " + num(button), "it still runs");
}

namespace {

// "<prefix>.welcome": a first start's welcome box within 20 s; null when none showed.
HWND check_welcome(Results &res, const std::string &prefix, const Instance &inst) {
  return check_dialog(res, prefix + ".welcome", inst.pi.dwProcessId, kWelcomeCaption, "the start", 20000);
}

// The program ended within `ms` and never showed its bar.
void check_ended_barless(Results &res, const std::string &prefix, const Instance &inst, DWORD ms,
                         const std::string &after) {
  const bool ended = WaitForSingleObject(inst.pi.hProcess, ms) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended", "the program to end " + after, "it still runs");
  res.check(find_bars(inst.pi.dwProcessId, false).empty(), prefix + ".no_bar", "no bar was ever shown", "a bar");
}

// A command that ends the Windows session (restart Windows only, 102): the bar is started,
// the button pressed, and the program must end as the session does, within 30 s.
int end_session(const std::string &exe, int button) {
  return run_scenario(Scenario("session", Up::kNoBox, Ending::kBySteps), exe,
                      [&](Results &res, Instance &inst) { check_session_ends(res, "session", inst, button); });
}

// The Windows session ends (the driver asks Windows to log off) while a first start's welcome
// box is up: the program must end without writing either file.
int end_session_at_welcome(const std::string &exe) {
  return run_scenario(Scenario("welcome_end", Up::kStarted, Ending::kBySteps), exe, [](Results &res, Instance &inst) {
    if (!check_welcome(res, "welcome_end", inst)) return;
    res.check(ExitWindowsEx(EWX_LOGOFF, 0) != FALSE, "welcome_end.asked", "ExitWindowsEx(EWX_LOGOFF) taken",
              "error " + num(GetLastError()));
    check_ended_barless(res, "welcome_end", inst, 30000, "with the session within 30 s");
  });
}

// The bar is closed (WM_CLOSE, as Alt+F4 or "End task" sends it) while a first start's welcome
// box is up: once OK is pressed the program must end, never showing its bar, without writing
// either file.
int close_at_welcome(const std::string &exe) {
  return run_scenario(Scenario("welcome_close", Up::kStarted, Ending::kBySteps), exe, [](Results &res, Instance &inst) {
    HWND welcome = check_welcome(res, "welcome_close", inst);
    if (!welcome) return;
    // The bar's window exists already, not yet shown: the one of the process with the exit button.
    const std::vector<HWND> hidden = top_windows([&](HWND h) {
      return window_pid(h) == inst.pi.dwProcessId && GetDlgItem(h, kExitButton) != nullptr;
    });
    if (!res.check(hidden.size() == 1, "welcome_close.bar_window", "one window with the bar's exit button",
                   num(hidden.size())))
      return;
    PostMessageA(hidden.front(), WM_CLOSE, 0, 0);
    Sleep(1000);  // taken in by the box's loop
    PostMessageA(GetDlgItem(welcome, IDOK), BM_CLICK, 0, 0);
    check_ended_barless(res, "welcome_close", inst, 10000, "within 10 s of OK");
  });
}

const Commands kCommands = {
    {"end-session", "VELKIN_EXE BUTTON_ID", 2,
     [](char **a) {
       unsigned long long button = 0;
       return parse_count(a[1], &button) ? end_session(a[0], (int)button) : usage();
     }},
    {"end-session-at-welcome", "VELKIN_EXE", 1, [](char **a) { return end_session_at_welcome(a[0]); }},
    {"close-at-welcome", "VELKIN_EXE", 1, [](char **a) { return close_at_welcome(a[0]); }},
};

}  // namespace

}  // namespace driver
