#include "app/panel_app.h"

#include "panel/panel_wnd.h"

BOOL CPanelApp::InitInstance() {
  bool endAsked = false;
  CPanelWnd* panel = CPanelWnd::CreatePanel(m_sys, &endAsked);
  // Without a window there is nothing to run: end the program rather than wait in a message
  // loop forever, saying why unless it was asked to end. The window fails where the system has
  // no room left for one (Windows 9x's USER heap full), and the box may fail then as well.
  if (panel == nullptr) {
    if (!endAsked)
      m_sys.ShowMessage(nullptr, "ウィンドウを作成できません。", CPanelWnd::kStartErrorCaption, MB_ICONHAND | MB_OK);
    return FALSE;
  }
  m_pMainWnd = panel;
  return TRUE;
}
