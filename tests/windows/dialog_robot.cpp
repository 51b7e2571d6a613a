// Presses through modal dialogs from a thread timer, which their own message loops deliver.
#include "bar_fixture.h"

namespace {

struct Robot { std::vector<DialogStep> steps; size_t next = 0; int idleTicks = 0; };

Robot* g_robot = nullptr;

struct Search { const std::string* caption; HWND found; };

bool IsDialog(HWND hWnd) { return ClassOf(hWnd) == "#32770"; }

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  // The dialog of the step is the one that takes input now: a dialog that opened another modal
  // one is disabled until that one ends.
  if (IsDialog(hWnd) && IsWindowVisible(hWnd) && IsWindowEnabled(hWnd) && TextOf(hWnd) == *search->caption) {
    search->found = hWnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK OnRobotTimer(HWND, UINT, UINT_PTR, DWORD) {
  Robot* robot = g_robot;
  if (robot == nullptr || robot->next >= robot->steps.size()) return;
  Search search{&robot->steps[robot->next].caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    // A dialog that never comes must not hang the test: after about five seconds, close
    // whatever dialog this thread shows so that the modal loops end.
    if (++robot->idleTicks > 250) {
      robot->next = robot->steps.size();
      EnumThreadWindows(
          GetCurrentThreadId(),
          [](HWND hWnd, LPARAM) -> BOOL {
            if (IsDialog(hWnd)) PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
          },
          0);
    }
    return;
  }
  robot->idleTicks = 0;
  robot->steps[robot->next++].act(search.found);
}

}  // namespace

size_t RunDialogScript(std::vector<DialogStep> steps, const std::function<void()>& open) {
  Robot robot;
  robot.steps = std::move(steps);
  Robot* outer = g_robot;
  g_robot = &robot;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, OnRobotTimer);
  open();
  KillTimer(nullptr, timer);
  g_robot = outer;
  return robot.next;
}

bool WithDialog(const std::string& caption, const std::function<void(HWND)>& act,
                const std::function<void()>& open) {
  return RunDialogScript({{caption, act}}, open) == 1;
}
