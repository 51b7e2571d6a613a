// Velkin benchmark probe: starts velkin.exe, reads its counters and its object counts from
// outside, and ends it. bench/run.sh builds it and runs it between the measured windows, never
// during one, so its own work is not counted.
//
// Sub-commands (each prints one line of "key value" pairs and exits 0, or a reason and exits 1):
//   probe launch VELKIN_EXE   start the program in its folder, wait for its bar (pressing OK on
//                             the welcome box of a first start), print "pid P bar H" and leave it
//                             running
//   probe sample PID          the bar's counters and the process's object counts:
//                             "ticks T textsets S drive D interval I gdi_api G user_api U
//                              gdi_table N windows W handles H" (D the drive selector's entry,
//                             I the interval selector's index)
//   probe exit PID            press the bar's exit button and wait for the process to end
//                             (WM_CLOSE after 10 s, TerminateProcess after 20 s)
//   probe objects PID         the object counts of any process (the floor, which has no bar)
//   probe selftest            checks each way of counting objects on this very process: creates
//                             ten brushes and three windows and prints what each count saw
//   probe startup EXE N       start-up time: starts the program in its folder N times (after one
//                             run not counted) and times each from just before CreateProcess to
//                             the first poll that finds its bar (as "launch" finds it; bench/
//                             minimal.cpp has the same window) shown at the top edge of the screen
//                             with its readouts 108 and 109 (those it has) set and not showing the
//                             placeholder; polls every millisecond once the process first waits
//                             for input (WaitForInputIdle), then ends it as "exit" does:
//                             "runs N median_ms M min_ms A max_ms B warmup_ms W"
//   probe windows PID CROWD_EXE N REPEATS
//                             the bar's window commands with N other windows: starts bench/
//                             crowd.cpp with N windows, then REPEATS times (after one not counted)
//                             opens the context menu (WM_CONTEXTMENU posted to the bar) and times
//                             it to the popup menu window ("#32768") being visible, then dismisses
//                             it (Escape); then REPEATS times restores the crowd, waits for the
//                             stacking order to hold still (see settle), and times the
//                             minimize-all command (WM_COMMAND 32807 sent to the bar; SendMessage
//                             returns when it is done); then REPEATS times the command's floor:
//                             the probe itself shows each crowd window minimized (the bar's call,
//                             ShowWindow SW_SHOWMINIMIZED, on handles found beforehand: no walk, no
//                             titles); ends the crowd:
//                             "windows N candidates C made_ms T menu_ms M A B minimize_ms M A B
//                              direct_ms M A B restore_ms R minimized K minimize_each X,Y,..
//                              direct_each X,Y,.."
//                             (median, min, max; C the windows the bar's walk counts, T how long
//                             the crowd took to make them, R the median restore of the crowd, K
//                             the fewest crowd windows that one of the bar's commands left
//                             minimized: N when none was missed)
//
// Object counts, and why there are three:
//   gdi_api, user_api  GetGuiResources(GR_GDIOBJECTS / GR_USEROBJECTS). Wine 8 has it as a stub
//                      that answers 0, so the selftest says whether it counts here.
//   gdi_table          the entries in use in the process's GDI handle table, read from the
//                      process with ReadProcessMemory: the PEB's GdiSharedHandleTable points at
//                      65536 entries of 24 bytes; an entry in use has a non-zero type byte. Wine
//                      keeps this table per process, stock objects included.
//   windows            the process's windows, top-level and children (EnumWindows and
//                      EnumChildWindows by process id): the USER objects that can be counted from
//                      outside under Wine (menus, icons and cursors cannot).
//   handles            the process's kernel handles, counted in the system's handle list
//                      (NtQuerySystemInformation, SystemHandleInformation); GetProcessHandleCount
//                      answers 0 under Wine 8.

#include <windows.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../tests/e2e/window_reading.h"

namespace {

const int kExitButtonId = 118;
const int kIntervalComboId = 114;
const int kDriveComboId = 115;
const char *const kWelcomeCaption = "Welcome to Velkin!";

bool get_text(HWND h, std::string *text) {
  char buf[512] = "";
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 5000, &len)) return false;
  text->assign(buf, len < sizeof buf ? len : sizeof buf - 1);
  return true;
}

