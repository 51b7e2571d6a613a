#include "windows/exclude_list_dlg.h"

#include <string>
#include <vector>

#include "platform/system.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CExcludeListDlg, CDialog)
  ON_COMMAND(IDC_ADD, OnAdd)
  ON_COMMAND(IDC_DELETE, OnDelete)
  ON_COMMAND(IDC_CLOSE_LIST, OnCloseList)
END_MESSAGE_MAP()

CExcludeListDlg::CExcludeListDlg(velkin::SystemServices& sys, CWnd* parent)
    : CDialog(IDD_EXCLUDELIST, parent), m_dlgPicker(sys), m_sys(sys) {}

void CExcludeListDlg::SetWorkingList(const CString* entries, int32_t count) {
  m_nWorking = count < 0 ? 0 : (count > kCapacity ? kCapacity : count);
  for (int32_t i = 0; i < kCapacity; ++i) m_strWorking[i] = i < m_nWorking ? entries[i] : CString();
}

void CExcludeListDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TITLE_LIST, m_listBox);
}

BOOL CExcludeListDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  for (int32_t i = 0; i < m_nWorking; ++i) m_listBox.AddString(m_strWorking[i].c_str());
  return TRUE;
}

void CExcludeListDlg::OnAdd() {
  // The picker belongs to this dialog while it is shown.
  if (m_dlgPicker.DoModal(this) != IDOK) return;
  if (!velkin::CanAddExclusion(m_nWorking)) {
    m_sys.ShowMessage(m_hWnd, "これ以上リストの項目を増やすことはできません!!", "警告", MB_OK | MB_ICONHAND);
    return;
  }
  m_listBox.AddString(m_dlgPicker.m_strPicked.c_str());
  ++m_nWorking;
}

void CExcludeListDlg::OnDelete() {
  const int selected = m_listBox.GetCurSel();
  if (selected == LB_ERR) return;
  m_listBox.DeleteString(selected);
  --m_nWorking;
}

void CExcludeListDlg::OnCloseList() {
  // The list box's entries, in its sorted order, become the working list.
  std::vector<std::string> entries;
  CString text;
  for (int i = 0; m_listBox.GetText(i, text); ++i) entries.push_back(text);
  m_nWorking = velkin::TakeWorkingList(entries, m_strWorking);
  EndDialog(IDOK);
}

void CExcludeListDlg::OnOK() {
  m_nWorking = velkin::CountInUse(m_strWorking);
  EndDialog(IDOK);
}

void CExcludeListDlg::OnCancel() {
  m_nWorking = velkin::CountInUse(m_strWorking);
  EndDialog(IDCANCEL);
}
