// The version dialog: the Windows version found at start-up and what it supports.
#ifndef VELKIN_INFO_VERSION_DLG_H
#define VELKIN_INFO_VERSION_DLG_H

#include <cstdint>

#include "framework/framework.h"

class CWinVersionDlg : public CDialog {
 public:
  explicit CWinVersionDlg(CWnd* parent = nullptr);

  // Set once at start-up: the version text and whether suspend is offered.
  void SetVersion(const CString& version, bool suspend);
  // Set before each showing: whether drives are measured with the 64-bit query.
  void SetLargeDisk(bool largeDisk) { m_bLargeDisk = largeDisk; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;

  DECLARE_MESSAGE_MAP()

 private:
  bool m_bLargeDisk = false;
  bool m_bSuspend = false;
  CString m_strVersion;
  CString m_strDiskSupport;
  CString m_strSuspendSupport;
};

#endif