// The bar: a visible untitled top-level window of the process with the exit button as a child.
HWND find_bar(DWORD pid) {
  std::vector<HWND> bars = top_windows([&](HWND h) {
    return window_pid(h) == pid && IsWindowVisible(h) && GetWindowTextLengthA(h) == 0 &&
           GetDlgItem(h, kExitButtonId) != nullptr;
  });
  return bars.empty() ? nullptr : bars.front();
}

HWND find_welcome(DWORD pid) {
  std::vector<HWND> boxes = top_windows([&](HWND h) {
    std::string text;
    return window_pid(h) == pid && IsWindowVisible(h) && class_name(h) == "#32770" && get_text(h, &text) &&
           text == kWelcomeCaption;
  });
  return boxes.empty() ? nullptr : boxes.front();
}

// ---------------------------------------------------------------------------------------------
// Object counts

struct GdiHandleEntry {  // one entry of the GDI handle table, 64-bit layout
  uint64_t object;
  uint32_t owner;
  uint16_t unique;
  uint8_t type;
  uint8_t flags;
  uint64_t user_pointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle entry is 24 bytes");
const size_t kGdiHandleCount = 0x10000;
const size_t kPebGdiSharedHandleTable = 0xF8;  // offset in the 64-bit PEB

using NtQueryInformationProcessFn = LONG(WINAPI *)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// Entries in use in the process's GDI handle table; -1 when the table cannot be read.
long gdi_table_count(HANDLE process) {
  static const auto query = (NtQueryInformationProcessFn)(void (*)())GetProcAddress(
      GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
  if (!query) return -1;
  PROCESS_BASIC_INFORMATION info = {};
  if (query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0 || !info.PebBaseAddress)
    return -1;
  uint64_t table = 0;
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, (const char *)info.PebBaseAddress + kPebGdiSharedHandleTable, &table,
                         sizeof table, &got) ||
      got != sizeof table || table == 0)
    return -1;
  std::vector<GdiHandleEntry> entries(kGdiHandleCount);
  if (!ReadProcessMemory(process, (const void *)(uintptr_t)table, entries.data(),
                         entries.size() * sizeof(GdiHandleEntry), &got) ||
      got != entries.size() * sizeof(GdiHandleEntry))
    return -1;
  long used = 0;
  for (const GdiHandleEntry &e : entries) used += e.type != 0;
  return used;
}

