// The exclusion-list dialog's object. It keeps a working list of its own between showings, filled
// from the panel's list at start-up.
#ifndef VELKIN_WINDOWS_EXCLUDE_LIST_DLG_H
#define VELKIN_WINDOWS_EXCLUDE_LIST_DLG_H

#include <cstdint>

#include "platform/framework.h"
#include "res/resource.h"

class CExcludeListDlg : public CDialog {
 public:
  static constexpr int kCapacity = 20;

  explicit CExcludeListDlg(CWnd* parent = nullptr) : CDialog(IDD_EXCLUDELIST, parent) {}

  // Takes the first `count` entries as the working list.
  void SetWorkingList(const CString* entries, int32_t count) {
    m_nWorking = count < 0 ? 0 : (count > kCapacity ? kCapacity : count);
    for (int32_t i = 0; i < kCapacity; ++i) m_strWorking[i] = i < m_nWorking ? entries[i] : CString();
  }

  CString m_strWorking[kCapacity];
  int32_t m_nWorking = 0;
};

#endif
