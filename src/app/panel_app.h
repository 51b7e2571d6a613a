// The application object: makes the panel and runs the message loop until it is closed.
#ifndef VELKIN_APP_PANEL_APP_H
#define VELKIN_APP_PANEL_APP_H

#include "framework/framework.h"
#include "system/system.h"

// Makes the panel on the services it is given and runs the program's message loop until the
// panel is gone.
class CPanelApp : public CWinApp {
 public:
  explicit CPanelApp(velkin::SystemServices& sys) : m_sys(sys) {}
  BOOL InitInstance() override;

 private:
  velkin::SystemServices& m_sys;
};

#endif
