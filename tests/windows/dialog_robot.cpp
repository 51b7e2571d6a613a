// Presses through modal dialogs from a thread timer, which their own message loop delivers.
#include "bar_fixture.h"

namespace {

struct Robot {
  std::string caption;
  std::function<void(HWND)> act;
  UINT_PTR timer = 0;
  bool done = false;
  int ticks = 0;
};

Robot* g_robot = nullptr;

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM found) {
  char className[32] = {};
  GetClassNameA(hWnd, className, sizeof className);
  if (std::string(className) == "#32770" && IsWindowVisible(hWnd) && TextOf(hWnd) == g_robot->caption) {
    *reinterpret_cast<HWND*>(found) = hWnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK OnRobotTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_robot == nullptr || g_robot->done) return;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) {
    // A dialog that never comes must not hang the test: give up after about five seconds.
    if (++g_robot->ticks > 250) g_robot->done = true;
    return;
  }
  g_robot->done = true;
  KillTimer(nullptr, g_robot->timer);
  g_robot->act(dialog);
}

}  // namespace

bool WithDialog(const std::string& caption, const std::function<void(HWND)>& act,
                const std::function<void()>& open) {
  Robot robot;
  robot.caption = caption;
  bool acted = false;
  robot.act = [&](HWND dialog) {
    acted = true;
    act(dialog);
  };
  g_robot = &robot;
  robot.timer = SetTimer(nullptr, 0, 20, OnRobotTimer);
  open();
  KillTimer(nullptr, robot.timer);
  g_robot = nullptr;
  return acted;
}
