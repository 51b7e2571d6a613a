// Reading other processes' windows: shared by the end-to-end driver and the benchmark's probe.
#ifndef VELKIN_TESTS_E2E_WINDOW_READING_H
#define VELKIN_TESTS_E2E_WINDOW_READING_H

#include <windows.h>

#include <string>
#include <utility>
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
  std::pair<Keep *, std::vector<HWND>> f = {&keep, {}};
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto *f = (std::pair<Keep *, std::vector<HWND>> *)lp;
        if ((*f->first)(h)) f->second.push_back(h);
        return TRUE;
      },
      (LPARAM)&f);
  return f.second;
}

#endif
