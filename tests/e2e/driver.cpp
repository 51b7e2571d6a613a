// Velkin end-to-end driver: starts the real velkin.exe and inspects its bar from outside.
//
// Build (the CMake target velkin-driver uses the same flags at -O2):
//   x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -fexec-charset=CP932 -static -mconsole driver.cpp -o velkin-driver.exe -luser32 -lgdi32
//
// Sub-commands:
//   velkin-driver check-bar VELKIN_EXE   start the program, check the bar's window, class, controls and
//                                        tooltip, close it, start it again and check it docks again
//   velkin-driver check-readouts VELKIN_EXE C_TOTAL C_FREE MEMORY
//                                        start the program, check the selectors' entries and the
//                                        readouts: drive C: against the driver's own measure and the
//                                        host's figures (bytes), following a file written there, and
//                                        the free memory against the host's MEMORY; then close it
//   velkin-driver check-version VELKIN_EXE win95|win98|win7
//                                        with Wine set to report that Windows version: start the
//                                        program, check its buttons and drive readouts, open the
//                                        version dialog from its menu command, check it and close it
//   velkin-driver launch VELKIN_EXE      start the program, wait for the bar, print "left top right bottom"
//                                        and leave it running (exit 1 if the bar never shows)
//   velkin-driver exit                   press the exit button of the running bar and wait for it to end
//
// And the settings files (vlkini.dat, nonapp.dat beside the program), each sub-command starting
// the program from the driver's current directory, not its own folder, and pressing OK on any
// message box it shows:
//   velkin-driver first-start VELKIN_EXE check the welcome box of a first start (before the bar,
//                                        before any file is written), the defaults (interval "1秒",
//                                        the first drive, readouts in Bytes); press the exit button
//   velkin-driver change-settings VELKIN_EXE
//                                        no box; set free space GBytes, total MBytes, memory kBytes,
//                                        3 places, interval 200ms, drive "All"; check the readouts
//                                        follow; press the exit button
//   velkin-driver check-restored VELKIN_EXE
//                                        no box; the changes above are back; close with WM_CLOSE
//   velkin-driver check-warning VELKIN_EXE interval|drive INTERVAL_POS DRIVE_POS
//                                        the warning of a bad stored interval or drive, then these
//                                        positions selected; press the exit button
//   velkin-driver start-exit VELKIN_EXE  no box; press the exit button
// The files' contents are the business of run_e2e.sh, which writes and reads them.
//
// Minimizing the other windows and the exclusion list, over top-level windows the driver makes
// on a thread of its own (one that pumps messages, as the program's ShowWindow waits for it);
// started the same way, with the settings files run_e2e.sh wrote:
//   velkin-driver minimize-all VELKIN_EXE
//                                        nonapp.dat holding "Velkin keep me": the context menu at a
//                                        point, closed by Esc; the minimize-all button over shown,
//                                        excluded, nearly excluded, owned, hidden, untitled and
//                                        "Program Manager" windows; the bar stays docked; exit
//   velkin-driver minimize-lookalikes VELKIN_EXE
//                                        nonapp.dat as above: the button over windows titled alike,
//                                        each in the z-order that tells them apart (an excluded
//                                        title over a case-different one, a hidden topmost window
//                                        over a shown one of its title, two shown of one title)
//   velkin-driver exclusions-edit VELKIN_EXE
//                                        nonapp.dat holding four titles in no order: the list's
//                                        dialog and its picker; "キャンセル" adds nothing, a title
//                                        picked is added in the box's order, "閉じる" keeps it;
//                                        minimize-all passes over it; exit, and nonapp.dat holds
//                                        the list in the box's order
//   velkin-driver exclusions-back VELKIN_EXE
//                                        the list saved above is back; a deletion dropped by Esc,
//                                        another by the close box; minimize-all (menu command)
//   velkin-driver exclusions-full VELKIN_EXE
//                                        nonapp.dat holding 20 titles: a 21st gives the warning
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

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/expected_layout.h"
#include "window_reading.h"

namespace {

using namespace expected_layout;

// ---------------------------------------------------------------------------------------------
// Output

// CP932 in; out as the console's wide text, or as UTF-8 into a pipe or file.
void write_out(HANDLE h, const std::string &cp932_line) {
  std::string line = cp932_line + "\n";
  std::wstring w(line.size(), L'\0');  // a CP932 byte makes at most one UTF-16 unit
  w.resize(MultiByteToWideChar(932, 0, line.data(), (int)line.size(), &w[0], (int)w.size()));
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, w.data(), (DWORD)w.size(), &written, nullptr);
    return;
  }
  std::string u(w.size() * 3, '\0');  // a UTF-16 unit makes at most three UTF-8 bytes
  u.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &u[0], (int)u.size(), nullptr, nullptr));
  WriteFile(h, u.data(), (DWORD)u.size(), &written, nullptr);
}

void out(const std::string &s) { write_out(GetStdHandle(STD_OUTPUT_HANDLE), s); }
void err(const std::string &s) { write_out(GetStdHandle(STD_ERROR_HANDLE), s); }

std::string num(long long v) { return std::to_string(v); }

std::string hex(unsigned long long v) {
  char buf[24];
  snprintf(buf, sizeof buf, "0x%llx", v);
  return buf;
}

std::string rect_str(const RECT &r) {
  return "(" + num(r.left) + "," + num(r.top) + "," + num(r.right) + "," + num(r.bottom) + ")";
}

// Quoted text followed by its bytes, so a wrong byte shows even where it prints alike.
std::string text_str(const std::string &t) {
  std::string s = "\"";
  for (char ch : t) s += ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : ch == '\0' ? "\\0" : std::string(1, ch);
  s += "\" [";
  for (size_t i = 0; i < t.size(); ++i) {
    char byte[4];
    snprintf(byte, sizeof byte, i ? " %02x" : "%02x", (unsigned char)t[i]);
    s += byte;
  }
  return s + "]";
}

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
// What the bar must look like

const int kScreenWidth = 1024;
const int kScreenHeight = 768;
const RECT kBarRect = {0, 0, kScreenWidth, kBarHeight};

// The controls' places, styles and texts: the expected layout (tests/support/expected_layout.h),
// which the Windows tier checks too. The readouts' live texts are check_readout_forms's and
// check-readouts's business.
RECT rect_of(const Place &p) { return {p.left, p.top, p.right, p.bottom}; }

// The tooltip: over the shutdown button it shows its text; over a label it shows none.
const int kTipButtonId = kShutdownButton;
const int kNoTipLabelId = kFreeLabel;

// The readouts. Sizes read "N Bytes" on a first start (the whole byte count); the free system
// resources read "Disable" where RSRC32.DLL, which measures them, cannot be loaded.
const char *const kNoResources = "Disable";
// Free space moves while the checks run, as other programs write to the same disk (a build
// running meanwhile writes tens of megabytes), and the bar measured it up to a tick before the
// driver does: the free space shown may differ from the driver's by this much. Totals must not.
const unsigned long long kFreeTolerance = 64ull << 20;
// How long a readout may take to show a change: a few ticks of the 1-second interval.
const DWORD kRefreshWaitMs = 3000;
// What the freshness check writes to the measured drive, well above the tolerance.
const unsigned long long kFillBytes = 256ull << 20;

// The version dialog, opened from the menu.
const WPARAM kVersionCommand = 32789;
const char *const kVersionCaption = "Windowsバージョン情報";
const int kVersionTextId = 1002;
const int kDiskSupportId = 1003;
const int kSuspendSupportId = 1014;
const int kVersionOkId = 101;

// ---------------------------------------------------------------------------------------------
// Reading windows

RECT window_rect(HWND h) {
  RECT r = {};
  GetWindowRect(h, &r);
  return r;
}

// Rectangle of a child in its parent's client coordinates.
RECT client_rect_in(HWND child, HWND parent) {
  RECT r = window_rect(child);
  MapWindowPoints(nullptr, parent, (POINT *)&r, 2);
  return r;
}

// With a timeout, so a hung program cannot hang the driver.
bool send(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR *result) {
  return SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, 5000, result) != 0;
}

// A window's text as WM_GETTEXT reports it; false when no answer came.
bool get_text(HWND h, std::string *text) {
  char buf[1024] = "";
  DWORD_PTR len = 0;
  if (!send(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, &len)) return false;
  text->assign(buf, len < sizeof buf ? len : sizeof buf - 1);
  return true;
}

void check_text(Results &res, const std::string &name, HWND h, const std::string &expected) {
  std::string text;
  if (get_text(h, &text))
    res.check(text == expected, name, text_str(expected), text_str(text));
  else
    res.check(false, name, text_str(expected), "no answer to WM_GETTEXT");
}

// The messages that read a box's entries: a combo box's or a list box's.
struct EntryMessages {
  UINT count, length, text;
  const char *count_name, *length_name, *text_name;
};
const EntryMessages kComboEntries = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT,
                                     "CB_GETCOUNT", "CB_GETLBTEXTLEN", "CB_GETLBTEXT"};
const EntryMessages kListEntries = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, "LB_GETCOUNT", "LB_GETTEXTLEN", "LB_GETTEXT"};

// The entries of a combo box or list box as CP932 text. Wine 8 hands CB_GETLBTEXT's and
// LB_GETTEXT's text back across processes as UTF-16 however it was asked (an ANSI caller gets
// UTF-16 and a count of characters), so the driver asks in UTF-16, which Windows answers the
// same way, and makes CP932 of it itself: the program added CP932 text, which the box keeps in
// UTF-16. Each entry comes with its length first, into a buffer with a character to spare,
// marked, to see where it ends. False with the reason when an answer is missing or odd.
bool box_entries(HWND c, const EntryMessages &m, std::vector<std::string> *items, std::string *error) {
  DWORD_PTR count = 0;
  if (!send(c, m.count, 0, 0, &count) || (LRESULT)count < 0) {
    *error = "no answer to " + std::string(m.count_name);
    return false;
  }
  items->clear();
  for (int i = 0; i < (int)count; ++i) {
    DWORD_PTR len = 0, copied = 0;
    if (!SendMessageTimeoutW(c, m.length, i, 0, SMTO_ABORTIFHUNG, 5000, &len) || (LRESULT)len < 0) {
      *error = "no length for entry " + num(i) + " (" + m.length_name + ")";
      return false;
    }
    std::wstring buf(len + 2, L'\x7f');
    if (!SendMessageTimeoutW(c, m.text, i, (LPARAM)&buf[0], SMTO_ABORTIFHUNG, 5000, &copied) ||
        (LRESULT)copied < 0) {
      *error = "no text for entry " + num(i) + " (" + m.text_name + ")";
      return false;
    }
    if (copied != len || buf[copied] != L'\0') {
      *error = "entry " + num(i) + ": " + m.length_name + " " + num(len) + " characters, " + m.text_name + " " +
               num(copied);
      return false;
    }
    std::string text(len * 2, '\0');  // a UTF-16 unit makes at most two CP932 bytes
    text.resize(WideCharToMultiByte(932, 0, buf.data(), (int)len, &text[0], (int)text.size(), nullptr, nullptr));
    items->push_back(text);
  }
  return true;
}

bool combo_items(HWND c, std::vector<std::string> *items, std::string *error) {
  return box_entries(c, kComboEntries, items, error);
}

bool list_items(HWND c, std::vector<std::string> *items, std::string *error) {
  return box_entries(c, kListEntries, items, error);
}

std::string list_str(const std::vector<std::string> &items) {
  std::string s;
  for (const std::string &t : items) s += (s.empty() ? "\"" : ", \"") + t + "\"";
  return "[" + s + "]";
}

// A size readout, "N Bytes": N the whole byte count in decimal digits without leading zeros.
bool parse_bytes(const std::string &text, unsigned long long *n) {
  const std::string unit = " Bytes";
  if (text.size() <= unit.size() || text.compare(text.size() - unit.size(), unit.size(), unit) != 0) return false;
  const std::string digits = text.substr(0, text.size() - unit.size());
  if (digits.size() > 19 || (digits.size() > 1 && digits[0] == '0')) return false;  // 19 digits fit 64 bits
  unsigned long long v = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *n = v;
  return true;
}

// A size readout of the bar: its text, and its number when the text has the form "N Bytes".
struct SizeReadout {
  bool answered = false;
  bool valid = false;
  std::string text;
  unsigned long long bytes = 0;
};

SizeReadout read_size(HWND bar, int id) {
  SizeReadout r;
  r.answered = get_text(GetDlgItem(bar, id), &r.text);
  r.valid = r.answered && parse_bytes(r.text, &r.bytes);
  return r;
}

std::string readout_str(const SizeReadout &r) { return r.answered ? text_str(r.text) : "no answer to WM_GETTEXT"; }

// The bars on screen (of one process, unless pid is 0): visible untitled top-level windows
// with the exit button as a child; strictly, also tool windows whose exit button is a Button,
// with the drive selector.
std::vector<HWND> find_bars(DWORD pid, bool strict) {
  return top_windows([&](HWND h) {
    HWND exit_button = GetDlgItem(h, kExitButton);
    if ((pid && window_pid(h) != pid) || !IsWindowVisible(h) || GetWindowTextLengthA(h) || !exit_button)
      return false;
    return !strict || ((GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
                       class_name(exit_button) == "Button" && GetDlgItem(h, kDriveSelector));
  });
}

// The visible tooltip windows of one process.
std::vector<HWND> visible_tips(DWORD pid) {
  return top_windows([&](HWND h) {
    return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == "tooltips_class32";
  });
}

// The visible dialog boxes of one process ("#32770", message boxes too) with this caption, or
// with any caption when it is null.
std::vector<HWND> process_dialogs(DWORD pid, const char *caption) {
  return top_windows([&](HWND h) {
    std::string text;
    return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == "#32770" &&
           (!caption || (get_text(h, &text) && text == caption));
  });
}

// A dialog's caption and the texts of its children, for a FAIL line.
std::string dialog_str(HWND dialog) {
  std::string caption, s;
  get_text(dialog, &caption);
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    std::string text;
    if (get_text(c, &text) && !text.empty()) s += ", " + text_str(text);
  }
  return "dialog " + text_str(caption) + s;
}

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

