// The application object: creates the panel and runs the message loop until it is closed.
#ifndef VELKIN_APP_PANEL_APP_H
#define VELKIN_APP_PANEL_APP_H

#include "framework/framework.h"
#include "system/system.h"

class CPanelWnd;

// Makes the panel on the services it is given and runs the program's message loop until the
// panel is gone.
class CPanelApp : public CWinApp {
 public:
  explicit CPanelApp(velkin::SystemServices& sys) : m_sys(sys) {}
  BOOL InitInstance() override;

 private:
  velkin::SystemServices& m_sys;
};

// Makes the panel and its window as the program starts it, on `sys`: the creation rectangle
// fixes the bar's thickness. nullptr when the window could not be made (the object is gone then).
CPanelWnd* CreatePanelWindow(velkin::SystemServices& sys);

#endif