struct SystemHandleEntry {  // SYSTEM_HANDLE_ENTRY
  ULONG owner_pid;
  BYTE object_type;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
using NtQuerySystemInformationFn = LONG(WINAPI *)(ULONG, PVOID, ULONG, PULONG);

// The process's kernel handles in the system's handle list; -1 when the list cannot be had.
long handle_count(DWORD pid) {
  static const auto query = (NtQuerySystemInformationFn)(void (*)())GetProcAddress(
      GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
  if (!query) return -1;
  std::vector<char> buf(1 << 20);
  for (int tries = 0; tries < 6; ++tries) {
    ULONG needed = 0;
    const LONG status = query(16 /* SystemHandleInformation */, buf.data(), (ULONG)buf.size(), &needed);
    if (status == 0) {
      const ULONG count = *(const ULONG *)buf.data();
      const SystemHandleEntry *e = (const SystemHandleEntry *)(buf.data() + sizeof(ULONG_PTR));
      long n = 0;
      for (ULONG i = 0; i < count; ++i) n += e[i].owner_pid == pid;
      return n;
    }
    if (status != (LONG)0xC0000004 /* STATUS_INFO_LENGTH_MISMATCH */) return -1;
    buf.resize(needed > buf.size() ? needed + 65536 : buf.size() * 2);
  }
  return -1;
}

// The process's windows: top-level ones (visible or not) and all their descendants.
long window_count(DWORD pid) {
  std::vector<HWND> tops = top_windows([&](HWND h) { return window_pid(h) == pid; });
  long n = (long)tops.size();
  for (HWND top : tops)
    EnumChildWindows(
        top, [](HWND, LPARAM lp) -> BOOL { ++*(long *)lp; return TRUE; }, (LPARAM)&n);
  return n;
}

std::string object_counts(HANDLE process, DWORD pid) {
  char buf[256];
  snprintf(buf, sizeof buf, "gdi_api %lu user_api %lu gdi_table %ld windows %ld handles %ld",
           (unsigned long)GetGuiResources(process, GR_GDIOBJECTS),
           (unsigned long)GetGuiResources(process, GR_USEROBJECTS), gdi_table_count(process), window_count(pid),
           handle_count(pid));
  return buf;
}

HANDLE open_process(DWORD pid) {
  return OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
}

int fail(const std::string &why) {
  printf("error %s\n", why.c_str());
  fflush(stdout);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Sub-commands

int cmd_launch(const char *exe) {
  char full[MAX_PATH];
  char *file_part = nullptr;
  if (!GetFullPathNameA(exe, sizeof full, full, &file_part) || !file_part) return fail("cannot resolve path");
  std::string dir(full, file_part - full);
  std::string cmdline = "\"" + std::string(full) + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(full, &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
    return fail("CreateProcess error " + std::to_string(GetLastError()));
  bool welcomed = false;
  for (DWORD start = GetTickCount();; Sleep(50)) {
    if (HWND bar = find_bar(pi.dwProcessId)) {
      printf("pid %lu bar %llu%s\n", (unsigned long)pi.dwProcessId, (unsigned long long)(uintptr_t)bar,
             welcomed ? " welcomed 1" : "");
      fflush(stdout);
      return 0;
    }
    if (!welcomed) {
      if (HWND box = find_welcome(pi.dwProcessId)) {
        HWND ok = GetDlgItem(box, IDOK);
        if (!ok) ok = GetDlgItem(box, IDCANCEL);
        if (ok) PostMessageA(ok, BM_CLICK, 0, 0);
        welcomed = true;
      }
    }
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) return fail("the program ended early");
    if (GetTickCount() - start > 30000) return fail("no bar within 30 s");
  }
}

// A selector's selection: its entry's text (ASCII, asked in UTF-16 as Wine hands it across
// processes) or its index.
std::string selection(HWND combo, bool text) {
  DWORD_PTR index = 0, copied = 0;
  if (!combo || !SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &index)) return "?";
  if (!text) return std::to_string((long)(LRESULT)index);
  wchar_t buf[256] = L"";
  if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, index, (LPARAM)buf, SMTO_ABORTIFHUNG, 5000, &copied)) return "?";
  std::string s;
  for (const wchar_t *p = buf; *p && s.size() < 64; ++p) s += (*p > 32 && *p < 127) ? (char)*p : '_';
  return s.empty() ? "?" : s;
}

int cmd_sample(DWORD pid) {
  HWND bar = find_bar(pid);
  if (!bar) return fail("no bar");
  HANDLE process = open_process(pid);
  if (!process) return fail("OpenProcess error " + std::to_string(GetLastError()));
  const UINT statistics = RegisterWindowMessageA("VelkinStatistics");
  DWORD_PTR sets = 0, ticks = 0;
  if (!SendMessageTimeoutA(bar, statistics, 0, 0, SMTO_ABORTIFHUNG, 5000, &sets) ||
      !SendMessageTimeoutA(bar, statistics, 1, 0, SMTO_ABORTIFHUNG, 5000, &ticks))
    return fail("no answer to the statistics message");
  printf("ticks %llu textsets %llu drive %s interval %ld %s\n", (unsigned long long)ticks,
         (unsigned long long)sets, selection(GetDlgItem(bar, kDriveComboId), true).c_str(),
         atol(selection(GetDlgItem(bar, kIntervalComboId), false).c_str()), object_counts(process, pid).c_str());
  fflush(stdout);
  CloseHandle(process);
  return 0;
}

int cmd_objects(DWORD pid) {
  HANDLE process = open_process(pid);
  if (!process) return fail("OpenProcess error " + std::to_string(GetLastError()));
  printf("%s\n", object_counts(process, pid).c_str());
  fflush(stdout);
  CloseHandle(process);
  return 0;
}

