// Exit, restart, shutdown, suspend and the end of the Windows session.
#include "panel/panel_wnd.h"
#include "platform/system.h"
#include "readouts/intervals.h"
#include "session/session.h"

void CPanelWnd::SaveAndRelease() {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  SaveExclusionList();
  ReleaseOptionalLibraries();
}

void CPanelWnd::ResumeRefresh() {
  if (!m_bStartingUp) StartRefreshTimer();
}

void CPanelWnd::OnExit() {
  SaveAndRelease();
  // Destroying the window removes the bar from the shell and ends the program.
  PostMessage(WM_CLOSE);
}

void CPanelWnd::EndSession(velkin::SessionCommand command) {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  // Refused, or not something this Windows can do: the bar goes on refreshing.
  if (!velkin::RequestSessionEnd(m_sys, command, m_bWindowsNT)) ResumeRefresh();
}

void CPanelWnd::OnRestartWindows() { EndSession(velkin::SessionCommand::kRestartWindows); }

void CPanelWnd::OnRestartSystem() { EndSession(velkin::SessionCommand::kRestartSystem); }

void CPanelWnd::OnShutdown() { EndSession(velkin::SessionCommand::kShutdown); }

void CPanelWnd::OnSuspend() { velkin::RequestSuspend(m_sys, m_bWindowsNT); }

BOOL CPanelWnd::OnQueryEndSession() {
  SaveAndRelease();
  return TRUE;
}

void CPanelWnd::OnEndSession(BOOL ending) {
  SaveAndRelease();
  if (m_bStartingUp) {
    // The session ends while start-up waits on a message box: the program ends with it.
    if (ending) m_bEndAsked = true;
    return;
  }
  // Called off: the bar goes on refreshing.
  if (!ending) ResumeRefresh();
}
