#include "app/panel_app.h"

#include "panel/panel_wnd.h"
#include "platform/system.h"

BOOL CPanelApp::InitInstance() {
  // The creation rectangle fixes the bar's thickness: 47 pixels tall on the top edge.
  CPanelWnd* panel = new CPanelWnd(velkin::Sys());
  const RECT rect = {0, 0, 150, 47};
  if (!panel->CreateBar(rect)) {
    // Without a window there is nothing to run: end the program rather than wait in a message
    // loop forever. The object is not touched again: a window that was begun and then destroyed
    // has deleted it already.
    return FALSE;
  }
  m_pMainWnd = panel;
  return TRUE;
}