// Presses the bar's exit button and waits for the process to end (WM_CLOSE after 10 s,
// TerminateProcess after 20 s); prints how it ended when `say`, and why it had to be killed.
int end_process(HANDLE process, DWORD pid, bool say) {
  HWND bar = find_bar(pid);
  if (bar) PostMessageA(GetDlgItem(bar, kExitButtonId), BM_CLICK, 0, 0);
  if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0) {
    if (say) printf("exited button\n");
    return 0;
  }
  if (bar) PostMessageA(bar, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0) {
    if (say) printf("exited close\n");
    return 0;
  }
  TerminateProcess(process, 99);
  WaitForSingleObject(process, 5000);
  return fail("had to terminate it");
}

int cmd_exit(DWORD pid) {
  HANDLE process = open_process(pid);
  if (!process) return fail("OpenProcess error " + std::to_string(GetLastError()));
  return end_process(process, pid, true);
}

// ---------------------------------------------------------------------------------------------
// Start-up time and the window commands

double now_ms() {
  static LARGE_INTEGER frequency = {};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

struct Figures {
  double median, min, max;
};

Figures figures(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  return {median, v.front(), v.back()};
}

// A window's text as the system holds it: for another process's window this asks the window
// manager, not the window (no message reaches the program).
std::string held_text(HWND h) {
  wchar_t buf[128] = L"";
  const int n = GetWindowTextW(h, buf, 128);
  std::string s;
  for (int i = 0; i < n; ++i) s += (buf[i] > 32 && buf[i] < 127) ? (char)buf[i] : '_';
  return s;
}

// The bar is up: shown, at the top edge, its readouts 108 and 109 (those it has; one at least)
// set and not the placeholder "XXXXXXXXXX MBytes".
bool bar_ready(DWORD pid) {
  HWND bar = find_bar(pid);
  if (!bar) return false;
  RECT r;
  if (!GetWindowRect(bar, &r) || r.top != 0) return false;
  int readouts = 0;
  for (int id : {108, 109}) {
    HWND h = GetDlgItem(bar, id);
    if (!h) continue;
    const std::string text = held_text(h);
    if (text.empty() || text.find("XXXXXXXXXX") != std::string::npos) return false;
    ++readouts;
  }
  return readouts > 0;
}

// Starts the program in its folder and waits for its bar; the milliseconds from just before
// CreateProcess to the poll that saw it ready, or a negative number. Leaves it running.
double time_start(const std::string &full, const std::string &dir, PROCESS_INFORMATION *pi, std::string *why) {
  std::string cmdline = "\"" + full + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  const double t0 = now_ms();
  if (!CreateProcessA(full.c_str(), &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, pi)) {
    *why = "CreateProcess error " + std::to_string(GetLastError());
    return -1;
  }
  // No polling while the process loads: each poll asks the Wine server about every top-level
  // window, and the server is what a starting process needs most.
  WaitForInputIdle(pi->hProcess, 30000);
  for (;;) {
    if (bar_ready(pi->dwProcessId)) return now_ms() - t0;
    DWORD code = 0;
    if (GetExitCodeProcess(pi->hProcess, &code) && code != STILL_ACTIVE) {
      *why = "the program ended early";
      return -1;
    }
    if (now_ms() - t0 > 30000) {
      *why = "no bar within 30 s";
      return -1;
    }
    Sleep(1);
  }
}

int cmd_startup(const char *exe, int runs) {
  char full[MAX_PATH];
  char *file_part = nullptr;
  if (!GetFullPathNameA(exe, sizeof full, full, &file_part) || !file_part) return fail("cannot resolve path");
  const std::string dir(full, file_part - full);
  std::vector<double> times;
  double warmup = 0;
  for (int i = 0; i <= runs; ++i) {
    PROCESS_INFORMATION pi = {};
    std::string why;
    const double ms = time_start(full, dir, &pi, &why);
    if (ms < 0) {
      if (pi.hProcess) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
      }
      return fail(why + " (run " + std::to_string(i) + ")");
    }
    // Out of the way before the next start: the exit button, as a user ends it.
    if (end_process(pi.hProcess, pi.dwProcessId, false) != 0) return 1;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (i == 0) warmup = ms;
    else times.push_back(ms);
  }
  const Figures f = figures(times);
  printf("runs %d median_ms %.1f min_ms %.1f max_ms %.1f warmup_ms %.1f\n", runs, f.median, f.min, f.max, warmup);
  fflush(stdout);
  return 0;
}

