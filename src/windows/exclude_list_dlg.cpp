#include "windows/exclude_list_dlg.h"

#include <string>
#include <vector>

#include "res/resource.h"
#include "settings/startup.h"
#include "system/system.h"

BEGIN_MESSAGE_MAP(CExcludeListDlg, CDialog)
  ON_COMMAND(IDC_ADD, OnAdd)
  ON_COMMAND(IDC_DELETE, OnDelete)
  ON_COMMAND(IDC_CLOSE_LIST, OnCloseList)
END_MESSAGE_MAP()

CExcludeListDlg::CExcludeListDlg(velkin::SystemServices& sys, CWnd* parent)
    : CDialog(IDD_EXCLUDELIST, parent), m_sys(sys), m_dlgPicker(sys) {}

void CExcludeListDlg::SetWorkingList(const velkin::ExclusionList& list) {
  m_strWorking = list;
  m_nWorking = list.Count();
}

void CExcludeListDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TITLE_LIST, m_listBox);
}

BOOL CExcludeListDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  for (const std::string& title : m_strWorking) m_listBox.AddString(title.c_str());
  return TRUE;
}

void CExcludeListDlg::OnAdd() {
  // The picker belongs to this dialog while it is shown.
  if (m_dlgPicker.DoModal(this) != IDOK) return;
  if (!velkin::ExclusionList::CanAdd(m_nWorking)) {
    const velkin::Notice full = velkin::Warning("これ以上リストの項目を増やすことはできません!!");
    m_sys.ShowMessage(m_hWnd, full.text, full.caption, full.style);
    return;
  }
  if (m_listBox.AddString(m_dlgPicker.Picked().c_str()) >= 0) ++m_nWorking;
}

void CExcludeListDlg::OnDelete() {
  const int selected = m_listBox.GetCurSel();
  if (selected == LB_ERR) return;
  if (m_listBox.DeleteString(selected) != LB_ERR) --m_nWorking;
}

void CExcludeListDlg::OnCloseList() {
  // The list box's entries, in its sorted order, become the working list. A box that does not
  // hold every entry put in it (one it could not take, or give back) leaves the list as it was:
  // what it lacks would be lost.
  std::vector<std::string> entries;
  CString text;
  const int count = m_listBox.GetCount();
  for (int i = 0; i < count && m_listBox.GetText(i, text); ++i) entries.push_back(text);
  if (static_cast<int>(entries.size()) == m_nWorking) m_strWorking = velkin::ExclusionList(entries);
  m_nWorking = m_strWorking.Count();
  EndDialog(IDOK);
}

void CExcludeListDlg::OnOK() {
  m_nWorking = m_strWorking.Count();
  EndDialog(IDOK);
}

void CExcludeListDlg::OnCancel() {
  m_nWorking = m_strWorking.Count();
  EndDialog(IDCANCEL);
}