// Posts WM_CLOSE and checks that the process ends and takes its bar with it.
void close_and_check(Results &res, Instance &inst, const std::string &prefix) {
  PostMessageA(inst.bar, WM_CLOSE, 0, 0);
  bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended", "the process to end within 10 s after WM_CLOSE", "it still runs");
  DWORD code = 0;
  if (ended && GetExitCodeProcess(inst.pi.hProcess, &code)) out("note: " + prefix + " exit code " + hex(code));
  res.check(!IsWindow(inst.bar), prefix + ".window_gone", "no bar window after the process ended",
            "window " + hex((uintptr_t)inst.bar) + " still exists");
  inst.kill_if_running();
}

// ---------------------------------------------------------------------------------------------
// check-bar

void check_window(Results &res, HWND bar) {
  res.eq_rect("bar.rect", kBarRect, window_rect(bar));
  check_text(res, "bar.text", bar, "");
  // Windows gives every top-level window WS_CLIPSIBLINGS of its own accord.
  res.eq_hex("bar.style", kBarStyle, (DWORD)GetWindowLongPtrA(bar, GWL_STYLE) & ~(DWORD)WS_CLIPSIBLINGS);
  DWORD exstyle = (DWORD)GetWindowLongPtrA(bar, GWL_EXSTYLE);
  res.check((exstyle & WS_EX_TOOLWINDOW) && !(exstyle & WS_EX_TOPMOST), "bar.exstyle",
            "WS_EX_TOOLWINDOW (0x80) without WS_EX_TOPMOST (0x8)", hex(exstyle));
  res.eq_hex("class.style", kBarClassStyle, GetClassLongPtrA(bar, GCL_STYLE));
}

// The dropped-down rectangle of a combo box made here the way the program makes its own:
// created with the same style, size and font (the icon-title font), then resized. How the
// height splits between field and list is the system's business, and under Wine the field's
// height follows the font; the program's box must drop down like this one.
bool reference_dropped(const Control &cb, RECT *dropped) {
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  HWND combo = CreateWindowExA(0, "COMBOBOX", "", cb.style, cb.place.left, cb.place.top,
                               cb.place.right - cb.place.left, cb.place.bottom - cb.place.top, host,
                               nullptr, nullptr, nullptr);
  LOGFONTA lf = {};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
  HFONT font = CreateFontIndirectA(&lf);
  if (combo) {
    SendMessageA(combo, WM_SETFONT, (WPARAM)font, TRUE);
    SetWindowPos(combo, nullptr, 0, 0, cb.filled.cx, cb.filled.cy, SWP_NOMOVE | SWP_NOZORDER);
    SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)dropped);
  }
  if (host) DestroyWindow(host);
  if (font) DeleteObject(font);
  return combo != nullptr;
}

void check_combo(Results &res, HWND bar, HWND c, const Control &cb) {
  const std::string name = "ctl" + num(cb.id);
  // A combo box hands WS_VSCROLL on to its list and, on Wine, drops it from its own style.
  DWORD style = (DWORD)GetWindowLongPtrA(c, GWL_STYLE);
  const DWORD without_vscroll = cb.style & ~(DWORD)WS_VSCROLL;
  res.check(style == cb.style || style == without_vscroll, name + ".style",
            hex(cb.style) + " or " + hex(without_vscroll), hex(style));

  RECT r = client_rect_in(c, bar);
  res.check(r.left == cb.place.left && r.top == cb.place.top && r.right - r.left == cb.filled.cx,
            name + ".rect",
            "left " + num(cb.place.left) + " top " + num(cb.place.top) + " width " + num(cb.filled.cx),
            "left " + num(r.left) + " top " + num(r.top) + " width " + num(r.right - r.left));

  // The return value is no use (Wine answers CB_OKAY, which is 0): a filled rectangle counts.
  const LONG unset = -32768;
  RECT got = {unset, unset, unset, unset}, want = got;
  DWORD_PTR ignored = 0;
  bool have = send(c, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&got, &ignored) && got.left != unset;
  bool have_ref = reference_dropped(cb, &want) && want.left != unset;
  int w = got.right - got.left, h = got.bottom - got.top, ref_h = want.bottom - want.top;
  res.check(have && have_ref && w == cb.filled.cx && w == want.right - want.left && h == ref_h,
            name + ".dropped_size",
            have_ref ? num(cb.filled.cx) + "x" + num(ref_h) + ", as a reference box resized to " + num(cb.filled.cx) +
                           "x" + num(cb.filled.cy) + " drops down to " + rect_str(want)
                     : "a reference combo box in the driver",
            have ? num(w) + "x" + num(h) + " at " + rect_str(got) : "no answer to CB_GETDROPPEDCONTROLRECT");
}

// Fonts are not checked here: WM_GETFONT does not cross processes under Wine, and a font
// handle means nothing outside its process. The integration tests check them.
void check_children(Results &res, HWND bar) {
  int count = 0;
  for (HWND c = GetWindow(bar, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++count;
  res.check(count == (int)kControlCount, "children.count", num(kControlCount), num(count));

  // The child with this ID, its class checked; null after a FAIL.
  auto child = [&](int id, const std::string &cls) -> HWND {
    HWND c = GetDlgItem(bar, id);
    if (!res.check(c != nullptr, "ctl" + num(id) + ".exists", "a child with this control ID", "none")) return nullptr;
    res.check(class_name(c) == cls, "ctl" + num(id) + ".class", text_str(cls), text_str(class_name(c)));
    return c;
  };
  for (const Control &e : kControls) {
    const std::string name = "ctl" + num(e.id);
    HWND c = child(e.id, e.window_class);
    if (!c) continue;
    if (e.kind == Kind::kSelector) {
      check_combo(res, bar, c, e);
      continue;
    }
    res.eq_hex(name + ".style", e.style, (DWORD)GetWindowLongPtrA(c, GWL_STYLE));
    res.eq_rect(name + ".rect", rect_of(e.place), client_rect_in(c, bar));
    if (e.kind != Kind::kReadout) check_text(res, name + ".text", c, e.text);
    if (e.kind != Kind::kButton) continue;
    // Only the handle crosses; the icon itself is the integration tests' business.
    DWORD_PTR icon = 0;
    bool answered = send(c, BM_GETIMAGE, IMAGE_ICON, 0, &icon);
    res.check(answered && icon != 0, name + ".icon", "an icon (BM_GETIMAGE IMAGE_ICON)",
              answered ? "NULL" : "no answer");
  }
}

// The readouts in check-bar: each has the form of a live readout (their numbers are the
// business of check-readouts). Up to kRefreshWaitMs, in case the bar shows before it measures.
void check_readout_forms(Results &res, HWND bar) {
  SizeReadout free_space, total, memory;
  std::string resources;
  bool resources_answered = false;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    free_space = read_size(bar, kFreeReadout);
    total = read_size(bar, kTotalReadout);
    memory = read_size(bar, kMemoryReadout);
    resources_answered = get_text(GetDlgItem(bar, kResourcesReadout), &resources);
    bool all = free_space.valid && total.valid && memory.valid && resources == kNoResources;
    if (all || GetTickCount() - start >= kRefreshWaitMs) break;
  }
  const std::string form = "\"N Bytes\", N the byte count in decimal digits";
  res.check(free_space.valid, "ctl108.text", form, readout_str(free_space));
  res.check(total.valid && total.bytes > 0, "ctl109.text", form + ", N > 0", readout_str(total));
  res.check(memory.valid && memory.bytes > 0, "ctl113.text", form + ", N > 0", readout_str(memory));
  // Wine has no RSRC32.DLL.
  res.check(resources == kNoResources, "ctl112.text", text_str(kNoResources),
            resources_answered ? text_str(resources) : "no answer to WM_GETTEXT");
}

// Puts the mouse on the centre of a child of the bar. The program hands the mouse messages
// its message loop sees on to its tooltip control, which then looks where the mouse really
// is: a posted WM_MOUSEMOVE alone would not do.
void point_at(HWND bar, int id) {
  RECT r = window_rect(GetDlgItem(bar, id));
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void check_tooltip(Results &res, const Instance &inst) {
  const DWORD pid = inst.pi.dwProcessId;
  std::vector<HWND> tips;
  // Up to 5 s, pointing again every second in case a move went astray; a tooltip waits for
  // the mouse to rest before it shows, so not more often.
  for (int i = 0; i < 50 && tips.empty(); ++i) {
    if (i % 10 == 0) point_at(inst.bar, kTipButtonId);
    Sleep(100);
    tips = visible_tips(pid);
  }
  if (!res.check(tips.size() == 1, "tooltip.shown",
                 "one visible tooltip within 5 s of the mouse resting on ctl" + num(kTipButtonId),
                 num(tips.size()) + " tooltips") &&
      tips.empty())
    return;
  // A tooltip answers WM_GETTEXT with the tip it shows.
  check_text(res, "tooltip.text", tips.front(), FindControl(kTipButtonId)->tip);

  // A label has no tip: what showed must go and stay gone.
  point_at(inst.bar, kNoTipLabelId);
  for (int i = 0; i < 15; ++i) {
    Sleep(100);
    tips = visible_tips(pid);
  }
  std::string shown;
  for (HWND t : tips) {
    std::string text;
    get_text(t, &text);
    shown += (shown.empty() ? "" : ", ") + text_str(text);
  }
  res.check(tips.empty(), "tooltip.hidden_over_label",
            "no visible tooltip 1.5 s after moving to ctl" + num(kNoTipLabelId), "tooltip " + shown);
}

int cmd_check_bar(const std::string &exe) {
  Results res;
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  res.check(cx == kScreenWidth && cy == kScreenHeight, "screen.size",
            num(kScreenWidth) + "x" + num(kScreenHeight), num(cx) + "x" + num(cy));
  {
    Instance first;
    bool up = first.start(exe) && first.wait_for_bar(20000);
    if (res.check(up, "bar.found", "a visible untitled window with control 118 within 20 s", first.error)) {
      check_window(res, first.bar);
      check_children(res, first.bar);
      check_readout_forms(res, first.bar);
      check_tooltip(res, first);
      close_and_check(res, first, "close");
    }
    first.kill_if_running();
  }
  {
    Instance second;
    bool up = second.start(exe) && second.wait_for_bar(20000);
    if (res.check(up, "relaunch.found", "the bar of a second start within 20 s", second.error)) {
      res.eq_rect("relaunch.rect", kBarRect, window_rect(second.bar));
      close_and_check(res, second, "relaunch.close");
    }
    second.kill_if_running();
  }
  return res.finish();
}

// ---------------------------------------------------------------------------------------------
// Drives and their readouts

// The roots of the fixed drives, A..Z in letter order, as the driver sees them.
std::vector<std::string> fixed_drives() {
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (GetDriveTypeA(root.c_str()) == DRIVE_FIXED) roots.push_back(root);
  }
  return roots;
}

struct DiskSizes {
  unsigned long long total = 0;
  unsigned long long free = 0;
};

// The driver's own measure of a drive, the way the bar measures it: with GetDiskFreeSpaceExA
// (the disk's total bytes and total free bytes) or, where Windows does not support disks of
// 2 GB and more, from GetDiskFreeSpaceA's cluster counts. False with the error code otherwise.
bool measure_disk(const std::string &root, bool clusters, DiskSizes *d, DWORD *error) {
  bool ok;
  if (clusters) {
    DWORD sectors = 0, bytes = 0, free_clusters = 0, total_clusters = 0;
    ok = GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &free_clusters, &total_clusters) != FALSE;
    const unsigned long long cluster = (unsigned long long)sectors * bytes;
    d->total = cluster * total_clusters;
    d->free = cluster * free_clusters;
  } else {
    ULARGE_INTEGER caller = {}, total = {}, total_free = {};
    ok = GetDiskFreeSpaceExA(root.c_str(), &caller, &total, &total_free) != FALSE;
    d->total = total.QuadPart;
    d->free = total_free.QuadPart;
  }
  *error = ok ? 0 : GetLastError();
  return ok;
}

unsigned long long distance(unsigned long long a, unsigned long long b) { return a > b ? a - b : b - a; }

std::string bytes_str(unsigned long long n) { return "\"" + num((long long)n) + " Bytes\""; }

std::string near_str(unsigned long long n) {
  return "within " + num((long long)(kFreeTolerance >> 20)) + " MiB of " + bytes_str(n);
}