// The windows the bar's walk counts (src/windows/window_walk.cpp): visible, titled, no owner,
// not "Program Manager"; no exclusion list (the benchmark's bar has none).
long count_candidates() {
  return (long)top_windows([](HWND h) {
    if (!IsWindowVisible(h) || GetParent(h) != nullptr) return false;
    char title[64] = "";
    return GetWindowTextA(h, title, sizeof title) > 0 && strcmp(title, "Program Manager") != 0;
  }).size();
}

// The bar's popup menu window, when one of the bar's process is visible.
HWND visible_menu(DWORD pid) {
  for (HWND h = FindWindowExA(nullptr, nullptr, "#32768", nullptr); h; h = FindWindowExA(nullptr, h, "#32768", nullptr))
    if (window_pid(h) == pid && IsWindowVisible(h)) return h;
  return nullptr;
}

// The top-level windows in their stacking order, as a GetWindow walk (the bar's) meets them.
std::vector<HWND> stacking() {
  std::vector<HWND> order;
  for (HWND h = GetWindow(GetDesktopWindow(), GW_CHILD); h && order.size() < 1000000; h = GetWindow(h, GW_HWNDNEXT))
    order.push_back(h);
  return order;
}

// Waits (up to 20 s) until the stacking order holds still for 100 ms. Right after the crowd is
// made or restored, its thread goes on taking the X server's answers for a while and they
// restack its windows: a walk meanwhile meets some windows twice and misses others (seen with
// 1,000 windows: 791 to 1,251 met), and so does the bar's minimize-all. Timing that would time
// a command that did not do its work.
void settle() {
  std::vector<HWND> before = stacking();
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
    Sleep(100);
    std::vector<HWND> now = stacking();
    if (now == before) return;
    before.swap(now);
  }
}

