// Exit, restart, shutdown, suspend and the end of the Windows session.
#include "panel/panel_wnd.h"
#include "platform/system.h"
#include "readouts/intervals.h"

namespace {

constexpr uint32_t kRestartWindowsOnly = 0x42;      // EW_RESTARTWINDOWS
constexpr uint32_t kRebootFlags = 0x0A;             // EWX_REBOOT | EWX_POWEROFF
constexpr uint32_t kShutdownFlags = 0x01;           // EWX_SHUTDOWN
constexpr uint32_t kLogoffFlags = 0x00;             // EWX_LOGOFF

}  // namespace

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

void CPanelWnd::OnRestartWindows() {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  // Windows NT has no 16-bit services: logging off is the nearest it has to restarting Windows
  // without restarting the machine.
  const bool taken = m_bWindowsNT ? m_sys.RequestExitWindows(kLogoffFlags, 0)
                                  : m_sys.RequestRestartWindows(kRestartWindowsOnly);
  if (!taken) ResumeRefresh();
}

void CPanelWnd::OnRestartSystem() {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  if (!m_sys.RequestExitWindows(kRebootFlags, 1)) ResumeRefresh();
}

void CPanelWnd::OnShutdown() {
  m_sys.StopTimer(m_hWnd, velkin::kRefreshTimerId);
  SaveSettings();
  if (!m_sys.RequestExitWindows(kShutdownFlags, 0)) ResumeRefresh();
}

// On Windows 9x the request is made with both flags FALSE. On Windows NT FALSE would hibernate
// the machine; TRUE asks for sleep, which is what the button says.
void CPanelWnd::OnSuspend() { m_sys.RequestSuspend(m_bWindowsNT, false); }

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
