#include "windows/window_pick_dlg.h"

#include <cstddef>
#include <limits>

#include "system/system.h"
#include "res/resource.h"
#include "windows/window_walk.h"

BEGIN_MESSAGE_MAP(CWindowPickDlg, CDialog)
  ON_COMMAND(IDC_SELECT, OnSelect)
  ON_COMMAND(IDC_PICK_CANCEL, OnCancel)
END_MESSAGE_MAP()

CWindowPickDlg::CWindowPickDlg(velkin::SystemServices& sys, CWnd* parent)
    : CDialog(IDD_WINDOWPICK, parent), m_sys(sys) {}

void CWindowPickDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TITLE_LIST, m_listBox);
}

BOOL CWindowPickDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // Every application window, excluded or not.
  for (const std::string& title :
       velkin::CandidateTitles(m_sys, m_hWnd, nullptr, std::numeric_limits<std::size_t>::max())) {
    m_listBox.AddString(title.c_str());
  }
  return TRUE;
}

void CWindowPickDlg::OnSelect() {
  // Only a selected title is taken: with nothing selected the picker stays open.
  const int selected = m_listBox.GetCurSel();
  if (selected == LB_ERR) return;
  m_listBox.GetText(selected, m_strPicked);
  EndDialog(IDOK);
}

void CWindowPickDlg::OnOK() { OnSelect(); }