int cmd_windows(DWORD pid, const char *crowd_exe, long n, int repeats) {
  HWND bar = find_bar(pid);
  if (!bar) return fail("no bar");
  std::string cmdline = "\"" + std::string(crowd_exe) + "\" " + std::to_string(n);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION crowd = {};
  if (!CreateProcessA(crowd_exe, &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &crowd))
    return fail("cannot start the crowd: error " + std::to_string(GetLastError()));
  HWND control = nullptr;
  for (DWORD start = GetTickCount(); !control; Sleep(20)) {
    control = FindWindowExA(HWND_MESSAGE, nullptr, "VelkinCrowdControl", nullptr);
    DWORD code = 0;
    if (GetExitCodeProcess(crowd.hProcess, &code) && code != STILL_ACTIVE) return fail("the crowd ended early");
    if (GetTickCount() - start > 300000) return fail("no crowd within 300 s");
  }
  auto ask = [&](UINT message) -> long {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(control, message, 0, 0, SMTO_NORMAL, 600000, &answer)) return -1;
    return (long)answer;
  };
  if (ask(WM_APP) != n) return fail("the crowd has " + std::to_string(ask(WM_APP)) + " windows");
  settle();
  const long candidates = count_candidates();
  std::string why;

  // The context menu, the crowd as it was made.
  std::vector<double> menu;
  for (int i = 0; i <= repeats && why.empty(); ++i) {
    const double t0 = now_ms();
    PostMessageA(bar, WM_CONTEXTMENU, (WPARAM)bar, MAKELPARAM(200, 20));
    HWND popup = nullptr;
    while (!(popup = visible_menu(pid)) && now_ms() - t0 < 30000) Sleep(1);
    const double ms = now_ms() - t0;
    if (!popup) {
      why = "no menu within 30 s";
      break;
    }
    if (i > 0) menu.push_back(ms);
    // Escape ends the menu's loop (it takes the keys of its thread's queue); WM_CANCELMODE to
    // the bar if not.
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    const double t1 = now_ms();
    while (visible_menu(pid) && now_ms() - t1 < 2000) Sleep(1);
    if (visible_menu(pid)) PostMessageA(bar, WM_CANCELMODE, 0, 0);
    while (visible_menu(pid) && now_ms() - t1 < 10000) Sleep(1);
    if (visible_menu(pid)) why = "the menu stayed open";
    // The bar back in its message loop, not in the menu's, before the next request.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(bar, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
  }

  // Minimize-all, the crowd restored before each; then the same minimizing done by the probe.
  const std::vector<HWND> crowd_windows =
      top_windows([&](HWND h) { return window_pid(h) == crowd.dwProcessId && IsWindowVisible(h); });
  if (why.empty() && (long)crowd_windows.size() != n) why = "the crowd's windows not all found";
  std::vector<double> minimize, direct, restore;
  long minimized = -1;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < repeats && why.empty(); ++i) {
      const double r0 = now_ms();
      if (ask(WM_APP + 1) < 0 || ask(WM_APP + 2) != 0) {
        why = "the crowd was not restored";
        break;
      }
      restore.push_back(now_ms() - r0);
      settle();
      const double t0 = now_ms();
      if (pass == 0) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(bar, WM_COMMAND, 32807, 0, SMTO_NORMAL, 600000, &answer)) {
          why = "no answer to the minimize-all command";
          break;
        }
        minimize.push_back(now_ms() - t0);
        const long k = ask(WM_APP + 2);
        minimized = minimized < 0 ? k : std::min(minimized, k);
      } else {
        for (HWND h : crowd_windows) ShowWindow(h, SW_SHOWMINIMIZED);
        direct.push_back(now_ms() - t0);
        if (ask(WM_APP + 2) != n) why = "the probe did not minimize the crowd";
      }
    }
  }
  const long made_ms = ask(WM_APP + 3);

  PostMessageA(control, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(crowd.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(crowd.hProcess, 99);
  CloseHandle(crowd.hProcess);
  CloseHandle(crowd.hThread);
  if (!why.empty()) return fail(why);
  const Figures m = figures(menu), z = figures(minimize), d = figures(direct), r = figures(restore);
  auto each = [](const std::vector<double> &v) {
    std::string s;
    for (double x : v) s += (s.empty() ? "" : ",") + std::to_string((long)(x + 0.5));
    return s;
  };
  printf("windows %ld candidates %ld made_ms %ld menu_ms %.2f %.2f %.2f minimize_ms %.2f %.2f %.2f"
         " direct_ms %.2f %.2f %.2f restore_ms %.2f minimized %ld minimize_each %s direct_each %s\n",
         n, candidates, made_ms, m.median, m.min, m.max, z.median, z.min, z.max, d.median, d.min, d.max, r.median,
         minimized, each(minimize).c_str(), each(direct).c_str());
  fflush(stdout);
  return 0;
}

int cmd_selftest() {
  HANDLE self = GetCurrentProcess();
  const DWORD pid = GetCurrentProcessId();
  const std::string before = object_counts(self, pid);
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 10; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 2 * i, 3 * i)));
  HANDLE events[5];
  for (HANDLE &e : events) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HWND top = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExA(0, "STATIC", "a", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  CreateWindowExA(0, "STATIC", "b", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  const std::string after = object_counts(self, pid);
  printf("before %s\nafter10brushes3windows5events %s\n", before.c_str(), after.c_str());
  DestroyWindow(top);
  for (HBRUSH b : brushes) DeleteObject(b);
  for (HANDLE e : events) CloseHandle(e);
  printf("released %s\n", object_counts(self, pid).c_str());
  fflush(stdout);
  return 0;
}

int usage() {
  fprintf(stderr,
          "usage: probe launch EXE | sample PID | objects PID | exit PID | selftest | startup EXE N |"
          " windows PID CROWD_EXE N REPEATS\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return usage();
  const std::string cmd = argv[1];
  if (cmd == "launch" && argc == 3) return cmd_launch(argv[2]);
  if (cmd == "sample" && argc == 3) return cmd_sample(strtoul(argv[2], nullptr, 10));
  if (cmd == "objects" && argc == 3) return cmd_objects(strtoul(argv[2], nullptr, 10));
  if (cmd == "exit" && argc == 3) return cmd_exit(strtoul(argv[2], nullptr, 10));
  if (cmd == "selftest" && argc == 2) return cmd_selftest();
  if (cmd == "startup" && argc == 4 && atoi(argv[3]) > 0) return cmd_startup(argv[2], atoi(argv[3]));
  if (cmd == "windows" && argc == 6 && atoi(argv[5]) > 0)
    return cmd_windows(strtoul(argv[2], nullptr, 10), argv[3], strtol(argv[4], nullptr, 10), atoi(argv[5]));
  return usage();
}
