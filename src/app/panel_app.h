// The application object: creates the panel and runs the message loop until it is closed.
#ifndef VELKIN_APP_PANEL_APP_H
#define VELKIN_APP_PANEL_APP_H

#include "framework/framework.h"
#include "system/system.h"

class CPanelWnd;

class CPanelApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

// Makes the panel and its window as the program starts it, on `sys`: the creation rectangle
// fixes the bar's thickness. nullptr when the window could not be made (the object is gone then).
CPanelWnd* CreatePanelWindow(velkin::SystemServices& sys);

#endif
