// What the end-to-end driver's features share (common.cpp): output and the tally of checks, the
// table of sub-commands each feature file adds to, reading another process's windows, starting
// and ending the program, its message boxes, and the scenario runner.
#ifndef VELKIN_TESTS_E2E_DRIVER_DRIVER_H
#define VELKIN_TESTS_E2E_DRIVER_DRIVER_H

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/e2e/window_reading.h"
#include "tests/support/expected_layout.h"

namespace driver {

using namespace expected_layout;

// Output

void out(const std::string &s);  // a line to stdout, CP932 in
void err(const std::string &s);  // a line to stderr
inline std::string num(long long v) { return std::to_string(v); }
inline std::string hex(unsigned long long v) {
  char buf[24];
  snprintf(buf, sizeof buf, "0x%llx", v);
  return buf;
}
inline std::string rect_str(const RECT &r) {
  return "(" + num(r.left) + "," + num(r.top) + "," + num(r.right) + "," + num(r.bottom) + ")";
}
std::string text_str(const std::string &t);  // quoted, with its bytes
std::string list_str(const std::vector<std::string> &items);

struct Results {
  int passed = 0;
  int failed = 0;

  bool check(bool ok, const std::string &name, const std::string &expected, const std::string &got) {
    ++(ok ? passed : failed);
    out(ok ? "PASS " + name : "FAIL " + name + ": expected " + expected + ", got " + got);
    return ok;
  }
  bool eq_hex(const std::string &name, unsigned long long expected, unsigned long long got) {
    return check(expected == got, name, hex(expected), hex(got));
  }
  bool eq_rect(const std::string &name, const RECT &expected, const RECT &got) {
    return check(EqualRect(&expected, &got) != FALSE, name, rect_str(expected), rect_str(got));
  }
  int finish() {
    out(num(passed) + " passed, " + num(failed) + " failed");
    return failed == 0 ? 0 : 1;
  }
};

// The sub-commands: each feature file adds its own with a static Commands; main.cpp picks one.

struct SubCommand {
  const char *name;
  const char *args;  // for the usage line
  int count;         // of arguments
  int (*run)(char **args);  // usage() when they do not parse
};
std::vector<SubCommand> &sub_commands();
struct Commands {
  Commands(std::initializer_list<SubCommand> list) { sub_commands().insert(sub_commands().end(), list); }
};
int usage();
bool parse_count(const char *text, unsigned long long *n);  // decimal digits only

// What the bar must look like (tests/support/expected_layout.h, which the Windows tier checks
// too) on the tests' 1024x768 screen, and what it shows

const int kScreenWidth = 1024;
const int kScreenHeight = 768;
const RECT kBarRect = {0, 0, kScreenWidth, kBarHeight};
inline RECT rect_of(const Place &p) { return {p.left, p.top, p.right, p.bottom}; }

// The free system resources read "Disable" where RSRC32.DLL, which measures them, cannot load.
const char *const kNoResources = "Disable";
// Free space moves while the checks run, as other programs write to the same disk (a build
// running meanwhile writes tens of megabytes), and the bar measured it up to a tick before the
// driver does: the free space shown may differ from the driver's by this much. Totals must not.
const unsigned long long kFreeTolerance = 64ull << 20;
// How long a readout may take to show a change: a few ticks of the 1-second interval.
const DWORD kRefreshWaitMs = 3000;
const WPARAM kVersionCommand = 32789;  // the version dialog's menu command

// Reading windows

// The visible top-level windows of one process with this class.
inline std::vector<HWND> process_windows(DWORD pid, const char *cls) {
  return top_windows([&](HWND h) { return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == cls; });
}

// Polls cond every `step` ms for up to ms; true once it holds.
template <typename Cond>
bool wait_for(DWORD ms, Cond cond, DWORD step = 100) {
  for (DWORD start = GetTickCount();; Sleep(step)) {
    if (cond()) return true;
    if (GetTickCount() - start >= ms) return false;
  }
}

inline RECT window_rect(HWND h) {
  RECT r = {};
  GetWindowRect(h, &r);
  return r;
}
inline RECT client_rect_in(HWND child, HWND parent) {  // in the parent's client coordinates
  RECT r = window_rect(child);
  MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
  return r;
}
// With a timeout, so a hung program cannot hang the driver.
inline bool send(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR *result) {
  return SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, 5000, result) != 0;
}
// Texts cross as UTF-16 and the driver makes CP932 of them itself (WideCharToMultiByte(932),
// unrepresentable characters as its default character): what it reads does not depend on the
// ANSI code page Wine runs in, and compares with its CP932 literals.
std::string cp932_of(const wchar_t *text, int length);
inline std::string cp932_of(const std::wstring &text) { return cp932_of(text.data(), (int)text.size()); }
std::wstring wide_of(const std::string &cp932);
bool get_text(HWND h, std::string *text);  // WM_GETTEXT in UTF-16; false when no answer came
std::string window_title(HWND h);          // GetWindowTextW, as CP932
void check_text(Results &res, const std::string &name, HWND h, const std::string &expected);
// A combo box's or list box's entries as CP932 text; false with the reason.
bool box_entries(HWND c, bool list, std::vector<std::string> *items, std::string *error);
inline bool combo_items(HWND c, std::vector<std::string> *items, std::string *error) {
  return box_entries(c, false, items, error);
}
inline bool list_items(HWND c, std::vector<std::string> *items, std::string *error) {
  return box_entries(c, true, items, error);
}

