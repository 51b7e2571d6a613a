// The about box: the program's icon, what it is, its name and version.
#ifndef VELKIN_INFO_ABOUT_DLG_H
#define VELKIN_INFO_ABOUT_DLG_H

#include "framework/framework.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(CWnd* parent = nullptr) : CDialog(IDD_ABOUTBOX, parent) {}
};

#endif