// Checks the drive readouts against the driver's measure of the same drive: the total exactly,
// the free space within kFreeTolerance; up to kRefreshWaitMs for them to agree, so the bar has
// measured since the driver's numbers moved. Returns what they show; false when they showed
// no "N Bytes".
bool check_drive_readouts(Results &res, const std::string &prefix, HWND bar, const std::string &root,
                          bool clusters, DiskSizes *shown) {
  SizeReadout free_space, total;
  DiskSizes own;
  DWORD error = 0;
  bool measured = false;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    free_space = read_size(bar, kFreeReadout);
    total = read_size(bar, kTotalReadout);
    measured = measure_disk(root, clusters, &own, &error);
    bool agree = measured && free_space.valid && total.valid && total.bytes == own.total &&
                 distance(free_space.bytes, own.free) <= kFreeTolerance;
    if (agree || GetTickCount() - start >= kRefreshWaitMs) break;
  }
  const std::string how = std::string(clusters ? "GetDiskFreeSpaceA" : "GetDiskFreeSpaceExA") + " of " + root;
  if (!res.check(measured, prefix + ".measured", how + " in the driver", "error " + num(error))) return false;
  res.check(total.valid && total.bytes == own.total, prefix + ".total", bytes_str(own.total) + " (" + how + ")",
            readout_str(total));
  res.check(free_space.valid && distance(free_space.bytes, own.free) <= kFreeTolerance, prefix + ".free",
            near_str(own.free) + " (" + how + ")", readout_str(free_space));
  shown->total = total.bytes;
  shown->free = free_space.bytes;
  return total.valid && free_space.valid;
}

// Waits up to kRefreshWaitMs for the free space shown to agree with the driver's measure.
void check_free_agrees(Results &res, const std::string &name, HWND bar, const std::string &root,
                       const std::string &when) {
  SizeReadout shown;
  DiskSizes own;
  DWORD error = 0;
  bool measured = false;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    shown = read_size(bar, kFreeReadout);
    measured = measure_disk(root, false, &own, &error);
    if ((measured && shown.valid && distance(shown.bytes, own.free) <= kFreeTolerance) ||
        GetTickCount() - start >= kRefreshWaitMs)
      break;
  }
  res.check(measured && shown.valid && distance(shown.bytes, own.free) <= kFreeTolerance, name,
            "within " + num(kRefreshWaitMs / 1000) + " s " + when + ", " + near_str(own.free),
            measured ? readout_str(shown) : "GetDiskFreeSpaceExA error " + num(error));
}

// The readouts follow the disk on their own: writes kFillBytes to a file on the drive and
// checks that the free space shown follows the driver's measure down, and up again once the
// file is gone. Either way it moves by four times the tolerance, so a readout that stands
// still cannot agree.
void check_free_follows(Results &res, HWND bar, const std::string &root) {
  const std::string path = root + "velkin-e2e-fill.tmp";
  DiskSizes before, filled;
  DWORD error = 0;
  if (!res.check(measure_disk(root, false, &before, &error), "fill.measured_before", "GetDiskFreeSpaceExA of " + root,
                 "error " + num(error)))
    return;
  // Deleted when closed, and so also when the driver dies with it open.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (!res.check(file != INVALID_HANDLE_VALUE, "fill.create", "a new file " + path, "error " + num(GetLastError())))
    return;
  // Bytes that no file system stores in less room than they take.
  std::vector<unsigned char> chunk(1 << 20);
  unsigned int x = 12345;
  for (unsigned char &b : chunk) {
    x = x * 1103515245u + 12345u;
    b = (unsigned char)(x >> 24);
  }
  bool written = true;
  for (unsigned long long done = 0; written && done < kFillBytes; done += chunk.size()) {
    DWORD n = 0;
    written = WriteFile(file, chunk.data(), (DWORD)chunk.size(), &n, nullptr) && n == chunk.size();
  }
  written = written && FlushFileBuffers(file);
  bool measured = measure_disk(root, false, &filled, &error);
  const unsigned long long drop = before.free > filled.free ? before.free - filled.free : 0;
  res.check(written && measured && drop + kFreeTolerance >= kFillBytes, "fill.measured_after",
            "the driver's measure of " + root + " down by about " + num((long long)(kFillBytes >> 20)) +
                " MiB after writing that much",
            !written ? "writing failed, error " + num(GetLastError())
                     : measured ? "down by " + num((long long)drop) + " bytes" : "error " + num(error));
  check_free_agrees(res, "readouts.free_follows_fill", bar, root, "of filling the drive");
  CloseHandle(file);
  bool removed = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (!res.check(removed, "fill.removed", "no " + path + " after closing it", "it is still there"))
    DeleteFileA(path.c_str());
  check_free_agrees(res, "readouts.free_follows_removal", bar, root, "of removing the file");
}

// ---------------------------------------------------------------------------------------------
// check-readouts

// Checks both selectors' entries and selections; returns the root of the drive selected ("" when
// there is none).
std::string check_selectors(Results &res, HWND bar) {
  std::vector<std::string> drives;
  std::string error;
  HWND drive_box = GetDlgItem(bar, kDriveSelector);
  bool have = drive_box && combo_items(drive_box, &drives, &error);
  if (!drive_box) error = "no control " + num(kDriveSelector);
  std::vector<std::string> want = fixed_drives();
  want.push_back(kAllDrivesEntry);
  res.check(have && drives == want, "ctl115.items",
            list_str(want) + ", the fixed drives GetDriveTypeA finds and \"All\"", have ? list_str(drives) : error);
  // Wine's prefix maps C: to its drive_c folder and Z: to the host's root, both fixed drives.
  auto listed = [&](const char *root) { return std::find(drives.begin(), drives.end(), root) != drives.end(); };
  res.check(have && listed("C:\\") && listed("Z:\\"), "ctl115.wine_drives", "\"C:\\\" and \"Z:\\\" among the entries",
            have ? list_str(drives) : error);
  DWORD_PTR selected = 0;
  bool answered = drive_box && send(drive_box, CB_GETCURSEL, 0, 0, &selected);
  res.check(answered && selected == 0, "ctl115.selected", "entry 0",
            answered ? "entry " + num((LRESULT)selected) : "no answer to CB_GETCURSEL");
  const std::string root = have && answered && selected < drives.size() ? drives[selected] : "";

  std::vector<std::string> intervals;
  HWND interval_box = GetDlgItem(bar, kIntervalSelector);
  have = interval_box && combo_items(interval_box, &intervals, &error);
  if (!interval_box) error = "no control " + num(kIntervalSelector);
  const std::vector<std::string> want_intervals(std::begin(kIntervalEntries), std::end(kIntervalEntries));
  res.check(have && intervals == want_intervals, "ctl114.items", list_str(want_intervals),
            have ? list_str(intervals) : error);
  answered = interval_box && send(interval_box, CB_GETCURSEL, 0, 0, &selected);
  res.check(answered && selected == kDefaultInterval, "ctl114.selected",
            "entry " + num(kDefaultInterval) + " \"" + kIntervalEntries[kDefaultInterval] + "\"",
            answered ? "entry " + num((LRESULT)selected) : "no answer to CB_GETCURSEL");
  return root;
}

// What the host reports: drive C:'s folder and the physical memory, in bytes.
struct HostFigures {
  unsigned long long disk_total;
  unsigned long long disk_free;
  unsigned long long memory;
};

int cmd_check_readouts(const std::string &exe, const HostFigures &host) {
  Results res;
  Instance inst;
  bool up = inst.start(exe) && inst.wait_for_bar(20000);
  if (res.check(up, "readouts.found", "the bar within 20 s", inst.error)) {
    const std::string root = check_selectors(res, inst.bar);
    DiskSizes shown;
    if (res.check(root == "C:\\", "readouts.selected_drive", "\"C:\\\" selected, the drive the host's figures are of",
                  text_str(root)) &&
        check_drive_readouts(res, "readouts.drive", inst.bar, root, false, &shown)) {
      res.check(shown.total == host.disk_total, "readouts.host_total", bytes_str(host.disk_total) + ", the host's",
                bytes_str(shown.total));
      res.check(distance(shown.free, host.disk_free) <= kFreeTolerance, "readouts.host_free",
                near_str(host.disk_free) + ", the host's", bytes_str(shown.free));
      check_free_follows(res, inst.bar, root);
    }
    SizeReadout memory = read_size(inst.bar, kMemoryReadout);
    res.check(memory.valid && memory.bytes > 0 && memory.bytes <= host.memory, "readouts.memory",
              "\"N Bytes\" with 0 < N <= " + num((long long)host.memory) + ", the host's physical memory",
              readout_str(memory));
    // Free memory never reaches the total: the system itself takes some.
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    bool have_status = GlobalMemoryStatusEx(&status) != FALSE;
    res.check(have_status && memory.valid && memory.bytes < status.ullTotalPhys, "readouts.memory_below_total",
              have_status ? "less than " + bytes_str(status.ullTotalPhys) + ", the physical memory Windows reports"
                          : "GlobalMemoryStatusEx to answer",
              readout_str(memory));
    if (have_status)
      out("note: the driver finds " + num((long long)status.ullAvailPhys) + " of " +
          num((long long)status.ullTotalPhys) + " bytes of physical memory free");
    check_text(res, "readouts.resources", GetDlgItem(inst.bar, kResourcesReadout), kNoResources);
    close_and_check(res, inst, "readouts.close");
  }
  inst.kill_if_running();
  return res.finish();
}

// ---------------------------------------------------------------------------------------------
// check-version

// The Windows versions Wine reports for its Version setting (HKCU\Software\Wine).
struct WineVersion {
  const char *setting;
  DWORD major, minor, build;
};
const WineVersion kWineVersions[] = {
    {"win95", 4, 0, 950},
    {"win98", 4, 10, 2222},
    {"win7", 6, 1, 7601},  // Wine's own choice when nothing is set
};

std::string version_str(DWORD major, DWORD minor, DWORD build) {
  return num(major) + "." + num(minor) + " build " + num(build);
}

// What the bar makes of a Windows version: the build number's low 16 bits tell Windows 95,
// Windows 95 OSR2 (large disks) and Windows 98 (large disks and suspend) apart.
struct VersionTexts {
  bool large_disks;
  bool suspend;
  std::string version;
  std::string disks;
  std::string suspend_text;
};

VersionTexts version_texts(DWORD major, DWORD minor, DWORD build) {
  VersionTexts t;
  t.large_disks = build >= 1000;
  t.suspend = build >= 1998;
  const char *name = t.suspend ? "[Windows 98]" : t.large_disks ? "[Windows 95 OSR2]" : "[Windows 95]";
  char buf[256];
  snprintf(buf, sizeof buf, "Windowsのバージョン：%lu.%02lu.%lu %s", major, minor, build, name);
  t.version = buf;
  t.disks = t.large_disks ? "Windows 95 OSR2以上なので\r\n2GB以上のディスクをサポートします。"
                          : "Windows 95のバージョンが古いので\r\n2GB以上のディスクをサポートしません。";
  t.suspend_text = t.suspend ? "このバージョンではサスペンドモードを正式にサポートしています。"
                             : "このバージョンではサスペンドモードを正式にサポートしていません。";
  return t;
}

// The buttons: all in their places, the suspend button hidden where suspend is not offered.
void check_buttons(Results &res, HWND bar, bool suspend) {
  for (const Control &e : kControls) {
    if (e.kind != Kind::kButton) continue;
    const std::string name = "version.ctl" + num(e.id);
    HWND c = GetDlgItem(bar, e.id);
    if (!res.check(c != nullptr, name + ".exists", "a child with this control ID", "none")) continue;
    const bool shown = e.id != kSuspendButton || suspend;
    res.eq_hex(name + ".style", shown ? e.style : e.style & ~(DWORD)WS_VISIBLE,
               (DWORD)GetWindowLongPtrA(c, GWL_STYLE));
    const bool visible = IsWindowVisible(c) != FALSE;
    res.check(visible == shown, name + ".visible", shown ? "visible" : "not visible",
              visible ? "visible" : "not visible");
    res.eq_rect(name + ".rect", rect_of(e.place), client_rect_in(c, bar));
  }
}

// Opens the version dialog the way its menu command does, checks its texts, closes it with
// its button and checks that the bar lives on.
void check_version_dialog(Results &res, const Instance &inst, const VersionTexts &expected) {
  const DWORD pid = inst.pi.dwProcessId;
  PostMessageA(inst.bar, WM_COMMAND, kVersionCommand, 0);
  std::vector<HWND> dialogs;
  for (DWORD start = GetTickCount(); dialogs.empty() && GetTickCount() - start < 5000;) {
    Sleep(100);
    dialogs = process_dialogs(pid, kVersionCaption);
  }
  if (!res.check(dialogs.size() == 1, "dialog.shown",
                 "one visible \"#32770\" window captioned " + text_str(kVersionCaption) + " within 5 s of WM_COMMAND " +
                     num(kVersionCommand),
                 num(dialogs.size()) + " such windows") &&
      dialogs.empty())
    return;
  HWND dialog = dialogs.front();
  const bool owned = GetWindow(dialog, GW_OWNER) == inst.bar;
  out("note: the dialog's owner is " + std::string(owned ? "the bar" : "not the bar"));
  check_text(res, "dialog.ctl1002.text", GetDlgItem(dialog, kVersionTextId), expected.version);
  check_text(res, "dialog.ctl1003.text", GetDlgItem(dialog, kDiskSupportId), expected.disks);
  check_text(res, "dialog.ctl1014.text", GetDlgItem(dialog, kSuspendSupportId), expected.suspend_text);
  HWND ok = GetDlgItem(dialog, kVersionOkId);
  check_text(res, "dialog.ctl101.text", ok, "了解");

  PostMessageA(ok, BM_CLICK, 0, 0);
  bool closed = false;
  for (DWORD start = GetTickCount(); !closed && GetTickCount() - start < 5000;) {
    Sleep(100);
    closed = !IsWindow(dialog);
  }
  res.check(closed, "dialog.closed", "no dialog within 5 s of clicking ctl" + num(kVersionOkId), "it is still there");
  DWORD_PTR ignored = 0;
  bool running = WaitForSingleObject(inst.pi.hProcess, 0) == WAIT_TIMEOUT;
  bool answers = running && send(inst.bar, WM_NULL, 0, 0, &ignored);
  res.check(running && answers && IsWindowVisible(inst.bar), "dialog.bar_lives_on",
            "the bar still running, visible and answering",
            !running ? "the process ended" : !answers ? "no answer to WM_NULL" : "the bar is hidden");
}