// A size readout of the bar: its text, and its number when the text has the form "N Bytes".
struct SizeReadout {
  bool answered = false;
  bool valid = false;
  std::string text;
  unsigned long long bytes = 0;
};
SizeReadout read_size(HWND bar, int id);
// A readout "N.DDD Unit" with `decimals` digits after the point; its value in 10^-decimals units.
bool parse_fixed(const std::string &text, const std::string &unit, int decimals, unsigned long long *scaled);
inline std::string readout_str(const SizeReadout &r) {
  return r.answered ? text_str(r.text) : "no answer to WM_GETTEXT";
}

// The bars on screen (of one process, unless pid is 0); strictly, only tool windows with the
// bar's exit button and drive selector.
std::vector<HWND> find_bars(DWORD pid, bool strict);
// The visible dialog boxes of one process ("#32770", message boxes too) with this caption, or
// with any caption when it is null; wait_dialogs waits up to ms for one.
std::vector<HWND> process_dialogs(DWORD pid, const char *caption);
std::vector<HWND> wait_dialogs(DWORD pid, const char *caption, DWORD ms);
std::string dialog_str(HWND dialog);  // its caption and texts, for a FAIL line
// "<name>": one such dialog within ms of `after`; it, or null when none showed.
HWND check_dialog(Results &res, const std::string &name, DWORD pid, const char *caption, const std::string &after,
                  DWORD ms = 5000);
// Clicks a dialog's button and checks ("<name>") that the dialog goes within 5 s.
bool click_closes(Results &res, const std::string &name, HWND dialog, int button);
bool check_gone(Results &res, const std::string &name, HWND dialog, const std::string &after);

// Message boxes. Wine, like Windows, gives a message box's text the control ID 0xFFFF and its
// OK button IDOK.

const int kBoxTextId = 0xffff;
const char *const kWarningCaption = "警告";

// A message box the program showed on its way up, and what the driver found while it showed.
struct SeenBox {
  std::string caption;
  std::string text;
  std::string icon;
  bool text_answered = false;
  bool bar_visible = false;        // a visible bar of the same process
  std::vector<std::string> files;  // beside the program
};

// Which of the system's icons a box shows: "information", "stop", "exclamation", "question";
// "none" without an icon control, "?" when the screen shows none of them.
std::string box_icon(HWND box);

// Starting and ending the program

// Without settings beside it (its first start in a folder) the program greets with this
// message box before its bar shows; the driver answers it as a user would.
const char *const kWelcomeCaption = "Welcome to Velkin!";

struct Instance {
  PROCESS_INFORMATION pi = {};
  HWND bar = nullptr;
  std::string error;
  std::string dir;            // the program's folder, with its trailing backslash
  bool in_own_folder = true;  // false: the program starts in the driver's current directory

  // Starts the program (through the personality's launcher when VELKIN_LAUNCHER names one). It
  // keeps its settings next to itself, wherever it is started from.
  bool start(const std::string &exe);
  // Polls for the bar for up to timeout_ms. Without boxes it presses OK on a first start's welcome
  // box, once; with them on every box, noting what each said, and once the bar and `expected`
  // boxes have shown it watches a second more for another. False with error when no bar showed.
  bool wait_for_bar(DWORD timeout_ms, std::vector<SeenBox> *boxes = nullptr, size_t expected = 0);
  // Ends a process the checks could not close, so it does not linger.
  void kill_if_running() {
    if (pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
    }
  }
  ~Instance() {
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
  }

 private:
  bool start_launched(const std::string &launcher, const std::string &full);
};

