// Presses through modal dialogs from a thread timer, which their own message loops deliver.
#include "bar_fixture.h"

namespace {

// How long the robot waits for a step's dialog, and for the dialogs to end after the last step.
constexpr DWORD kPatienceMs = 5000;

struct Robot {
  std::vector<DialogStep> steps;
  size_t next = 0;
  DWORD waitingSince = GetTickCount();
  bool gaveUp = false;                // a step's dialog never came
  std::vector<std::string> leftOpen;  // the dialogs still open after the last step, closed
};

Robot* g_robot = nullptr;

struct Search { const std::string* caption; HWND found; };

bool IsDialog(HWND hWnd) { return ClassOf(hWnd) == "#32770"; }

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  // The dialog of the step is the one that takes input now: a dialog that opened another modal
  // one is disabled until that one ends. Without a caption, any shown dialog is found.
  if (IsDialog(hWnd) && IsWindowVisible(hWnd) &&
      (search->caption == nullptr || (IsWindowEnabled(hWnd) && TextOf(hWnd) == *search->caption))) {
    search->found = hWnd;
    return FALSE;
  }
  return TRUE;
}

// Ends every dialog this thread shows, so that their modal loops return; returns their captions.
std::vector<std::string> CloseDialogs() {
  std::vector<std::string> captions;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hWnd, LPARAM param) -> BOOL {
        if (IsDialog(hWnd) && IsWindowVisible(hWnd)) {
          reinterpret_cast<std::vector<std::string>*>(param)->push_back(TextOf(hWnd));
          EndDialog(hWnd, IDCANCEL);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&captions));
  return captions;
}

void CALLBACK OnRobotTimer(HWND, UINT, UINT_PTR, DWORD) {
  Robot* robot = g_robot;
  if (robot == nullptr) return;
  const bool scripted = !robot->gaveUp && robot->next < robot->steps.size();
  // A step waits for its dialog; after the last step, for every dialog to end.
  Search search{scripted ? &robot->steps[robot->next].caption : nullptr, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
  if (scripted && search.found != nullptr) {
    robot->steps[robot->next++].act(search.found);
    robot->waitingSince = GetTickCount();
    return;
  }
  if (!scripted && search.found == nullptr) {
    robot->waitingSince = GetTickCount();
    return;
  }
  // A dialog that never comes, or one left open, must not hang the test: after a while, close
  // whatever dialog this thread shows so that the modal loops end.
  if (GetTickCount() - robot->waitingSince <= kPatienceMs) return;
  // A script that gave up on a step has run no further: what it closes later is no leak.
  const std::vector<std::string> closed = CloseDialogs();
  if (scripted) {
    robot->gaveUp = true;
  } else if (!robot->gaveUp) {
    robot->leftOpen.insert(robot->leftOpen.end(), closed.begin(), closed.end());
  }
  robot->waitingSince = GetTickCount();
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
  for (const std::string& caption : robot.leftOpen) {
    ADD_FAILURE() << "dialog \"" << caption << "\" was still open " << kPatienceMs
                  << " ms after the script's last step; the robot closed it";
  }
  return robot.next;
}

bool WithDialog(const std::string& caption, const std::function<void(HWND)>& act,
                const std::function<void()>& open) {
  return RunDialogScript({{caption, act}}, open) == 1;
}
