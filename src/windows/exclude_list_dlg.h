// The exclusion-list dialog: the titles of the applications never to minimize. It keeps a
// working list of its own between showings, filled from the panel's list at start-up; the
// panel rebuilds its list from it whenever the dialog closes.
#ifndef VELKIN_WINDOWS_EXCLUDE_LIST_DLG_H
#define VELKIN_WINDOWS_EXCLUDE_LIST_DLG_H

#include <cstdint>

#include "platform/framework.h"
#include "windows/exclusion_edit.h"
#include "windows/window_pick_dlg.h"

class CExcludeListDlg : public CDialog {
 public:
  static constexpr int kCapacity = velkin::kExclusionLimit;

  explicit CExcludeListDlg(velkin::SystemServices& sys, CWnd* parent = nullptr);

  // Takes the first `count` entries as the working list.
  void SetWorkingList(const CString* entries, int32_t count);

  CString m_strWorking[kCapacity];
  // While the dialog is open: the entries in the list box; between showings: those in use.
  int32_t m_nWorking = 0;
  CWindowPickDlg m_dlgPicker;
  CListBox m_listBox;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Enter, Esc and the close box drop this showing's edits.
  void OnOK() override;
  void OnCancel() override;
  void OnAdd();
  void OnDelete();
  void OnCloseList();

  velkin::SystemServices& m_sys;

  DECLARE_MESSAGE_MAP()
};

#endif