int cmd_check_version(const std::string &exe, const WineVersion &wine) {
  Results res;
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  const DWORD build = v.dwBuildNumber & 0xffff;
  // The bar sees what the driver sees; a different version means the setting did not take.
  res.check(v.dwMajorVersion == wine.major && v.dwMinorVersion == wine.minor && build == wine.build, "version.wine",
            "Windows " + version_str(wine.major, wine.minor, wine.build) + " (Wine's setting " + wine.setting + ")",
            "Windows " + version_str(v.dwMajorVersion, v.dwMinorVersion, build));
  const VersionTexts expected = version_texts(v.dwMajorVersion, v.dwMinorVersion, build);
  Instance inst;
  bool up = inst.start(exe) && inst.wait_for_bar(20000);
  if (res.check(up, "version.found", "the bar within 20 s", inst.error)) {
    check_buttons(res, inst.bar, expected.suspend);
    // The first fixed drive is selected on a first start.
    const std::vector<std::string> drives = fixed_drives();
    DiskSizes shown;
    if (res.check(!drives.empty(), "version.fixed_drive", "a fixed drive", "none") &&
        check_drive_readouts(res, "version.drive", inst.bar, drives.front(), !expected.large_disks, &shown))
      out("note: " + drives.front() + " shows free " + bytes_str(shown.free) + ", total " + bytes_str(shown.total));
    check_version_dialog(res, inst, expected);
    close_and_check(res, inst, "version.close");
  }
  inst.kill_if_running();
  return res.finish();
}

// ---------------------------------------------------------------------------------------------
// The settings files: the first start, changes kept over a restart, bad stored values

// The message boxes of the way up. Wine, like Windows, gives a message box's text the control
// ID 0xFFFF and its OK button IDOK.
const int kBoxTextId = 0xffff;
const char *const kWelcomeText = "Velkinの初めての起動です。\nまたは初期化情報が失われています。";
const char *const kWarningCaption = "警告";
const char *const kIntervalWarning = "保存されていた更新間隔情報が不正です。\nとりあえず「１秒」に設定しました。";
// The drive warning names the drive selector's first entry between these two.
const char *const kDriveWarningHead = "保存されていた検査対象ドライブ情報が不正です。\nとりあえず";
const char *const kDriveWarningTail = "に設定しました。";
// How long the driver watches for a further box once the bar and the boxes it expects are up.
const DWORD kBoxWatchMs = 1000;

// The menu commands the checks send, and the selections they make.
const WPARAM kFreeGBytesCommand = 32777;
const WPARAM kTotalMBytesCommand = 32780;
const WPARAM kMemoryKBytesCommand = 32772;
const WPARAM kThreeDecimalsCommand = 32786;
const int kChangedInterval = 2;  // "200ミリ秒"
const int kChangedDrive = 2;     // "All" under Wine: C:\, Z:\, All
const int kDefaultDrive = 0;

// The files in a folder (not its subfolders), by name.
std::vector<std::string> folder_files(const std::string &dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// A message box's icon control (stc1). The icon handle means nothing outside the program's
// process, so the driver tells the icon by what the screen shows: the system icons drawn here
// over the box's own background, the way the control draws its icon, must match to the pixel.
const int kBoxIconId = 0x0440;
struct BoxIcon {
  LPCSTR id;
  const char *name;
};
const BoxIcon kBoxIcons[] = {
    {IDI_INFORMATION, "information"},
    {IDI_HAND, "stop"},
    {IDI_EXCLAMATION, "exclamation"},
    {IDI_QUESTION, "question"},
};
// How long a box may take to paint its icon.
const DWORD kIconWaitMs = 3000;

// The pixels of a w x h bitmap, 32 bits each.
std::vector<DWORD> bitmap_pixels(HDC dc, HBITMAP bitmap, int w, int h) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels((size_t)w * h);
  if (GetDIBits(dc, bitmap, 0, h, pixels.data(), &bi, DIB_RGB_COLORS) != h) pixels.clear();
  return pixels;
}

// Which of kBoxIcons the box shows: its name, "none" without an icon control, "?" when the
// screen shows none of them.
std::string box_icon(HWND box) {
  HWND control = GetDlgItem(box, kBoxIconId);
  if (!control || !IsWindowVisible(control)) return "none";
  const RECT r = window_rect(control);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return "none";
  std::string found = "?";
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  const std::vector<DWORD> shown = bitmap_pixels(mem, bitmap, w, h);
  // The box's background just left of the control.
  const COLORREF background = GetPixel(screen, r.left - 1, r.top);
  HBRUSH brush = CreateSolidBrush(background);
  const RECT all = {0, 0, w, h};
  for (const BoxIcon &icon : kBoxIcons) {
    if (shown.empty()) break;
    old = SelectObject(mem, bitmap);
    FillRect(mem, &all, brush);
    DrawIconEx(mem, 0, 0, LoadIconA(nullptr, icon.id), w, h, 0, nullptr, DI_NORMAL);
    SelectObject(mem, old);
    if (bitmap_pixels(mem, bitmap, w, h) == shown) {
      found = icon.name;
      break;
    }
  }
  DeleteObject(brush);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return found;
}

// A message box the program showed on its way up, and what the driver found while it showed.
struct SeenBox {
  std::string caption;
  std::string text;
  std::string icon;
  bool text_answered = false;
  bool bar_visible = false;         // a visible bar of the same process
  std::vector<std::string> files;  // beside the program
};

// Starts the program and waits up to 20 s for its bar, pressing OK on every message box it shows
// meanwhile and noting what the box said. Once the bar and at least `expected` boxes have shown
// it watches kBoxWatchMs more for another box. False with inst.error when no bar showed.
bool start_noting_boxes(Instance &inst, const std::string &exe, size_t expected, std::vector<SeenBox> *boxes) {
  if (!inst.start(exe)) return false;
  const DWORD pid = inst.pi.dwProcessId;
  std::vector<HWND> handled;
  DWORD ready_at = 0;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    for (HWND box : process_dialogs(pid, nullptr)) {
      if (std::find(handled.begin(), handled.end(), box) != handled.end()) continue;
      handled.push_back(box);
      SeenBox seen;
      get_text(box, &seen.caption);
      seen.text_answered = get_text(GetDlgItem(box, kBoxTextId), &seen.text);
      seen.bar_visible = !find_bars(pid, false).empty();
      seen.files = folder_files(inst.dir);
      for (DWORD shown = GetTickCount(); (seen.icon = box_icon(box)) == "?" && GetTickCount() - shown < kIconWaitMs;)
        Sleep(100);
      boxes->push_back(seen);
      out("note: OK pressed on " + dialog_str(box));
      PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    if (!inst.bar) {
      std::vector<HWND> bars = find_bars(pid, false);
      if (!bars.empty()) inst.bar = bars.front();
    }
    if (inst.bar && boxes->size() >= expected) {
      if (!ready_at) ready_at = GetTickCount();
      if (GetTickCount() - ready_at >= kBoxWatchMs) return true;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(inst.pi.hProcess, &code) && code != STILL_ACTIVE) {
      inst.error = "the program ended with code " + hex(code) + (inst.bar ? "" : " before showing its bar");
      return false;
    }
    if (GetTickCount() - start >= 20000) {
      if (inst.bar) return true;  // the box count is the caller's check
      inst.error = "no bar within 20 s";
      for (HWND dialog : process_dialogs(pid, nullptr)) inst.error += "; it shows " + dialog_str(dialog);
      return false;
    }
  }
}

std::string boxes_str(const std::vector<SeenBox> &boxes) {
  std::string s = num(boxes.size()) + " boxes";
  for (const SeenBox &b : boxes) s += ", " + text_str(b.caption) + " saying " + text_str(b.text);
  return s;
}

// Checks that exactly one box showed, with this caption and text; true when one showed.
bool check_one_box(Results &res, const std::string &prefix, const std::vector<SeenBox> &boxes,
                   const std::string &caption, const std::string &text, const std::string &icon) {
  if (!res.check(boxes.size() == 1, prefix + ".box_count", "one message box captioned " + text_str(caption),
                 boxes_str(boxes)))
    if (boxes.empty()) return false;
  const SeenBox &b = boxes.front();
  res.check(b.caption == caption, prefix + ".box_caption", text_str(caption), text_str(b.caption));
  res.check(b.text_answered && b.text == text, prefix + ".box_text", text_str(text) + " (control 0xFFFF)",
            b.text_answered ? text_str(b.text) : "no answer to WM_GETTEXT");
  res.check(b.icon == icon, prefix + ".box_icon", "the system's " + icon + " icon on screen",
            b.icon == "?" ? "none of the system's icons" : b.icon == "none" ? "no icon control" : "the " + b.icon + " icon");
  return true;
}

void check_no_box(Results &res, const std::string &prefix, const std::vector<SeenBox> &boxes) {
  res.check(boxes.empty(), prefix + ".no_box",
            "no message box up to " + num(kBoxWatchMs / 1000) + " s after the bar shows", boxes_str(boxes));
}

// The position selected in one of the bar's selectors, with the entry's text.
void check_selected(Results &res, const std::string &name, HWND bar, int id, int expected) {
  HWND box = GetDlgItem(bar, id);
  std::vector<std::string> items;
  std::string error;
  const bool have = box && combo_items(box, &items, &error);
  auto entry = [&](LRESULT pos) {
    return "entry " + num(pos) +
           (have && pos >= 0 && pos < (LRESULT)items.size() ? " \"" + items[pos] + "\"" : std::string());
  };
  DWORD_PTR selected = 0;
  const bool answered = box && send(box, CB_GETCURSEL, 0, 0, &selected);
  res.check(answered && (LRESULT)selected == expected, name, entry(expected),
            answered ? entry((LRESULT)selected) : box ? "no answer to CB_GETCURSEL" : "no control " + num(id));
}

// Selects an entry the way a user does: the box changes, then tells the bar.
bool select_entry(HWND bar, int id, int pos) {
  HWND box = GetDlgItem(bar, id);
  DWORD_PTR result = 0;
  if (!box || !send(box, CB_SETCURSEL, pos, 0, &result) || (LRESULT)result != pos) return false;
  return PostMessageA(bar, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)box) != FALSE;
}

