// The exclusion-list dialog: the titles of the applications never to minimize. It keeps a
// working list of its own between showings, filled from the panel's list at start-up; the
// panel rebuilds its list from it whenever the dialog closes.
#ifndef VELKIN_WINDOWS_EXCLUDE_LIST_DLG_H
#define VELKIN_WINDOWS_EXCLUDE_LIST_DLG_H

#include <cstdint>

#include "framework/framework.h"
#include "settings/exclusion_list.h"
#include "windows/window_pick_dlg.h"

class CExcludeListDlg : public CDialog {
 public:
  explicit CExcludeListDlg(velkin::SystemServices& sys, CWnd* parent = nullptr);

  // Takes the panel's list as the working list.
  void SetWorkingList(const velkin::ExclusionList& list);
  // The working list as the last showing left it.
  const velkin::ExclusionList& WorkingList() const { return m_strWorking; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Enter, Esc and the close box drop this showing's edits.
  void OnOK() override;
  void OnCancel() override;
  void OnAdd();
  void OnDelete();
  void OnCloseList();

  DECLARE_MESSAGE_MAP()

 private:
  velkin::SystemServices& m_sys;
  velkin::ExclusionList m_strWorking;
  // While the dialog is open: the entries in the list box; between showings: the working list's.
  int32_t m_nWorking = 0;
  CWindowPickDlg m_dlgPicker;
  CListBox m_listBox;
};

#endif
