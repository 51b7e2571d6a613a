#include "app/panel_app.h"

#include "panel/panel_wnd.h"
#include "system/system.h"

CPanelWnd* CreatePanelWindow(velkin::SystemServices& sys) {
  // 47 pixels tall on the top edge.
  CPanelWnd* panel = new CPanelWnd(sys);
  const RECT rect = {0, 0, 150, 47};
  // A window that was begun and then destroyed has deleted its object already.
  return panel->CreateBar(rect) ? panel : nullptr;
}

BOOL CPanelApp::InitInstance() {
  CPanelWnd* panel = CreatePanelWindow(m_sys);
  // Without a window there is nothing to run: end the program rather than wait in a message
  // loop forever.
  if (panel == nullptr) return FALSE;
  m_pMainWnd = panel;
  return TRUE;
}
