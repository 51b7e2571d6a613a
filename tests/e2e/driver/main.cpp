// Velkin end-to-end driver: starts the real velkin.exe and inspects its bar from outside.
// This file has the sub-command table; driver.h and common.cpp what they share (output, reading
// windows, starting and ending the program, message boxes, the scenario runner); the other
// files one feature each: bar.cpp, readouts.cpp, version.cpp, settings.cpp, windows.cpp,
// session.cpp, personality.cpp.
//
// Build (the CMake target velkin-driver uses the same flags at -O2), from the repository's root:
//   x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -fexec-charset=CP932 -I. -Isrc -static -mconsole
//     tests/e2e/driver/*.cpp -o velkin-driver.exe -luser32 -lgdi32
//
// Sub-commands: the table below, with their arguments; what each checks is said where it is
// defined, in its feature's file. launch and exit leave the bar running between two runs of the
// driver; the settings' and windows' sub-commands start the program from the driver's current
// directory, not its own folder. The files beside the program are run_e2e.sh's business, which
// writes them before and reads them after.
//
// Each check prints "PASS name" or "FAIL name: expected X, got Y"; every sub-command but launch
// ends with "N passed, M failed" and exits 0 only when nothing failed. Lines starting with
// "note:" are information only. Text leaves the driver as UTF-8 when stdout is a pipe or file,
// and through WriteConsoleW when it is a console, so the Japanese captions read correctly
// either way.
//
// Everything here crosses the process boundary with plain Win32 calls: window and class
// styles, geometry, texts, BM_GETIMAGE, CB_GETDROPPEDCONTROLRECT, the combo and list boxes'
// entries (CB_GETLBTEXT, LB_GETTEXT, asked in UTF-16), LB_FINDSTRINGEXACT (in UTF-16) and
// LB_SETCURSEL, posted WM_COMMAND, WM_CONTEXTMENU, WM_KEYDOWN and BM_CLICK, IsIconic, and the
// tooltip and menu windows.
// What does not cross under Wine (the controls' fonts, the class cursor, brush and icon, the
// icons' sizes) is checked inside the program's process by the Windows integration tests in
// tests/windows/.

#include "tests/e2e/driver/driver.h"

namespace driver {
namespace {

// A byte count from the command line: decimal digits only.
bool parse_count(const char *text, unsigned long long *n) {
  char *end = nullptr;
  if (!*text || *text < '0' || *text > '9') return false;
  *n = strtoull(text, &end, 10);
  return *end == '\0';
}

int usage();

// The sub-commands: name, arguments, and what runs them with the arguments (usage() when they
// do not parse).
struct SubCommand {
  const char *name;
  const char *args;
  int count;  // of arguments
  int (*run)(char **args);
};
const SubCommand kSubCommands[] = {
    {"check-bar", "VELKIN_EXE", 1, [](char **a) { return cmd_check_bar(a[0]); }},
    {"check-readouts", "VELKIN_EXE C_TOTAL C_FREE MEMORY", 4,
     [](char **a) {
       HostFigures host;
       if (!parse_count(a[1], &host.disk_total) || !parse_count(a[2], &host.disk_free) ||
           !parse_count(a[3], &host.memory))
         return usage();
       return cmd_check_readouts(a[0], host);
     }},
    {"check-version", "VELKIN_EXE win95|win98|win7", 2,
     [](char **a) { return known_wine_version(a[1]) ? cmd_check_version(a[0], a[1]) : usage(); }},
    {"launch", "VELKIN_EXE", 1, [](char **a) { return cmd_launch(a[0]); }},
    {"exit", "", 0, [](char **) { return cmd_exit(); }},
    {"first-start", "VELKIN_EXE", 1, [](char **a) { return cmd_first_start(a[0]); }},
    {"change-settings", "VELKIN_EXE", 1, [](char **a) { return cmd_change_settings(a[0]); }},
    {"check-restored", "VELKIN_EXE", 1, [](char **a) { return cmd_check_restored(a[0]); }},
    {"check-warning", "VELKIN_EXE interval|drive INTERVAL_POS DRIVE_POS", 4,
     [](char **a) {
       const std::string kind = a[1];
       unsigned long long interval = 0, drive = 0;
       if ((kind != "interval" && kind != "drive") || !parse_count(a[2], &interval) || !parse_count(a[3], &drive))
         return usage();
       return cmd_check_warning(a[0], kind, (int)interval, (int)drive);
     }},
    {"start-exit", "VELKIN_EXE", 1, [](char **a) { return cmd_start_exit(a[0]); }},
    {"minimize-all", "VELKIN_EXE", 1, [](char **a) { return cmd_minimize_all(a[0]); }},
    {"minimize-lookalikes", "VELKIN_EXE", 1, [](char **a) { return cmd_minimize_lookalikes(a[0]); }},
    {"exclusions-edit", "VELKIN_EXE", 1, [](char **a) { return cmd_exclusions_edit(a[0]); }},
    {"exclusions-back", "VELKIN_EXE", 1, [](char **a) { return cmd_exclusions_back(a[0]); }},
    {"exclusions-full", "VELKIN_EXE", 1, [](char **a) { return cmd_exclusions_full(a[0]); }},
    {"end-session", "VELKIN_EXE BUTTON_ID", 2,
     [](char **a) {
       unsigned long long button = 0;
       return parse_count(a[1], &button) ? cmd_end_session(a[0], (int)button) : usage();
     }},
    {"end-session-at-welcome", "VELKIN_EXE", 1, [](char **a) { return cmd_end_session_at_welcome(a[0]); }},
    {"close-at-welcome", "VELKIN_EXE", 1, [](char **a) { return cmd_close_at_welcome(a[0]); }},
    {"persona-readouts", "VELKIN_EXE VERSION INTERVAL_NOW INTERVAL_NEXT RESOURCES FREE TOTAL MEMORY", 8,
     [](char **a) { return cmd_persona_readouts(a[0], a[1], atoi(a[2]), atoi(a[3]), a[4], a[5], a[6], a[7]); }},
    {"persona-session", "VELKIN_EXE BUTTON_ID INTERVAL_NOW ends|refreshes", 4,
     [](char **a) { return cmd_persona_session(a[0], atoi(a[1]), atoi(a[2]), a[3]); }},
    {"persona-no-memory", "VELKIN_EXE", 1, [](char **a) { return cmd_persona_no_memory(a[0]); }},
};

int usage() {
  std::string line = "usage: velkin-driver";
  for (const SubCommand &c : kSubCommands)
    line += std::string(&c == kSubCommands ? " " : " | ") + c.name + (*c.args ? " " : "") + c.args;
  err(line);
  return 2;
}

}  // namespace
}  // namespace driver

int main(int argc, char **argv) {
  using namespace driver;
  if (argc >= 2)
    for (const SubCommand &c : kSubCommands)
      if (argv[1] == std::string(c.name) && argc == c.count + 2) return c.run(argv + 2);
  return usage();
}
