#include "app/panel_app.h"

#include "panel/panel_wnd.h"

BOOL CPanelApp::InitInstance() {
  CPanelWnd* panel = CPanelWnd::CreatePanel(m_sys);
  // Without a window there is nothing to run: end the program rather than wait in a message
  // loop forever.
  if (panel == nullptr) return FALSE;
  m_pMainWnd = panel;
  return TRUE;
}
