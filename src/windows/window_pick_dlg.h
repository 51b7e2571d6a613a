// The window picker: the titles of the application windows shown now; returns the one chosen.
#ifndef VELKIN_WINDOWS_WINDOW_PICK_DLG_H
#define VELKIN_WINDOWS_WINDOW_PICK_DLG_H

#include "framework/framework.h"
#include "system/system.h"

class CWindowPickDlg : public CDialog {
 public:
  explicit CWindowPickDlg(velkin::SystemServices& sys, CWnd* parent = nullptr);

  // The title taken by the last "選択"; kept from one use to the next.
  const CString& Picked() const { return m_strPicked; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Enter: the same as "選択".
  void OnOK() override;
  void OnSelect();

  DECLARE_MESSAGE_MAP()

 private:
  velkin::SystemServices& m_sys;
  CString m_strPicked;
  CListBox m_listBox;
};

#endif