// A readout in a unit other than bytes: "N.DDD Unit" with `decimals` digits after the point (no
// point with none), N in decimal digits without leading zeros. Its value in 10^-decimals units.
bool parse_fixed(const std::string &text, const std::string &unit, int decimals, unsigned long long *scaled) {
  const std::string tail = " " + unit;
  if (text.size() <= tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string figure = text.substr(0, text.size() - tail.size());
  const size_t point = decimals ? figure.size() - decimals - 1 : figure.size();
  if (figure.size() < (size_t)decimals + (decimals ? 2 : 1) || (decimals && figure[point] != '.')) return false;
  const std::string whole = figure.substr(0, point);
  const std::string digits = whole + (decimals ? figure.substr(point + 1) : "");
  if (whole.size() > 1 && whole[0] == '0') return false;
  if (digits.size() > 19) return false;
  unsigned long long v = 0;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *scaled = v;
  return true;
}

// count / 2^shift with `decimals` places after the point, rounded to the nearest, ties to even:
// the driver's own reckoning of a readout in kBytes (10), MBytes (20) or GBytes (30).
std::string fixed_str(unsigned long long count, unsigned shift, int decimals) {
  const unsigned long long mask = (1ull << shift) - 1, half = 1ull << (shift - 1);
  unsigned long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  unsigned long long whole = count >> shift;
  const unsigned long long part = (count & mask) * scale;  // below 2^30 * 10^4: no overflow
  unsigned long long frac = part >> shift;
  const unsigned long long rest = part & mask;
  const unsigned long long last_digit = decimals ? frac : whole;
  if (rest > half || (rest == half && (last_digit & 1))) ++frac;
  if (frac == scale) {
    ++whole;
    frac = 0;
  }
  std::string s = num((long long)whole);
  if (decimals) {
    std::string f = num((long long)frac);
    s += "." + std::string(decimals - f.size(), '0') + f;
  }
  return s;
}

// The driver's measure of every fixed drive added up, as the selector's "All" reads.
bool measure_all_drives(DiskSizes *sum, std::string *error) {
  *sum = DiskSizes();
  for (const std::string &root : fixed_drives()) {
    DiskSizes d;
    DWORD code = 0;
    if (!measure_disk(root, false, &d, &code)) {
      *error = "GetDiskFreeSpaceExA of " + root + " error " + num(code);
      return false;
    }
    sum->total += d.total;
    sum->free += d.free;
  }
  return true;
}

// The readouts of a first start: "N Bytes" each, the total that of the first fixed drive.
void check_bytes_readouts(Results &res, const std::string &prefix, HWND bar) {
  const std::vector<std::string> drives = fixed_drives();
  SizeReadout free_space, total, memory;
  DiskSizes own;
  DWORD error = 0;
  bool measured = false;
  for (DWORD start = GetTickCount();; Sleep(100)) {
    free_space = read_size(bar, kFreeReadout);
    total = read_size(bar, kTotalReadout);
    memory = read_size(bar, kMemoryReadout);
    measured = !drives.empty() && measure_disk(drives.front(), false, &own, &error);
    bool all = free_space.valid && total.valid && memory.valid && measured && total.bytes == own.total;
    if (all || GetTickCount() - start >= kRefreshWaitMs) break;
  }
  const std::string form = "\"N Bytes\", N the byte count in decimal digits";
  res.check(free_space.valid, prefix + ".free_bytes", form, readout_str(free_space));
  res.check(total.valid && measured && total.bytes == own.total, prefix + ".total_bytes",
            measured ? bytes_str(own.total) + ", the total of " + drives.front() : "a fixed drive the driver can measure",
            readout_str(total));
  res.check(memory.valid && memory.bytes > 0, prefix + ".memory_bytes", form + ", N > 0", readout_str(memory));
}

// The readouts after the changes: the free space of all drives in GBytes and their total in
// MBytes, the free memory in kBytes, all with 3 places. The total must be exact; the free space
// within the tolerance for each drive, as both drives may share one disk.
void check_changed_readouts(Results &res, const std::string &prefix, HWND bar) {
  const int places = 3;
  const unsigned long long per_unit = 1000;  // 10^places
  const unsigned long long free_slack = ((2 * kFreeTolerance * per_unit) >> 30) + 1;
  std::string free_text, total_text, memory_text, want_total, error;
  bool free_ok = false, total_ok = false, memory_ok = false, measured = false;
  DiskSizes all;
  unsigned long long free_shown = 0, free_want = 0, memory_shown = 0;
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof status;
  const bool have_status = GlobalMemoryStatusEx(&status) != FALSE;
  const unsigned long long memory_limit = (status.ullTotalPhys >> 10) * per_unit;  // in 10^-3 kBytes
  for (DWORD start = GetTickCount();; Sleep(100)) {
    get_text(GetDlgItem(bar, kFreeReadout), &free_text);
    get_text(GetDlgItem(bar, kTotalReadout), &total_text);
    get_text(GetDlgItem(bar, kMemoryReadout), &memory_text);
    measured = measure_all_drives(&all, &error);
    want_total = fixed_str(all.total, 20, places) + " MBytes";
    free_want = (all.free >> 30) * per_unit + (((all.free & ((1ull << 30) - 1)) * per_unit) >> 30);
    total_ok = measured && total_text == want_total;
    free_ok = measured && parse_fixed(free_text, "GBytes", places, &free_shown) &&
              distance(free_shown, free_want) <= free_slack;
    memory_ok = have_status && parse_fixed(memory_text, "kBytes", places, &memory_shown) && memory_shown > 0 &&
                memory_shown < memory_limit;
    if ((total_ok && free_ok && memory_ok) || GetTickCount() - start >= kRefreshWaitMs) break;
  }
  out("note: " + prefix + ": free " + text_str(free_text) + ", total " + text_str(total_text) + ", memory " +
      text_str(memory_text));
  if (!res.check(measured, prefix + ".measured", "GetDiskFreeSpaceExA of every fixed drive in the driver", error))
    return;
  res.check(total_ok, prefix + ".total_mbytes",
            text_str(want_total) + ", the total of every fixed drive (" + num((long long)all.total) + " bytes)",
            text_str(total_text));
  res.check(free_ok, prefix + ".free_gbytes",
            "\"N.DDD GBytes\" within " + num((long long)free_slack) + " thousandths of " +
                fixed_str(all.free, 30, places) + ", the free space of every fixed drive",
            text_str(free_text));
  res.check(memory_ok, prefix + ".memory_kbytes",
            "\"N.DDD kBytes\" above 0 and below the physical memory, " + fixed_str(status.ullTotalPhys, 10, places),
            text_str(memory_text));
}

// Presses the exit button the way a click does and checks that the program ends with its bar.
void exit_and_check(Results &res, Instance &inst, const std::string &prefix) {
  PostMessageA(GetDlgItem(inst.bar, kExitButton), BM_CLICK, 0, 0);
  bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
  res.check(ended, prefix + ".process_ended", "the program to end within 10 s after its exit button", "it still runs");
  res.check(!IsWindow(inst.bar), prefix + ".window_gone", "no bar window after the process ended",
            "window " + hex((uintptr_t)inst.bar) + " still exists");
  inst.kill_if_running();
}

void note_current_directory() {
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof cwd, cwd);
  out("note: the program starts in " + std::string(cwd));
}