// Ends the program with its exit button as a click does, or with WM_CLOSE, and checks that the
// process ends and takes its bar with it ("<prefix>.process_ended", "<prefix>.window_gone").
void end_and_check(Results &res, HWND bar, HANDLE process, const std::string &prefix, bool by_button);
inline void exit_and_check(Results &res, Instance &inst, const std::string &prefix) {
  end_and_check(res, inst.bar, inst.pi.hProcess, prefix, true);
  inst.kill_if_running();
}

// The selectors

// The position selected in one of the bar's selectors, with the entry's text.
void check_selected(Results &res, const std::string &name, HWND bar, int id, int expected);
// Selects an entry the way a user does (the box changes, then tells the bar) and checks
// ("<name>") that it took.
bool check_select(Results &res, const std::string &name, HWND bar, int id, int pos);

// The scenario runner: a scenario is its name, how the program starts and ends, and its steps

// What the driver waits for once it started the program.
enum class Up {
  kBar,       // the bar ("<name>.found"), OK pressed on a first start's welcome box
  kNoBox,     // the bar, and no message box on the way up ("<name>.no_box")
  kOneBox,    // the bar, and on the way up the one message box the box_* fields describe
  kAnyBoxes,  // the bar, OK pressed on any box on the way up, the boxes unchecked
  kStarted,   // nothing: the program started ("<name>.started"), the steps wait for the rest
};

// How the program ends once the steps ran.
enum class Ending {
  kClose,       // WM_CLOSE ("<name>.close.process_ended" ...)
  kExitButton,  // the exit button ("<name>.exit.process_ended" ...)
  kBySteps,     // the steps end it, or it ends on its own
};

struct Scenario {
  Scenario(const std::string &name, Up up, Ending ending, bool own_folder = true)
      : name(name), up(up), ending(ending), own_folder(own_folder) {}

  std::string name;  // the prefix of its checks' names
  Up up;
  Ending ending;
  bool own_folder;  // false: started in the driver's current directory
  // With Up::kOneBox: the box's caption, text and icon, and further checks of it.
  std::string box_caption, box_text, box_icon;
  std::function<void(Results &, const Instance &, const SeenBox &)> check_box;
  std::string found = "the bar within 20 s";  // what "<name>.found" expects
  std::string ending_name;  // the ending's checks' prefix when not "<name>.close" or "<name>.exit"
};

// A scenario's steps, run once the program is up.
using Steps = std::function<void(Results &, Instance &)>;

// Starts the program as the scenario says, runs the steps once it is up and ends it as the
// scenario says; kills the program if it still runs after that.
void run_program(Results &res, const Scenario &s, const std::string &exe, const Steps &steps);
// The same as a whole sub-command: prints "N passed, M failed" over res and the scenario's
// checks, and returns the exit code.
int run_scenario(const Scenario &s, const std::string &exe, const Steps &steps, Results res = Results());

// Shared by the features

// Drives (readouts.cpp): the roots of the fixed drives in letter order; a drive measured the
// way the bar measures it (clusters: from GetDiskFreeSpaceA's cluster counts).
std::vector<std::string> fixed_drives();
struct DiskSizes {
  unsigned long long total = 0;
  unsigned long long free = 0;
};
bool measure_disk(const std::string &root, bool clusters, DiskSizes *d, DWORD *error);
inline unsigned long long distance(unsigned long long a, unsigned long long b) { return a > b ? a - b : b - a; }
inline std::string bytes_str(unsigned long long n) { return "\"" + num((long long)n) + " Bytes\""; }
// The drive readouts against the driver's measure: the total exactly, the free space within
// kFreeTolerance; what they show goes to *shown. False when they showed no "N Bytes".
bool check_drive_readouts(Results &res, const std::string &prefix, HWND bar, const std::string &root,
                          bool clusters, DiskSizes *shown);

// The version (version.cpp): what the bar makes of a Windows version, its buttons and its
// version dialog.
struct VersionTexts {
  bool large_disks;
  bool suspend;
  std::string version;
  std::string disks;
  std::string suspend_text;
};
VersionTexts version_texts(DWORD major, DWORD minor, DWORD build);
// The buttons: all in their places, the suspend button hidden where suspend is not offered.
void check_buttons(Results &res, HWND bar, bool suspend);
void check_version_dialog(Results &res, const Instance &inst, const VersionTexts &expected);

// The session (session.cpp): presses a button that ends the Windows session and checks that
// the program ends with it within 30 s ("<prefix>.process_ended").
void check_session_ends(Results &res, const std::string &prefix, Instance &inst, int button);

}  // namespace driver

#endif
