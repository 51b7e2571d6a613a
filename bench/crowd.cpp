// A crowd of other applications' windows, for the benchmark of the bar's window commands
// (bench/startup.sh, `probe windows`): N top-level windows that the bar's walk counts (visible,
// titled "crowd window 0001".., no owner, not tool windows), cascaded below the bar, all of one
// thread that takes its messages, as an application's would.
//
// Usage: crowd N
// It is steered through a message-only window of class "VelkinCrowdControl" (not among the
// top-level windows, so the bar's walk never meets it), with SendMessage:
//   WM_APP      how many crowd windows exist (N once they are all made: made last)
//   WM_APP + 1  restore every minimized one without activating it (SW_SHOWNOACTIVATE); answers
//               how many were minimized
//   WM_APP + 2  how many are minimized (IsIconic) now
//   WM_APP + 3  the milliseconds it took to make them
//   WM_CLOSE    destroy them all and end
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::vector<HWND> g_windows;
DWORD g_makingMs = 0;

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_APP:
      return (LRESULT)g_windows.size();
    case WM_APP + 1: {
      LRESULT restored = 0;
      for (HWND h : g_windows) {
        if (IsIconic(h)) {
          ShowWindow(h, SW_SHOWNOACTIVATE);
          ++restored;
        }
      }
      return restored;
    }
    case WM_APP + 2: {
      LRESULT iconic = 0;
      for (HWND h : g_windows) iconic += IsIconic(h) ? 1 : 0;
      return iconic;
    }
    case WM_APP + 3:
      return (LRESULT)g_makingMs;
    case WM_CLOSE:
      for (HWND h : g_windows) DestroyWindow(h);
      g_windows.clear();
      DestroyWindow(window);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv) {
  const long n = argc == 2 ? strtol(argv[1], nullptr, 10) : -1;
  if (n < 0 || n > 100000) {
    fprintf(stderr, "usage: crowd N\n");
    return 2;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "VelkinCrowdWindow";
  if (!RegisterClassA(&wc)) return 1;
  wc.lpfnWndProc = ControlProc;
  wc.lpszClassName = "VelkinCrowdControl";
  if (!RegisterClassA(&wc)) return 1;

  g_windows.reserve((size_t)n);
  const DWORD start = GetTickCount();
  for (long i = 0; i < n; ++i) {
    char title[32];
    snprintf(title, sizeof title, "crowd window %04ld", i + 1);
    // Shown without being activated: showing each new window active costs Wine more the more
    // windows there are, and the state the bar meets is the same.
    HWND h = CreateWindowExA(0, "VelkinCrowdWindow", title, WS_OVERLAPPEDWINDOW, 20 + (int)(i % 40) * 12,
                             90 + (int)(i % 25) * 12, 240, 120, nullptr, nullptr, instance, nullptr);
    if (h == nullptr) {
      fprintf(stderr, "crowd: window %ld not made, error %lu\n", i + 1, (unsigned long)GetLastError());
      return 1;
    }
    ShowWindow(h, SW_SHOWNOACTIVATE);
    g_windows.push_back(h);
  }
  g_makingMs = GetTickCount() - start;
  if (!CreateWindowExA(0, "VelkinCrowdControl", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr))
    return 1;

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