// First start in a folder without settings: the welcome before the bar and before any file is
// written, then the defaults; then the exit button (which writes the files).
int cmd_first_start(const std::string &exe) {
  Results res;
  Instance inst;
  inst.in_own_folder = false;
  note_current_directory();
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 1, &boxes);
  if (check_one_box(res, "first", boxes, kWelcomeCaption, kWelcomeText, "information")) {
    const SeenBox &b = boxes.front();
    res.check(!b.bar_visible, "first.box_before_bar", "no visible bar while the box shows", "a visible bar");
    const std::vector<std::string> only = {"velkin.exe"};
    res.check(b.files == only, "first.nothing_written",
              "only velkin.exe in " + inst.dir + " while the box shows", list_str(b.files));
  }
  if (res.check(up, "first.found", "the bar within 20 s", inst.error)) {
    check_selected(res, "first.interval_selected", inst.bar, kIntervalSelector, kDefaultInterval);
    check_selected(res, "first.drive_selected", inst.bar, kDriveSelector, kDefaultDrive);
    check_bytes_readouts(res, "first", inst.bar);
    exit_and_check(res, inst, "first.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// With settings: no box; units, places, interval and drive changed from outside, the readouts
// following; then the exit button.
int cmd_change_settings(const std::string &exe) {
  Results res;
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "change", boxes);
  if (res.check(up, "change.found", "the bar within 20 s", inst.error)) {
    for (WPARAM command : {kFreeGBytesCommand, kTotalMBytesCommand, kMemoryKBytesCommand, kThreeDecimalsCommand})
      PostMessageA(inst.bar, WM_COMMAND, command, 0);
    res.check(select_entry(inst.bar, kIntervalSelector, kChangedInterval), "change.select_interval",
              "CB_SETCURSEL " + num(kChangedInterval) + " and CBN_SELCHANGE posted", "no");
    res.check(select_entry(inst.bar, kDriveSelector, kChangedDrive), "change.select_drive",
              "CB_SETCURSEL " + num(kChangedDrive) + " and CBN_SELCHANGE posted", "no");
    check_changed_readouts(res, "change", inst.bar);
    check_selected(res, "change.interval_selected", inst.bar, kIntervalSelector, kChangedInterval);
    check_selected(res, "change.drive_selected", inst.bar, kDriveSelector, kChangedDrive);
    exit_and_check(res, inst, "change.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// After change-settings: no box, the changes back; then the interval changed to "2秒" through
// its selector and WM_CLOSE, which saves as the exit button does (the caller reads the files).
int cmd_check_restored(const std::string &exe) {
  const int kClosedInterval = 5;  // "2秒"

  Results res;
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "restored", boxes);
  if (res.check(up, "restored.found", "the bar within 20 s", inst.error)) {
    check_selected(res, "restored.interval_selected", inst.bar, kIntervalSelector, kChangedInterval);
    check_selected(res, "restored.drive_selected", inst.bar, kDriveSelector, kChangedDrive);
    check_changed_readouts(res, "restored", inst.bar);
    res.check(select_entry(inst.bar, kIntervalSelector, kClosedInterval), "restored.select_interval",
              "CB_SETCURSEL " + num(kClosedInterval) + " and CBN_SELCHANGE posted", "no");
    close_and_check(res, inst, "restored.close");
  }
  inst.kill_if_running();
  return res.finish();
}

// A stored selector position the selector does not have: the warning, then the bar with the
// given positions selected; then the exit button.
int cmd_check_warning(const std::string &exe, const std::string &kind, int interval, int drive) {
  Results res;
  Instance inst;
  inst.in_own_folder = false;
  std::string text = kIntervalWarning;
  if (kind == "drive") {
    const std::vector<std::string> drives = fixed_drives();
    text = kDriveWarningHead + (drives.empty() ? std::string(kAllDrivesEntry) : drives.front()) + kDriveWarningTail;
  }
  const std::string prefix = "warning-" + kind;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 1, &boxes);
  check_one_box(res, prefix, boxes, kWarningCaption, text, "stop");
  if (res.check(up, prefix + ".found", "the bar within 20 s", inst.error)) {
    check_selected(res, prefix + ".interval_selected", inst.bar, kIntervalSelector, interval);
    check_selected(res, prefix + ".drive_selected", inst.bar, kDriveSelector, drive);
    exit_and_check(res, inst, prefix + ".exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// With settings: no box; then the exit button.
int cmd_start_exit(const std::string &exe) {
  Results res;
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "restart", boxes);
  if (res.check(up, "restart.found", "the bar within 20 s", inst.error)) exit_and_check(res, inst, "restart.exit");
  inst.kill_if_running();
  return res.finish();
}

// A command that ends the Windows session (restart Windows only, 102): the bar is started,
// the button pressed, and the program must end as the session does, within 30 s. The files it
// wrote are checked by the caller.
int cmd_end_session(const std::string &exe, int button) {
  Results res;
  Instance inst;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "session", boxes);
  if (res.check(up, "session.found", "the bar within 20 s", inst.error)) {
    PostMessageA(GetDlgItem(inst.bar, button), BM_CLICK, 0, 0);
    const bool ended = WaitForSingleObject(inst.pi.hProcess, 30000) == WAIT_OBJECT_0;
    res.check(ended, "session.process_ended",
              "the program to end with the session within 30 s after button " + num(button), "it still runs");
  }
  inst.kill_if_running();
  return res.finish();
}

// The Windows session ends (the driver asks Windows to log off) while a first start's welcome
// box is up, before the program has read its files: the program must end without writing
// either file. The files are checked by the caller.
int cmd_end_session_at_welcome(const std::string &exe) {
  Results res;
  Instance inst;
  if (!res.check(inst.start(exe), "welcome_end.started", "the program started", inst.error)) return res.finish();
  std::vector<HWND> welcome;
  for (DWORD start = GetTickCount(); welcome.empty() && GetTickCount() - start < 20000; Sleep(100)) {
    welcome = process_dialogs(inst.pi.dwProcessId, kWelcomeCaption);
  }
  if (res.check(!welcome.empty(), "welcome_end.welcome", "the welcome box within 20 s", "none")) {
    res.check(ExitWindowsEx(EWX_LOGOFF, 0) != FALSE, "welcome_end.asked", "ExitWindowsEx(EWX_LOGOFF) taken",
              "error " + num(GetLastError()));
    const bool ended = WaitForSingleObject(inst.pi.hProcess, 30000) == WAIT_OBJECT_0;
    res.check(ended, "welcome_end.process_ended", "the program to end with the session within 30 s", "it still runs");
    res.check(find_bars(inst.pi.dwProcessId, false).empty(), "welcome_end.no_bar", "no bar was ever shown",
              "a bar");
  }
  inst.kill_if_running();
  return res.finish();
}

// The bar is closed (WM_CLOSE, as Alt+F4 or "End task" sends it) while a first start's welcome
// box is up, before the program has read its files: once OK is pressed the program must end,
// never showing its bar, without writing either file. The files are checked by the caller.
int cmd_close_at_welcome(const std::string &exe) {
  Results res;
  Instance inst;
  if (!res.check(inst.start(exe), "welcome_close.started", "the program started", inst.error)) return res.finish();
  std::vector<HWND> welcome;
  for (DWORD start = GetTickCount(); welcome.empty() && GetTickCount() - start < 20000; Sleep(100)) {
    welcome = process_dialogs(inst.pi.dwProcessId, kWelcomeCaption);
  }
  // The bar's window exists already, not yet shown: the one of the process with the exit button.
  const std::vector<HWND> hidden = top_windows([&](HWND h) {
    return window_pid(h) == inst.pi.dwProcessId && GetDlgItem(h, kExitButton) != nullptr;
  });
  if (res.check(!welcome.empty(), "welcome_close.welcome", "the welcome box within 20 s", "none") &&
      res.check(hidden.size() == 1, "welcome_close.bar_window", "one window with the bar's exit button",
                num(hidden.size()))) {
    PostMessageA(hidden.front(), WM_CLOSE, 0, 0);
    Sleep(1000);  // taken in by the box's loop
    PostMessageA(GetDlgItem(welcome.front(), IDOK), BM_CLICK, 0, 0);
    const bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
    res.check(ended, "welcome_close.process_ended", "the program to end within 10 s of OK", "it still runs");
    res.check(find_bars(inst.pi.dwProcessId, false).empty(), "welcome_close.no_bar", "no bar was ever shown",
              "a bar");
  }
  inst.kill_if_running();
  return res.finish();
}

// ---------------------------------------------------------------------------------------------
// Minimizing the other windows, and the list of those never to minimize

const WPARAM kMinimizeAllCommand = 32807;
const WPARAM kEditExclusionsCommand = 32810;

// The exclusion list's dialog, and the picker it opens to add a title.
const char *const kExclusionCaption = "最小化したくないアプリケーションの選択";
const int kTitleListId = 1015;
const int kAddButtonId = 1016;
const int kDeleteButtonId = 1017;
const int kCloseListButtonId = 1018;
const char *const kPickerCaption = "現在表示されているウィンドウの一覧";
const int kSelectButtonId = 1017;
const int kPickCancelButtonId = 1018;
const char *const kFullListText = "これ以上リストの項目を増やすことはできません!!";
const size_t kExclusionLimit = 20;

// How long a window may take to show a change the program made to it, and how long the driver
// then watches the windows that must stay as they are.
const DWORD kWindowWaitMs = 5000;
const DWORD kSettleMs = 1000;

// The titles run_e2e.sh writes to nonapp.dat beside the program. The file is in no order; the
// dialog's list box sorts it, and "閉じる" hands the list on in the box's order.
const char *const kKeepTitle = "Velkin keep me";
const char *const kPickTitle = "Velkin pick me";
const char *const kOtherTitle = "Velkin other";
const std::vector<std::string> kStoredSorted = {"Aardvark notes", "Velkin keep me", "Zebra notes",
                                                "表示ソフト メモ"};
const std::vector<std::string> kEditedSorted = {"Aardvark notes", "Velkin keep me", "Velkin pick me",
                                                "Zebra notes", "表示ソフト メモ"};

// The 20 titles of a full list, in order: "Velkin full 01" .. "Velkin full 20".
std::vector<std::string> full_list() {
  std::vector<std::string> titles;
  for (size_t i = 1; i <= kExclusionLimit; ++i) titles.push_back("Velkin full " + std::string(i < 10 ? "0" : "") + num(i));
  return titles;
}

// A top-level window of the driver's own for the program to find.
struct WindowSpec {
  std::string name;  // for the checks' names
  std::string title;
  bool visible;
  int owner;             // the index of the window that owns it (made before it), -1 for none
  bool topmost = false;  // WS_EX_TOPMOST: above every other window from the start
};

// The driver's windows, on a thread of their own that pumps messages: ShowWindow from the
// program on a window of another thread waits for that thread to answer, so the windows must
// not belong to the driver's main thread, which sits in Sleep and SendMessageTimeout.
class WindowThread {
 public:
  ~WindowThread() { stop(); }

  bool start(const std::vector<WindowSpec> &specs, std::string *error) {
    specs_ = specs;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &WindowThread::run, this, 0, &thread_id_);
    if (!ready_ || !thread_ || WaitForSingleObject(ready_, 10000) != WAIT_OBJECT_0) {
      *error = "the window thread never got ready";
      return false;
    }
    *error = error_;
    return error_.empty();
  }

  HWND window(const std::string &name) const {
    for (size_t i = 0; i < specs_.size(); ++i)
      if (specs_[i].name == name) return windows_[i];
    return nullptr;
  }
  std::string title(const std::string &name) const {
    for (const WindowSpec &s : specs_)
      if (s.name == name) return s.title;
    return "";
  }

  void stop() {
    if (thread_) {
      PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
      WaitForSingleObject(thread_, 5000);
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    if (ready_) CloseHandle(ready_);
    ready_ = nullptr;
  }

 private:
  static DWORD WINAPI run(void *p) {
    WindowThread *self = (WindowThread *)p;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "VelkinE2EWindow";
    RegisterClassA(&wc);
    for (size_t i = 0; i < self->specs_.size(); ++i) {
      const WindowSpec &s = self->specs_[i];
      HWND owner = s.owner >= 0 ? self->windows_[s.owner] : nullptr;
      // Owned windows are popups: GetParent gives the owner of a popup only.
      const DWORD style = (owner ? WS_POPUP | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPEDWINDOW) |
                          (s.visible ? WS_VISIBLE : 0);
      const int at = 60 + 24 * (int)i;
      HWND h = CreateWindowExA(s.topmost ? WS_EX_TOPMOST : 0, wc.lpszClassName, s.title.c_str(), style, at, at + 40, 320, 200, owner, nullptr,
                               wc.hInstance, nullptr);
      if (!h && self->error_.empty()) self->error_ = "CreateWindowExA " + text_str(s.title) + " error " + num(GetLastError());
      self->windows_.push_back(h);
    }
    SetEvent(self->ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    for (auto it = self->windows_.rbegin(); it != self->windows_.rend(); ++it)
      if (*it) DestroyWindow(*it);
    return 0;
  }

  std::vector<WindowSpec> specs_;
  std::vector<HWND> windows_;
  std::string error_;
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
};

std::string window_state(HWND h) {
  if (!IsWindow(h)) return "no window";
  return std::string(IsIconic(h) ? "minimized" : "not minimized") + (IsWindowVisible(h) ? ", visible" : ", hidden");
}

// Waits up to kWindowWaitMs for every one of `windows` to be minimized.
bool wait_minimized(const std::vector<HWND> &windows) {
  for (DWORD start = GetTickCount();; Sleep(100)) {
    bool all = true;
    for (HWND h : windows) all = all && IsIconic(h);
    if (all) return true;
    if (GetTickCount() - start >= kWindowWaitMs) return false;
  }
}

// Watches `windows` for kSettleMs: true when none of them was ever minimized meanwhile.
bool stay_unminimized(const std::vector<HWND> &windows) {
  for (DWORD start = GetTickCount();; Sleep(50)) {
    for (HWND h : windows)
      if (IsIconic(h)) return false;
    if (GetTickCount() - start >= kSettleMs) return true;
  }
}

// The titles the program may minimize, by the driver's own walk of the top-level windows:
// visible, titled, unowned (GetParent), not titled "Program Manager".
std::vector<std::string> candidate_titles() {
  std::vector<std::string> titles;
  for (HWND h : top_windows([](HWND h) { return IsWindowVisible(h) && !GetParent(h); })) {
    char buf[1024] = "";
    GetWindowTextA(h, buf, sizeof buf);
    if (buf[0] && std::string(buf) != "Program Manager") titles.push_back(buf);
  }
  return titles;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

bool contains(const std::vector<std::string> &v, const std::string &s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

// Waits up to 5 s for one visible "#32770" window of the process with this caption.
HWND wait_dialog(DWORD pid, const char *caption) {
  for (DWORD start = GetTickCount();; Sleep(100)) {
    std::vector<HWND> dialogs = process_dialogs(pid, caption);
    if (dialogs.size() == 1) return dialogs.front();
    if (GetTickCount() - start >= 5000) return nullptr;
  }
}

bool wait_gone(HWND h) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(100))
    if (!IsWindow(h)) return true;
  return !IsWindow(h);
}

void click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Opens the exclusion list's dialog with its menu command; checks that it shows, owned by the
// bar. Null after a FAIL.
HWND open_exclusions(Results &res, const std::string &prefix, HWND bar) {
  PostMessageA(bar, WM_COMMAND, kEditExclusionsCommand, 0);
  HWND dialog = wait_dialog(window_pid(bar), kExclusionCaption);
  if (!res.check(dialog != nullptr, prefix + ".shown",
                 "one visible \"#32770\" window captioned " + text_str(kExclusionCaption) + " within 5 s of WM_COMMAND " +
                     num(kEditExclusionsCommand),
                 "none"))
    return nullptr;
  HWND owner = GetWindow(dialog, GW_OWNER);
  res.check(owner == bar, prefix + ".owner", "the bar " + hex((uintptr_t)bar), hex((uintptr_t)owner));
  return dialog;
}

// Checks a dialog's list box against `expected`, waiting up to 5 s for it to get there; true
// when it holds them. The entries it holds go to *got.
bool check_list(Results &res, const std::string &name, HWND dialog, const std::vector<std::string> &expected,
                std::vector<std::string> *got = nullptr) {
  std::vector<std::string> items;
  std::string error;
  bool have = false;
  HWND list = GetDlgItem(dialog, kTitleListId);
  for (DWORD start = GetTickCount();; Sleep(100)) {
    have = list && list_items(list, &items, &error);
    if ((have && items == expected) || GetTickCount() - start >= 5000) break;
  }
  if (!list) error = "no control " + num(kTitleListId);
  if (got) *got = have ? items : std::vector<std::string>();
  return res.check(have && items == expected, name, list_str(expected), have ? list_str(items) : error);
}

// Selects a title in a dialog's list box: found with LB_FINDSTRINGEXACT, asked in UTF-16 (the
// ANSI form is tried too, for the note), then LB_SETCURSEL. The position, or -1 after a FAIL.
int select_title(Results &res, const std::string &name, HWND dialog, const std::string &title) {
  HWND list = GetDlgItem(dialog, kTitleListId);
  std::wstring wide(title.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(932, 0, title.c_str(), -1, &wide[0], (int)wide.size()));
  DWORD_PTR found = (DWORD_PTR)LB_ERR, ansi = (DWORD_PTR)LB_ERR, selected = (DWORD_PTR)LB_ERR, cur = (DWORD_PTR)LB_ERR;
  const bool answered =
      list && SendMessageTimeoutW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)wide.c_str(), SMTO_ABORTIFHUNG, 5000, &found);
  if (list && send(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)title.c_str(), &ansi))
    out("note: " + name + ": LB_FINDSTRINGEXACT in ANSI answers " + num((LRESULT)ansi) + ", in UTF-16 " +
        num((LRESULT)found));
  std::vector<std::string> items;
  std::string error;
  const bool have = list && list_items(list, &items, &error);
  const LRESULT pos = (LRESULT)found;
  const bool right = answered && pos >= 0 && have && pos < (LRESULT)items.size() && items[pos] == title;
  if (!res.check(right, name + ".found", "LB_FINDSTRINGEXACT to find " + text_str(title) + " in " + list_str(items),
                 !answered ? "no answer" : "position " + num(pos)))
    return -1;
  send(list, LB_SETCURSEL, pos, 0, &selected);
  send(list, LB_GETCURSEL, 0, 0, &cur);
  if (!res.check((LRESULT)cur == pos, name + ".selected", "entry " + num(pos) + " selected (LB_SETCURSEL)",
                 "entry " + num((LRESULT)cur)))
    return -1;
  return (int)pos;
}

// Opens the picker from the exclusion list's dialog; checks that it shows, owned by that dialog.
HWND open_picker(Results &res, const std::string &prefix, HWND dialog) {
  click(dialog, kAddButtonId);
  HWND picker = wait_dialog(window_pid(dialog), kPickerCaption);
  if (!res.check(picker != nullptr, prefix + ".shown",
                 "one visible \"#32770\" window captioned " + text_str(kPickerCaption) + " within 5 s of clicking ctl" +
                     num(kAddButtonId),
                 "none"))
    return nullptr;
  HWND owner = GetWindow(picker, GW_OWNER);
  res.check(owner == dialog, prefix + ".owner", "the exclusion list's dialog " + hex((uintptr_t)dialog),
            hex((uintptr_t)owner));
  return picker;
}

// Picks a title in the picker and clicks "選択"; true when the picker closed.
bool pick(Results &res, const std::string &prefix, HWND picker, const std::string &title) {
  if (select_title(res, prefix + ".pick", picker, title) < 0) return false;
  click(picker, kSelectButtonId);
  return res.check(wait_gone(picker), prefix + ".closed",
                   "no picker within 5 s of clicking ctl" + num(kSelectButtonId), "it is still there");
}

// Closes a dialog of the exclusion list and checks that it went.
bool close_dialog(Results &res, const std::string &name, HWND dialog, const std::string &how) {
  return res.check(wait_gone(dialog), name, "no dialog within 5 s of " + how, "it is still there");
}

// Clicks minimize-all (the button, or the menu command), waits for the windows that must go
// and watches those that must stay.
void check_minimize_all(Results &res, const std::string &prefix, HWND bar, const WindowThread &windows,
                        const std::vector<std::string> &go, const std::vector<std::string> &stay, bool by_button) {
  std::vector<HWND> going, staying;
  for (const std::string &t : go) going.push_back(windows.window(t));
  for (const std::string &t : stay) staying.push_back(windows.window(t));
  if (by_button)
    PostMessageA(GetDlgItem(bar, kMinimizeAllButton), BM_CLICK, 0, 0);
  else
    PostMessageA(bar, WM_COMMAND, kMinimizeAllCommand, 0);
  const std::string how = by_button ? "clicking ctl" + num(kMinimizeAllButton) : "WM_COMMAND " + num(kMinimizeAllCommand);
  wait_minimized(going);
  stay_unminimized(staying);  // ends early once one is minimized; the checks below tell which
  for (size_t i = 0; i < go.size(); ++i)
    res.check(IsIconic(going[i]) != FALSE, prefix + ".minimized." + go[i],
              "window " + text_str(windows.title(go[i])) + " minimized within " + num(kWindowWaitMs / 1000) +
                  " s of " + how,
              window_state(going[i]));
  for (size_t i = 0; i < stay.size(); ++i)
    res.check(IsWindow(staying[i]) && !IsIconic(staying[i]), prefix + ".kept." + stay[i],
              "window " + text_str(windows.title(stay[i])) + " not minimized, " + num(kSettleMs / 1000) +
                  " s after the others",
              window_state(staying[i]));
  res.check(!IsIconic(bar) && IsWindowVisible(bar), prefix + ".bar_shown", "the bar visible, not minimized",
            window_state(bar));
  res.eq_rect(prefix + ".bar_rect", kBarRect, window_rect(bar));
}

// The windows all as made: the visible ones visible, none minimized.
bool check_windows_made(Results &res, const std::string &prefix, const WindowThread &windows,
                        const std::vector<WindowSpec> &specs) {
  bool all = true;
  std::string got;
  for (const WindowSpec &s : specs) {
    HWND h = windows.window(s.name);
    const bool ok = h && !IsIconic(h) && (IsWindowVisible(h) != FALSE) == s.visible;
    all = all && ok;
    if (!ok) got += (got.empty() ? "" : "; ") + text_str(s.title) + " " + window_state(h);
  }
  return res.check(all, prefix + ".windows_made", "the driver's windows made, none minimized", got);
}

// Opens a file beside the program and reads its bytes; false when it cannot.
bool read_file(const std::string &path, std::string *bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n) bytes->append(buf, n);
  CloseHandle(f);
  return true;
}

