// The panel's use of the Windows version: detection at creation and the version dialog.
#include "info/version.h"
#include "panel/panel_wnd.h"
#include "system/system.h"

void CPanelWnd::DetectVersion() {
  const velkin::WindowsVersion version = m_sys.Version();
  m_bWindowsNT = version.platformId == velkin::kPlatformWin32NT;
  const velkin::WindowsRelease release = velkin::JudgeRelease(version.major, version.minor, version.build);
  m_readouts.SetLargeDisk(release.largeDisk);
  if (!release.suspend && m_buttons[kSuspendButton].GetSafeHwnd() != nullptr) {
    // Not shown at all: the bar is not on screen yet.
    m_buttons[kSuspendButton].ModifyStyle(WS_VISIBLE, 0);
  }
  m_bSuspendAvailable = release.suspend;
  m_dlgVersion.SetVersion(release.versionText, release.suspend);
}

void CPanelWnd::OnWinVersion() {
  m_dlgVersion.SetLargeDisk(m_readouts.LargeDisk());
  m_dlgVersion.DoModal(this);
}

void CPanelWnd::OnAbout() { m_dlgAbout.DoModal(this); }
