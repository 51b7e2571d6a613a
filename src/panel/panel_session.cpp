// Exit, restart, shutdown, suspend and the end of the Windows session.
#include "panel/panel_wnd.h"
#include "system/system.h"
#include "readouts/intervals.h"
#include "session/session.h"

void CPanelWnd::SaveAndRelease(SaveFor saver) {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings(saver);
  SaveExclusionList(saver);
  ReleaseOptionalLibraries();
}

void CPanelWnd::ResumeRefresh() {
  if (!m_state.StartingUp()) StartRefreshTimer();
}

void CPanelWnd::OnExit() {
  SaveAndRelease(SaveFor::kExit);
  // The WM_CLOSE below finds the files written.
  m_bSavedForClose = true;
  // Destroying the window removes the bar from the shell and ends the program. Where the
  // message cannot be posted (the queue is full), the window goes now: the files are written.
  if (!PostMessage(WM_CLOSE)) DestroyWindow();
}

void CPanelWnd::EndSession(velkin::SessionCommand command) {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings(SaveFor::kSessionEnd);
  m_bSessionEnded = false;
  // Taken or not, the answer does not say that the session ends: Windows NT answers when the
  // end only starts, and another program may still refuse it before the bar's turn, which then
  // hears nothing. Only the end reaching the bar during the call keeps the refresh stopped;
  // the session messages stop it again when the end comes later.
  const bool taken = velkin::RequestSessionEnd(m_sys, command, m_bWindowsNT);
  // A refused request calls this session end off. An end called off unheard leaves the copy of
  // the settings in place, which spares only a second write of the same bytes.
  if (!taken) ForgetSessionSaves();
  if (!m_bSessionEnded) ResumeRefresh();
}

void CPanelWnd::OnRestartWindows() { EndSession(velkin::SessionCommand::kRestartWindows); }

void CPanelWnd::OnRestartSystem() { EndSession(velkin::SessionCommand::kRestartSystem); }

void CPanelWnd::OnShutdown() { EndSession(velkin::SessionCommand::kShutdown); }

void CPanelWnd::OnSuspend() { velkin::RequestSuspend(m_sys, m_bWindowsNT); }

BOOL CPanelWnd::OnQueryEndSession() {
  SaveAndRelease(SaveFor::kSessionEnd);
  return TRUE;
}

void CPanelWnd::OnEndSession(BOOL ending) {
  // After WM_QUERYENDSESSION (or a restart or shutdown command) this writes only what changed
  // since; without one before it, both files.
  SaveAndRelease(SaveFor::kSessionEnd);
  if (ending) m_bSessionEnded = true;
  if (!ending) ForgetSessionSaves();
  if (m_state.StartingUp()) {
    // The session ends while start-up waits on a message box: the program ends with it.
    if (ending) m_state.AskToEnd();
    return;
  }
  // Called off: the bar goes on refreshing.
  if (!ending) ResumeRefresh();
}
