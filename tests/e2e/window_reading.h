// Reading other processes' windows: shared by the end-to-end driver and the benchmark's probe.
#ifndef VELKIN_TESTS_E2E_WINDOW_READING_H
#define VELKIN_TESTS_E2E_WINDOW_READING_H

#include <windows.h>

#include <string>
#include <vector>

inline std::string class_name(HWND h) {
  char buf[256] = "";
  GetClassNameA(h, buf, sizeof buf);
  return buf;
}

inline DWORD window_pid(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

// The top-level windows for which keep(window) holds.
template <typename Keep>
std::vector<HWND> top_windows(Keep keep) {
  struct Find {
    Keep *keep;
    std::vector<HWND> found;
  } f = {&keep, {}};
  auto visit = [](HWND h, LPARAM lp) -> BOOL {
    Find *f = (Find *)lp;
    if ((*f->keep)(h)) f->found.push_back(h);
    return TRUE;
  };
  EnumWindows(visit, (LPARAM)&f);
  return f.found;
}

#endif
