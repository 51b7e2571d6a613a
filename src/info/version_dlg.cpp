#include "info/version_dlg.h"

#include "info/version.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CWinVersionDlg, CDialog)
  ON_COMMAND(IDC_VERSION_OK, OnOK)
END_MESSAGE_MAP()

CWinVersionDlg::CWinVersionDlg(CWnd* parent) : CDialog(IDD_WINVERSION, parent) {}

void CWinVersionDlg::SetVersion(const CString& version, bool suspend) {
  m_strVersion = version;
  m_bSuspend = suspend;
}

void CWinVersionDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_VERSION_TEXT, m_strVersion);
  DDX_Text(dx, IDC_DISKSUPPORT_TEXT, m_strDiskSupport);
  DDX_Text(dx, IDC_SUSPENDSUPPORT_TEXT, m_strSuspendSupport);
}

BOOL CWinVersionDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_strDiskSupport = velkin::DiskSupportText(m_bLargeDisk);
  m_strSuspendSupport = velkin::SuspendSupportText(m_bSuspend);
  UpdateData(FALSE);
  return TRUE;
}
