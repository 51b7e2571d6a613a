// The application object: creates the panel and runs the message loop until it is closed.
#ifndef VELKIN_APP_PANEL_APP_H
#define VELKIN_APP_PANEL_APP_H

#include "platform/framework.h"

class CPanelApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

#endif
