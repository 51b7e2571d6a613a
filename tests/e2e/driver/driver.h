// What the end-to-end driver's features share: output and the tally of checks, reading another
// process's windows, starting and ending the program, its message boxes, and the scenario
// runner every sub-command goes through. The sub-commands are in the files beside this one,
// one per feature; main.cpp has their table.
#ifndef VELKIN_TESTS_E2E_DRIVER_DRIVER_H
#define VELKIN_TESTS_E2E_DRIVER_DRIVER_H

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/window_reading.h"
#include "tests/support/expected_layout.h"

namespace driver {

using namespace expected_layout;

// ---------------------------------------------------------------------------------------------
// Output

void out(const std::string &s);  // a line to stdout, CP932 in
void err(const std::string &s);  // a line to stderr
std::string num(long long v);
std::string hex(unsigned long long v);
std::string rect_str(const RECT &r);
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

// ---------------------------------------------------------------------------------------------
// What the bar must look like: the expected layout (tests/support/expected_layout.h), which the
// Windows tier checks too, on the tests' 1024x768 screen

const int kScreenWidth = 1024;
const int kScreenHeight = 768;
const RECT kBarRect = {0, 0, kScreenWidth, kBarHeight};
inline RECT rect_of(const Place &p) { return {p.left, p.top, p.right, p.bottom}; }

// The readouts. Sizes read "N Bytes" on a first start (the whole byte count); the free system
// resources read "Disable" where RSRC32.DLL, which measures them, cannot be loaded.
const char *const kNoResources = "Disable";
// Free space moves while the checks run, as other programs write to the same disk (a build
// running meanwhile writes tens of megabytes), and the bar measured it up to a tick before the
// driver does: the free space shown may differ from the driver's by this much. Totals must not.
const unsigned long long kFreeTolerance = 64ull << 20;
// How long a readout may take to show a change: a few ticks of the 1-second interval.
const DWORD kRefreshWaitMs = 3000;

// The version dialog's menu command.
const WPARAM kVersionCommand = 32789;

// ---------------------------------------------------------------------------------------------
// Reading windows

RECT window_rect(HWND h);
RECT client_rect_in(HWND child, HWND parent);  // in the parent's client coordinates
// With a timeout, so a hung program cannot hang the driver.
bool send(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR *result);
bool get_text(HWND h, std::string *text);  // WM_GETTEXT; false when no answer came
void check_text(Results &res, const std::string &name, HWND h, const std::string &expected);
// A combo box's or list box's entries as CP932 text; false with the reason.
bool combo_items(HWND c, std::vector<std::string> *items, std::string *error);
bool list_items(HWND c, std::vector<std::string> *items, std::string *error);

// A size readout of the bar: its text, and its number when the text has the form "N Bytes".
struct SizeReadout {
  bool answered = false;
  bool valid = false;
  std::string text;
  unsigned long long bytes = 0;
};
SizeReadout read_size(HWND bar, int id);
std::string readout_str(const SizeReadout &r);

// The bars on screen (of one process, unless pid is 0); strictly, only tool windows with the
// bar's exit button and drive selector.
std::vector<HWND> find_bars(DWORD pid, bool strict);
// The visible dialog boxes of one process ("#32770", message boxes too) with this caption, or
// with any caption when it is null.
std::vector<HWND> process_dialogs(DWORD pid, const char *caption);
std::string dialog_str(HWND dialog);  // its caption and texts, for a FAIL line

// ---------------------------------------------------------------------------------------------
// Starting and ending the program

// Without settings beside it (its first start in a folder) the program greets with this
// message box before its bar shows; the driver answers it as a user would.
const char *const kWelcomeCaption = "Welcome to Velkin!";

struct Instance {
  PROCESS_INFORMATION pi = {};
  HWND bar = nullptr;
  std::string error;
  std::string dir;           // the program's folder, with its trailing backslash
  bool in_own_folder = true;  // false: the program starts in the driver's current directory

  // Starts the program, in its own folder unless told otherwise (it keeps its settings next to
  // itself, wherever it is started from).
  bool start(const std::string &exe) {
    char full[MAX_PATH];
    char *file_part = nullptr;
    if (!GetFullPathNameA(exe.c_str(), sizeof full, full, &file_part) || !file_part) {
      error = "cannot resolve " + exe;
      return false;
    }
    dir.assign(full, file_part - full);
    if (const char *launcher = getenv("VELKIN_LAUNCHER")) return start_launched(launcher, full);
    std::string cmdline = "\"" + std::string(full) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    const char *cwd = in_own_folder ? dir.c_str() : nullptr;
    if (!CreateProcessA(full, &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, cwd, &si, &pi)) {
      error = "CreateProcess(" + std::string(full) + ") error " + num(GetLastError());
      return false;
    }
    return true;
  }