// After the exit: nonapp.dat beside the program holds these titles, each ending in CR LF.
void check_saved_list(Results &res, const std::string &name, const Instance &inst,
                      const std::vector<std::string> &titles) {
  std::string want, got;
  for (const std::string &t : titles) want += t + "\r\n";
  const std::string path = inst.dir + "nonapp.dat";
  const bool have = read_file(path, &got);
  res.check(have && got == want, name, text_str(want) + " in " + path, have ? text_str(got) : "no file");
}

// The visible popup menus ("#32768") of one process.
std::vector<HWND> visible_menus(DWORD pid) {
  return top_windows([&](HWND h) { return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == "#32768"; });
}

// The context menu: WM_CONTEXTMENU with a point on the screen shows a popup menu there, its
// top-left corner at the point; Esc closes it and the bar lives on.
void check_context_menu(Results &res, const Instance &inst) {
  const DWORD pid = inst.pi.dwProcessId;
  const POINT at = {400, 300};
  // The mouse well away from where the menu opens: resting on an item, it could open a submenu,
  // which Esc would close instead of the menu.
  SetCursorPos(kScreenWidth - 8, kScreenHeight - 8);
  PostMessageA(inst.bar, WM_CONTEXTMENU, (WPARAM)inst.bar, MAKELPARAM(at.x, at.y));
  std::vector<HWND> menus;
  for (DWORD start = GetTickCount(); menus.empty() && GetTickCount() - start < 5000;) {
    Sleep(100);
    menus = visible_menus(pid);
  }
  if (!res.check(menus.size() == 1, "menu.shown", "one visible \"#32768\" window within 5 s of WM_CONTEXTMENU",
                 num(menus.size()) + " such windows") &&
      menus.empty())
    return;
  const RECT r = window_rect(menus.front());
  res.check(r.left == at.x && r.top == at.y, "menu.at_point",
            "top-left corner (" + num(at.x) + "," + num(at.y) + "), the message's point", rect_str(r));
  // The menu's own loop takes the key from the thread's queue, whichever window it is for.
  PostMessageA(inst.bar, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  for (DWORD start = GetTickCount(); !menus.empty() && GetTickCount() - start < 5000;) {
    Sleep(100);
    menus = visible_menus(pid);
  }
  res.check(menus.empty(), "menu.closed_by_esc", "no visible menu within 5 s of Esc", num(menus.size()) + " menus");
  DWORD_PTR ignored = 0;
  res.check(send(inst.bar, WM_NULL, 0, 0, &ignored), "menu.bar_answers", "the bar answering WM_NULL", "no answer");
}

// Minimize-all with the button, over windows of every kind; the exclusion list (nonapp.dat) holds
// kKeepTitle. Also the context menu: it shows where asked, and Esc closes it.
int cmd_minimize_all(const std::string &exe) {
  Results res;
  const std::vector<WindowSpec> specs = {
      {"a", "Velkin test A", true, -1},
      {"b", "Velkin test B", true, -1},
      {"cp932", "テスト ウィンドウ 表示", true, -1},
      {"excluded", kKeepTitle, true, -1},
      {"case", "velkin keep me", true, -1},        // only a case apart from an excluded title
      {"longer", "Velkin keep me too", true, -1},  // an excluded title with more after it
      {"owned", "Velkin test owned", true, 0},     // owned by "Velkin test A"
      {"hidden", "Velkin test hidden", false, -1},
      {"untitled", "", true, -1},
      {"progman", "Program Manager", true, -1},
  };
  WindowThread windows;
  std::string error;
  if (!res.check(windows.start(specs, &error), "minimize.windows", "the driver's windows", error)) return res.finish();
  check_windows_made(res, "minimize", windows, specs);
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "minimize", boxes);
  if (res.check(up, "minimize.found", "the bar within 20 s", inst.error)) {
    check_context_menu(res, inst);
    check_minimize_all(res, "minimize", inst.bar, windows, {"a", "b", "cp932", "case", "longer"},
                       {"excluded", "owned", "hidden", "untitled", "progman"}, true);
    HWND hidden = windows.window("hidden");
    res.check(!IsWindowVisible(hidden), "minimize.hidden_stays_hidden", "window \"Velkin test hidden\" still hidden",
              window_state(hidden));
    exit_and_check(res, inst, "minimize.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// Windows whose titles the program could mistake for others': an excluded title above a title
// only a case apart from it, a hidden window above a shown one of the same title, and two shown
// windows of one title. The exclusion list (nonapp.dat) holds kKeepTitle. Every shown window but
// the excluded one is minimized; the excluded one and the hidden one are left as they are.
int cmd_minimize_lookalikes(const std::string &exe) {
  Results res;
  const std::vector<WindowSpec> specs = {
      {"case", "velkin keep me", true, -1},
      {"excluded", kKeepTitle, true, -1},  // made later: above "velkin keep me"
      {"twin", "Velkin twin", true, -1},
      {"twin_hidden", "Velkin twin", false, -1, true},
      {"pair1", "Velkin pair", true, -1},
      {"pair2", "Velkin pair", true, -1},
  };
  WindowThread windows;
  std::string error;
  if (!res.check(windows.start(specs, &error), "lookalikes.windows", "the driver's windows", error))
    return res.finish();
  check_windows_made(res, "lookalikes", windows, specs);
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "lookalikes", boxes);
  if (res.check(up, "lookalikes.found", "the bar within 20 s", inst.error)) {
    check_minimize_all(res, "lookalikes", inst.bar, windows, {"case", "twin", "pair1", "pair2"},
                       {"excluded", "twin_hidden"}, true);
    HWND hidden = windows.window("twin_hidden");
    res.check(!IsWindowVisible(hidden), "lookalikes.hidden_stays_hidden",
              "the hidden window \"Velkin twin\" still hidden", window_state(hidden));
    exit_and_check(res, inst, "lookalikes.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// The exclusion list edited through its dialogs: the picker's entries, "キャンセル" adding
// nothing, a title picked and added in the list box's order, "閉じる" keeping it; minimize-all
// passing over it; the exit saving the list in that order.
int cmd_exclusions_edit(const std::string &exe) {
  Results res;
  const std::vector<WindowSpec> specs = {
      {"pick", kPickTitle, true, -1},
      {"other", kOtherTitle, true, -1},
      {"keep", kKeepTitle, true, -1},
      {"owned", "Velkin owned", true, 1},  // owned by kOtherTitle
      {"hidden", "Velkin hidden", false, -1},
  };
  WindowThread windows;
  std::string error;
  if (!res.check(windows.start(specs, &error), "edit.windows", "the driver's windows", error)) return res.finish();
  check_windows_made(res, "edit", windows, specs);
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "edit", boxes);
  std::vector<std::string> kept;  // the list box's entries when "閉じる" was clicked
  if (res.check(up, "edit.found", "the bar within 20 s", inst.error)) {
    if (HWND dialog = open_exclusions(res, "edit.dialog", inst.bar)) {
      check_text(res, "edit.dialog.ctl1016.text", GetDlgItem(dialog, kAddButtonId), "追加(&A)");
      check_text(res, "edit.dialog.ctl1017.text", GetDlgItem(dialog, kDeleteButtonId), "削除(&D)");
      check_text(res, "edit.dialog.ctl1018.text", GetDlgItem(dialog, kCloseListButtonId), "閉じる");
      check_list(res, "edit.dialog.stored", dialog, kStoredSorted);

      // The picker lists every window minimize-all would look at, excluded or not.
      if (HWND picker = open_picker(res, "edit.picker", dialog)) {
        check_text(res, "edit.picker.ctl1017.text", GetDlgItem(picker, kSelectButtonId), "選択");
        check_text(res, "edit.picker.ctl1018.text", GetDlgItem(picker, kPickCancelButtonId), "キャンセル");
        std::vector<std::string> items;
        std::string why;
        const bool have = list_items(GetDlgItem(picker, kTitleListId), &items, &why);
        const std::vector<std::string> want = candidate_titles();
        out("note: the picker lists " + (have ? list_str(items) : why));
        res.check(have && sorted(items) == sorted(want), "edit.picker.entries",
                  list_str(want) + " in any order, the driver's walk", have ? list_str(items) : why);
        res.check(have && contains(items, kPickTitle) && contains(items, kOtherTitle) && contains(items, kKeepTitle) &&
                      !contains(items, "Velkin owned") && !contains(items, "Velkin hidden"),
                  "edit.picker.own_windows",
                  "\"Velkin pick me\", \"Velkin other\" and the excluded \"Velkin keep me\"; not \"Velkin owned\" or "
                  "\"Velkin hidden\"",
                  have ? list_str(items) : why);
        click(picker, kPickCancelButtonId);
        if (close_dialog(res, "edit.picker.cancel_closed", picker, "clicking ctl" + num(kPickCancelButtonId)))
          check_list(res, "edit.dialog.cancel_adds_nothing", dialog, kStoredSorted);
      }
      if (HWND picker = open_picker(res, "edit.picker_again", dialog))
        if (pick(res, "edit.picker_again", picker, kPickTitle))
          check_list(res, "edit.dialog.added", dialog, kEditedSorted, &kept);
      click(dialog, kCloseListButtonId);
      close_dialog(res, "edit.dialog.closed", dialog, "clicking ctl" + num(kCloseListButtonId));
    }
    check_minimize_all(res, "edit.minimize", inst.bar, windows, {"other"}, {"pick", "keep"}, true);
    exit_and_check(res, inst, "edit.exit");
    if (!kept.empty()) check_saved_list(res, "edit.saved_as_listed", inst, kept);
  }
  inst.kill_if_running();
  return res.finish();
}

// The list saved by exclusions-edit back after a start. A deletion dropped with Esc, another
// with the close box; minimize-all (the menu command) passing over the titles throughout.
int cmd_exclusions_back(const std::string &exe) {
  Results res;
  const std::vector<WindowSpec> specs = {{"pick", kPickTitle, true, -1}, {"other", kOtherTitle, true, -1}};
  WindowThread windows;
  std::string error;
  if (!res.check(windows.start(specs, &error), "back.windows", "the driver's windows", error)) return res.finish();
  check_windows_made(res, "back", windows, specs);
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "back", boxes);
  if (res.check(up, "back.found", "the bar within 20 s", inst.error)) {
    if (HWND dialog = open_exclusions(res, "back.dialog", inst.bar)) {
      check_list(res, "back.dialog.restored", dialog, kEditedSorted);
      if (select_title(res, "back.dialog.delete", dialog, kPickTitle) >= 0) {
        click(dialog, kDeleteButtonId);
        check_list(res, "back.dialog.deleted", dialog, kStoredSorted);
      }
      // Esc, as a key pressed in the list box: the dialog's own handling makes it IDCANCEL.
      PostMessageA(GetDlgItem(dialog, kTitleListId), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      close_dialog(res, "back.dialog.escaped", dialog, "Esc");
    }
    check_minimize_all(res, "back.minimize", inst.bar, windows, {"other"}, {"pick"}, false);
    if (HWND dialog = open_exclusions(res, "back.dialog_again", inst.bar)) {
      check_list(res, "back.dialog_again.esc_dropped", dialog, kEditedSorted);
      // The CP932 title this time.
      if (select_title(res, "back.dialog_again.delete", dialog, kStoredSorted.back()) >= 0) {
        click(dialog, kDeleteButtonId);
        std::vector<std::string> fewer = kEditedSorted;
        fewer.pop_back();
        check_list(res, "back.dialog_again.deleted", dialog, fewer);
      }
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      close_dialog(res, "back.dialog_again.close_box", dialog, "SC_CLOSE");
    }
    if (HWND dialog = open_exclusions(res, "back.dialog_third", inst.bar)) {
      check_list(res, "back.dialog_third.close_box_dropped", dialog, kEditedSorted);
      click(dialog, kCloseListButtonId);
      close_dialog(res, "back.dialog_third.closed", dialog, "clicking ctl" + num(kCloseListButtonId));
    }
    exit_and_check(res, inst, "back.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// A full list of 20 titles: a 21st picked gives the warning and is not added.
int cmd_exclusions_full(const std::string &exe) {
  Results res;
  const std::vector<WindowSpec> specs = {{"pick", kPickTitle, true, -1}};
  WindowThread windows;
  std::string error;
  if (!res.check(windows.start(specs, &error), "full.windows", "the driver's windows", error)) return res.finish();
  Instance inst;
  inst.in_own_folder = false;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "full", boxes);
  if (res.check(up, "full.found", "the bar within 20 s", inst.error)) {
    if (HWND dialog = open_exclusions(res, "full.dialog", inst.bar)) {
      check_list(res, "full.dialog.stored", dialog, full_list());
      if (HWND picker = open_picker(res, "full.picker", dialog)) {
        if (pick(res, "full.picker", picker, kPickTitle)) {
          HWND box = wait_dialog(inst.pi.dwProcessId, kWarningCaption);
          if (res.check(box != nullptr, "full.warning.shown",
                        "a box captioned " + text_str(kWarningCaption) + " within 5 s of picking a 21st title", "none")) {
            check_text(res, "full.warning.text", GetDlgItem(box, kBoxTextId), kFullListText);
            HWND owner = GetWindow(box, GW_OWNER);
            out("note: the warning's owner is " + std::string(owner == dialog ? "the exclusion list's dialog" : hex((uintptr_t)owner)));
            out("note: the warning shows the " + box_icon(box) + " icon");
            click(box, IDOK);
            close_dialog(res, "full.warning.closed", box, "clicking OK");
          }
          check_list(res, "full.dialog.unchanged", dialog, full_list());
        }
      }
      click(dialog, kCloseListButtonId);
      close_dialog(res, "full.dialog.closed", dialog, "clicking ctl" + num(kCloseListButtonId));
    }
    exit_and_check(res, inst, "full.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// ---------------------------------------------------------------------------------------------
// launch and exit

int cmd_launch(const std::string &exe) {
  Instance inst;
  if (!inst.start(exe) || !inst.wait_for_bar(20000)) {
    err("launch: " + inst.error);
    return 1;
  }
  RECT r = window_rect(inst.bar);
  out(num(r.left) + " " + num(r.top) + " " + num(r.right) + " " + num(r.bottom));
  return 0;  // the program keeps running
}

int cmd_exit() {
  Results res;
  std::vector<HWND> bars = find_bars(0, true);
  if (!res.check(bars.size() == 1, "exit.found", "one running bar", num(bars.size()) + " bars") && bars.empty())
    return res.finish();
  HWND bar = bars.front();
  DWORD pid = window_pid(bar);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!res.check(process != nullptr, "exit.open_process", "a handle to process " + num(pid),
                 "OpenProcess error " + num(GetLastError())))
    return res.finish();
  // Press the button the way a click does: the button tells the bar through WM_COMMAND.
  PostMessageA(GetDlgItem(bar, kExitButton), BM_CLICK, 0, 0);
  bool ended = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
  res.check(ended, "exit.process_ended", "the program to end within 10 s after its exit button", "it still runs");
  res.check(!IsWindow(bar), "exit.window_gone", "no bar window", "window " + hex((uintptr_t)bar) + " still exists");
  CloseHandle(process);
  return res.finish();
}


// ---------------------------------------------------------------------------------------------
// Under a personality (tests/personality/run.sh): the program meets one Windows through the
// layer the launcher puts into it; the figures it shows are the ones run.sh scripted.

const UINT kStatisticsMessage = RegisterWindowMessageA("VelkinStatistics");
const WPARAM kTicksQuery = 1;

// "4.0.950" into its three numbers.
bool parse_version(const std::string &text, DWORD *major, DWORD *minor, DWORD *build) {
  return sscanf(text.c_str(), "%lu.%lu.%lu", major, minor, build) == 3;
}

// The refresh ticks the bar has made; false when it does not answer within 5 s.
bool bar_ticks(HWND bar, DWORD_PTR *ticks) { return send(bar, kStatisticsMessage, kTicksQuery, 0, ticks); }

// Checks a readout's text, waiting up to the refresh wait for it to settle.
void check_readout(Results &res, const std::string &name, HWND bar, int id, const std::string &expected) {
  std::string text;
  for (DWORD start = GetTickCount(); GetTickCount() - start < kRefreshWaitMs; Sleep(100))
    if (get_text(GetDlgItem(bar, id), &text) && text == expected) break;
  res.check(text == expected, name, text_str(expected), text_str(text));
}

// Start-up as the personality's Windows: the buttons and the version dialog its version gives,
// the scripted drive, memory and resources figures as its calls give them, suspend pressed where
// offered; the interval read back from the last save, another chosen, and the exit button.
int cmd_persona_readouts(const std::string &exe, const std::string &version, int interval_now, int interval_next,
                         const std::string &resources, const std::string &free_space, const std::string &total,
                         const std::string &memory) {
  Results res;
  DWORD major = 0, minor = 0, build = 0;
  if (!res.check(parse_version(version, &major, &minor, &build), "persona.version", "MAJOR.MINOR.BUILD", version))
    return res.finish();
  const VersionTexts expected = version_texts(major, minor, build);
  Instance inst;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "persona", boxes);
  if (res.check(up, "persona.found", "the bar within 20 s", inst.error)) {
    check_buttons(res, inst.bar, expected.suspend);
    check_readout(res, "persona.resources", inst.bar, kResourcesReadout, resources);
    check_readout(res, "persona.free", inst.bar, kFreeReadout, free_space + " Bytes");
    check_readout(res, "persona.total", inst.bar, kTotalReadout, total + " Bytes");
    check_readout(res, "persona.memory", inst.bar, kMemoryReadout, memory + " Bytes");
    check_selected(res, "persona.interval_read_back", inst.bar, kIntervalSelector, interval_now);
    check_version_dialog(res, inst, expected);
    if (expected.suspend) {
      PostMessageA(GetDlgItem(inst.bar, kSuspendButton), BM_CLICK, 0, 0);
      DWORD_PTR ticks = 0;
      res.check(bar_ticks(inst.bar, &ticks), "persona.after_suspend", "the bar answering after suspend", "no answer");
    }
    res.check(select_entry(inst.bar, kIntervalSelector, interval_next), "persona.select_interval",
              "CB_SETCURSEL " + num(interval_next) + " and CBN_SELCHANGE posted", "no");
    check_selected(res, "persona.interval_selected", inst.bar, kIntervalSelector, interval_next);
    exit_and_check(res, inst, "persona.exit");
  }
  inst.kill_if_running();
  return res.finish();
}

// A session command under the personality: the interval read back from the last save, the
// button pressed, then either the program ends with the session ("ends") or, the end refused
// after the request, the bar goes on refreshing and its exit button still ends it ("refreshes").
int cmd_persona_session(const std::string &exe, int button, int interval_now, const std::string &outcome) {
  Results res;
  Instance inst;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  check_no_box(res, "persona_session", boxes);
  if (res.check(up, "persona_session.found", "the bar within 20 s", inst.error)) {
    check_selected(res, "persona_session.interval_read_back", inst.bar, kIntervalSelector, interval_now);
    PostMessageA(GetDlgItem(inst.bar, button), BM_CLICK, 0, 0);
    if (outcome == "ends") {
      const bool ended = WaitForSingleObject(inst.pi.hProcess, 30000) == WAIT_OBJECT_0;
      res.check(ended, "persona_session.process_ended",
                "the program to end with the session within 30 s after button " + num(button), "it still runs");
    } else {
      Sleep(1500);  // the request made and answered
      DWORD_PTR before = 0, after = 0;
      const bool first = bar_ticks(inst.bar, &before);
      Sleep(3000);
      const bool second = first && bar_ticks(inst.bar, &after);
      res.check(second && after >= before + 2, "persona_session.refreshing",
                "two or more refresh ticks in 3 s after the refused end",
                second ? num((unsigned long long)(after - before)) + " ticks" : "no answer from the bar");
      exit_and_check(res, inst, "persona_session.exit");
    }
  }
  inst.kill_if_running();
  return res.finish();
}

// Memory runs out (the layer's allocations fail once its event is set) while the bar runs: one
// box says so; while it is up the bar takes no message (no refresh, no session end that could
// save half-made state) and no second box comes; OK ends the program with code 3.
int cmd_persona_no_memory(const std::string &exe) {
  Results res;
  Instance inst;
  std::vector<SeenBox> boxes;
  const bool up = start_noting_boxes(inst, exe, 0, &boxes);
  if (res.check(up, "no_memory.found", "the bar within 20 s", inst.error)) {
    HANDLE no_memory = OpenEventA(EVENT_MODIFY_STATE, FALSE, "VelkinPersonalityNoMemory");
    if (res.check(no_memory != nullptr, "no_memory.event", "the layer's event", "error " + num(GetLastError()))) {
      SetEvent(no_memory);
      CloseHandle(no_memory);
      PostMessageA(inst.bar, WM_COMMAND, kVersionCommand, 0);  // the dialog's texts need memory
      std::vector<HWND> shown;
      for (DWORD start = GetTickCount(); shown.empty() && GetTickCount() - start < 10000; Sleep(100))
        shown = process_dialogs(inst.pi.dwProcessId, "Velkin");
      if (res.check(shown.size() == 1, "no_memory.box", "one box captioned \"Velkin\" within 10 s",
                    num(shown.size()) + " boxes")) {
        check_text(res, "no_memory.text", GetDlgItem(shown.front(), kBoxTextId),
                   "メモリが足りないため、Velkinを終了します。");
        DWORD_PTR answer = 0;
        const bool ticks = SendMessageTimeoutA(inst.bar, kStatisticsMessage, kTicksQuery, 0, SMTO_ABORTIFHUNG,
                                               2000, &answer) != 0;
        res.check(!ticks, "no_memory.no_refresh", "no answer from the bar while the box is up",
                  "it answered: " + num((unsigned long long)answer) + " ticks");
        const bool ending = SendMessageTimeoutA(inst.bar, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                                &answer) != 0;
        res.check(!ending, "no_memory.no_session_end", "WM_QUERYENDSESSION not taken while the box is up",
                  "the bar answered it");
        Sleep(1000);
        shown = process_dialogs(inst.pi.dwProcessId, "Velkin");
        res.check(shown.size() == 1, "no_memory.one_box", "still one box", num(shown.size()) + " boxes");
        if (!shown.empty()) PostMessageA(GetDlgItem(shown.front(), IDOK), BM_CLICK, 0, 0);
        const bool ended = WaitForSingleObject(inst.pi.hProcess, 10000) == WAIT_OBJECT_0;
        DWORD code = 0;
        GetExitCodeProcess(inst.pi.hProcess, &code);
        res.check(ended && code == 3, "no_memory.ended", "the program ended with code 3 after OK",
                  ended ? "code " + hex(code) : "it still runs");
      }
    }
  }
  inst.kill_if_running();
  return res.finish();
}

int usage() {
  err("usage: velkin-driver check-bar VELKIN_EXE | check-readouts VELKIN_EXE C_TOTAL C_FREE MEMORY |"
      " check-version VELKIN_EXE win95|win98|win7 | launch VELKIN_EXE | exit | first-start VELKIN_EXE |"
      " change-settings VELKIN_EXE | check-restored VELKIN_EXE |"
      " check-warning VELKIN_EXE interval|drive INTERVAL_POS DRIVE_POS | start-exit VELKIN_EXE |"
      " minimize-all VELKIN_EXE | minimize-lookalikes VELKIN_EXE | exclusions-edit VELKIN_EXE | exclusions-back VELKIN_EXE |"
      " exclusions-full VELKIN_EXE | end-session VELKIN_EXE BUTTON_ID | end-session-at-welcome VELKIN_EXE | close-at-welcome VELKIN_EXE |"
      " persona-readouts VELKIN_EXE VERSION INTERVAL_NOW INTERVAL_NEXT RESOURCES FREE TOTAL MEMORY |"
      " persona-session VELKIN_EXE BUTTON_ID INTERVAL_NOW ends|refreshes | persona-no-memory VELKIN_EXE");
  return 2;
}

// A byte count from the command line: decimal digits only.
bool parse_count(const char *text, unsigned long long *n) {
  char *end = nullptr;
  if (!*text || *text < '0' || *text > '9') return false;
  *n = strtoull(text, &end, 10);
  return *end == '\0';
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return usage();
  std::string cmd = argv[1];
  if (cmd == "check-bar" && argc == 3) return cmd_check_bar(argv[2]);
  if (cmd == "check-readouts" && argc == 6) {
    HostFigures host;
    if (!parse_count(argv[3], &host.disk_total) || !parse_count(argv[4], &host.disk_free) ||
        !parse_count(argv[5], &host.memory))
      return usage();
    return cmd_check_readouts(argv[2], host);
  }
  if (cmd == "check-version" && argc == 4) {
    for (const WineVersion &v : kWineVersions)
      if (v.setting == std::string(argv[3])) return cmd_check_version(argv[2], v);
    return usage();
  }
  if (cmd == "launch" && argc == 3) return cmd_launch(argv[2]);
  if (cmd == "exit" && argc == 2) return cmd_exit();
  if (cmd == "first-start" && argc == 3) return cmd_first_start(argv[2]);
  if (cmd == "change-settings" && argc == 3) return cmd_change_settings(argv[2]);
  if (cmd == "check-restored" && argc == 3) return cmd_check_restored(argv[2]);
  if (cmd == "start-exit" && argc == 3) return cmd_start_exit(argv[2]);
  if (cmd == "minimize-all" && argc == 3) return cmd_minimize_all(argv[2]);
  if (cmd == "minimize-lookalikes" && argc == 3) return cmd_minimize_lookalikes(argv[2]);
  if (cmd == "exclusions-edit" && argc == 3) return cmd_exclusions_edit(argv[2]);
  if (cmd == "exclusions-back" && argc == 3) return cmd_exclusions_back(argv[2]);
  if (cmd == "exclusions-full" && argc == 3) return cmd_exclusions_full(argv[2]);
  if (cmd == "end-session-at-welcome" && argc == 3) return cmd_end_session_at_welcome(argv[2]);
  if (cmd == "close-at-welcome" && argc == 3) return cmd_close_at_welcome(argv[2]);
  if (cmd == "end-session" && argc == 4) {
    unsigned long long button = 0;
    if (!parse_count(argv[3], &button)) return usage();
    return cmd_end_session(argv[2], (int)button);
  }
  if (cmd == "persona-readouts" && argc == 10)
    return cmd_persona_readouts(argv[2], argv[3], atoi(argv[4]), atoi(argv[5]), argv[6], argv[7], argv[8], argv[9]);
  if (cmd == "persona-session" && argc == 6) return cmd_persona_session(argv[2], atoi(argv[3]), atoi(argv[4]), argv[5]);
  if (cmd == "persona-no-memory" && argc == 3) return cmd_persona_no_memory(argv[2]);
  if (cmd == "check-warning" && argc == 6) {
    const std::string kind = argv[3];
    unsigned long long interval = 0, drive = 0;
    if ((kind != "interval" && kind != "drive") || !parse_count(argv[4], &interval) || !parse_count(argv[5], &drive))
      return usage();
    return cmd_check_warning(argv[2], kind, (int)interval, (int)drive);
  }
  return usage();
}
