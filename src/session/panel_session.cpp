// Exit, restart, shutdown, suspend and the end of the Windows session.
#include "panel/panel_wnd.h"
#include "platform/system.h"
#include "readouts/intervals.h"

using velkin::Sys;

namespace {

constexpr uint32_t kRestartWindowsOnly = 0x42;      // EW_RESTARTWINDOWS
constexpr uint32_t kRebootFlags = 0x0A;             // EWX_REBOOT | EWX_POWEROFF
constexpr uint32_t kShutdownFlags = 0x01;           // EWX_SHUTDOWN

}  // namespace

void CPanelWnd::SaveAndRelease() {
  Sys().StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  SaveExclusionList();
  ReleaseOptionalLibraries();
}

void CPanelWnd::OnExit() {
  SaveAndRelease();
  // Destroying the window removes the bar from the shell and ends the program.
  PostMessage(WM_CLOSE);
}

void CPanelWnd::OnRestartWindows() {
  Sys().StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  Sys().RequestRestartWindows(kRestartWindowsOnly);
}

void CPanelWnd::OnRestartSystem() {
  Sys().StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  Sys().RequestExitWindows(kRebootFlags, 1);
}

void CPanelWnd::OnShutdown() {
  Sys().StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  Sys().RequestExitWindows(kShutdownFlags, 0);
}

void CPanelWnd::OnSuspend() { Sys().RequestSuspend(false, false); }

BOOL CPanelWnd::OnQueryEndSession() {
  SaveAndRelease();
  return TRUE;
}

void CPanelWnd::OnEndSession(BOOL /*ending*/) { SaveAndRelease(); }
