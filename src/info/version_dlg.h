// The version dialog: the Windows version found at start-up and what it supports.
#ifndef VELKIN_INFO_VERSION_DLG_H
#define VELKIN_INFO_VERSION_DLG_H

#include <cstdint>

#include "framework/framework.h"

class CWinVersionDlg : public CDialog {
 public:
  explicit CWinVersionDlg(CWnd* parent = nullptr);

  bool m_bLargeDisk = false;  // copied in before each showing
  bool m_bSuspend = false;
  CString m_strVersion;         // 1002, set once at start-up
  CString m_strDiskSupport;     // 1003
  CString m_strSuspendSupport;  // 1014

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

  DECLARE_MESSAGE_MAP()
};

#endif