  // Starts the program through the personality layer's launcher (tests/personality), which
  // answers with the program's process ID once the layer is in place.
  bool start_launched(const std::string &launcher, const std::string &full) {
    char cwd[MAX_PATH] = "";
    if (in_own_folder) {
      snprintf(cwd, sizeof cwd, "%s", dir.c_str());
    } else {
      GetCurrentDirectoryA(sizeof cwd, cwd);
    }
    // A backslash before the closing quote would escape it.
    const size_t length = strlen(cwd);
    if (length > 3 && cwd[length - 1] == '\\') cwd[length - 1] = '\0';
    std::string cmdline = "\"" + launcher + "\" \"" + cwd + "\" \"" + full + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION launch = {};
    if (!CreateProcessA(launcher.c_str(), &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &launch)) {
      error = "CreateProcess(" + launcher + ") error " + num(GetLastError());
      return false;
    }
    DWORD pid = 0;
    const bool done = WaitForSingleObject(launch.hProcess, 60000) == WAIT_OBJECT_0;
    GetExitCodeProcess(launch.hProcess, &pid);
    CloseHandle(launch.hProcess);
    CloseHandle(launch.hThread);
    if (!done || pid == 0 || pid == STILL_ACTIVE) {
      error = "the launcher could not start " + full + " with its personality";
      return false;
    }
    pi.dwProcessId = pid;
    pi.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    if (!pi.hProcess) {
      error = "OpenProcess(" + num(pid) + ") error " + num(GetLastError());
      return false;
    }
    return true;
  }

  // Polls for the bar for up to timeout_ms.
  // Presses OK on the welcome box of a first start, once.
  bool wait_for_bar(DWORD timeout_ms) {
    bool welcomed = false;
    for (DWORD start = GetTickCount();; Sleep(100)) {
      std::vector<HWND> bars = find_bars(pi.dwProcessId, false);
      if (!bars.empty()) {
        bar = bars.front();
        return true;
      }
      std::vector<HWND> welcome = process_dialogs(pi.dwProcessId, kWelcomeCaption);
      if (!welcomed && !welcome.empty()) {
        out("note: a first start: OK pressed on " + dialog_str(welcome.front()));
        PostMessageA(GetDlgItem(welcome.front(), IDOK), BM_CLICK, 0, 0);
        welcomed = true;
      }
      DWORD code = 0;
      if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) {
        error = "the program ended with code " + hex(code) + " before showing its bar";
        return false;
      }
      if (GetTickCount() - start >= timeout_ms) {
        error = "no bar within " + num(timeout_ms / 1000) + " s";
        for (HWND dialog : process_dialogs(pi.dwProcessId, nullptr)) error += "; it shows " + dialog_str(dialog);
        return false;
      }
    }
  }

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
};

// Ends the program with WM_CLOSE, or its exit button as a click does, and checks that the
// process ends and takes its bar with it ("<prefix>.process_ended", "<prefix>.window_gone").
void close_and_check(Results &res, Instance &inst, const std::string &prefix);
void exit_and_check(Results &res, Instance &inst, const std::string &prefix);

// ---------------------------------------------------------------------------------------------
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
  bool bar_visible = false;         // a visible bar of the same process
  std::vector<std::string> files;  // beside the program
};

// Which of the system's icons a box shows: "information", "stop", "exclamation", "question";
// "none" without an icon control, "?" when the screen shows none of them.
std::string box_icon(HWND box);
std::vector<std::string> folder_files(const std::string &dir);  // the files in a folder, sorted

// ---------------------------------------------------------------------------------------------
// The selectors

// The position selected in one of the bar's selectors, with the entry's text.
void check_selected(Results &res, const std::string &name, HWND bar, int id, int expected);
// Selects an entry the way a user does: the box changes, then tells the bar.
bool select_entry(HWND bar, int id, int pos);

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
// Shared by the features

// Drives (readouts.cpp): the roots of the fixed drives in letter order; a drive measured the
// way the bar measures it (clusters: from GetDiskFreeSpaceA's cluster counts).
std::vector<std::string> fixed_drives();
struct DiskSizes {
  unsigned long long total = 0;
  unsigned long long free = 0;
};
bool measure_disk(const std::string &root, bool clusters, DiskSizes *d, DWORD *error);
unsigned long long distance(unsigned long long a, unsigned long long b);
std::string bytes_str(unsigned long long n);
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

// ---------------------------------------------------------------------------------------------
// The sub-commands (main.cpp has their table)

// bar.cpp
int cmd_check_bar(const std::string &exe);
int cmd_launch(const std::string &exe);
int cmd_exit();
// readouts.cpp
struct HostFigures {  // what the host reports: drive C:'s folder and the physical memory, in bytes
  unsigned long long disk_total;
  unsigned long long disk_free;
  unsigned long long memory;
};
int cmd_check_readouts(const std::string &exe, const HostFigures &host);
// version.cpp; false when the setting is none of Wine's
bool known_wine_version(const std::string &setting);
int cmd_check_version(const std::string &exe, const std::string &setting);
// settings.cpp
int cmd_first_start(const std::string &exe);
int cmd_change_settings(const std::string &exe);
int cmd_check_restored(const std::string &exe);
int cmd_check_warning(const std::string &exe, const std::string &kind, int interval, int drive);
int cmd_start_exit(const std::string &exe);
// windows.cpp
int cmd_minimize_all(const std::string &exe);
int cmd_minimize_lookalikes(const std::string &exe);
int cmd_exclusions_edit(const std::string &exe);
int cmd_exclusions_back(const std::string &exe);
int cmd_exclusions_full(const std::string &exe);
// session.cpp
int cmd_end_session(const std::string &exe, int button);
int cmd_end_session_at_welcome(const std::string &exe);
int cmd_close_at_welcome(const std::string &exe);
// personality.cpp
int cmd_persona_readouts(const std::string &exe, const std::string &version, int interval_now, int interval_next,
                         const std::string &resources, const std::string &free_space, const std::string &total,
                         const std::string &memory);
int cmd_persona_session(const std::string &exe, int button, int interval_now, const std::string &outcome);
int cmd_persona_no_memory(const std::string &exe);

}  // namespace driver

#endif
