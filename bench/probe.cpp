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
#include <cstdlib>
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

int cmd_exit(DWORD pid) {
  HANDLE process = open_process(pid);
  if (!process) return fail("OpenProcess error " + std::to_string(GetLastError()));
  HWND bar = find_bar(pid);
  if (bar) PostMessageA(GetDlgItem(bar, kExitButtonId), BM_CLICK, 0, 0);
  if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0) {
    printf("exited button\n");
    return 0;
  }
  if (bar) PostMessageA(bar, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0) {
    printf("exited close\n");
    return 0;
  }
  TerminateProcess(process, 99);
  WaitForSingleObject(process, 5000);
  return fail("had to terminate it");
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
  fprintf(stderr, "usage: probe launch EXE | sample PID | objects PID | exit PID | selftest\n");
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
  return usage();
}
