// The least window program: the yardstick of the bar's start-up time and memory (bench/startup.sh).
// One window class, one untitled window along the top edge of the screen as wide as the screen,
// in the bar's style, with one static text (id 108, the bar's free-space readout) and one button
// (id 118, the bar's exit button), and a message loop. The button or WM_CLOSE ends it.
//
// Built the way each build of the bar is built (bench/run.sh):
//   64-bit: x86_64-w64-mingw32-g++-posix with the compiler's runtime, as build/win64/velkin.exe;
//   32-bit: i686-w64-mingw32-g++-win32 for the i486 with no runtime at all and -DMINIMAL_OWN_ENTRY,
//           as the release image build/win32/velkin.exe (its entry point is the one below).
#include <windows.h>

namespace {

const int kTextId = 108;
const int kCloseId = 118;
const int kHeight = 44;

LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kCloseId) {
        DestroyWindow(window);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA wc;
  wc.style = 0;
  wc.lpfnWndProc = MinimalProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = nullptr;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = "VelkinMinimal";
  if (!RegisterClassA(&wc)) return 1;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "VelkinMinimal", nullptr, WS_POPUP | WS_DLGFRAME, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), kHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  CreateWindowExA(0, "STATIC", "12345 MBytes", WS_CHILD | WS_VISIBLE, 4, 4, 120, 16, window,
                  reinterpret_cast<HMENU>(kTextId), instance, nullptr);
  CreateWindowExA(0, "BUTTON", "x", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 130, 4, 30, 30, window,
                  reinterpret_cast<HMENU>(kCloseId), instance, nullptr);
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

#ifdef MINIMAL_OWN_ENTRY
// The entry point of an image with no runtime, as the release image's (src/runtime/release_runtime.cpp)
// minus what this program does not need: no static constructors, no exit functions, no heap.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup() {
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), show)));
}
#endif
