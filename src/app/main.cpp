#include <windows.h>

#include "app/panel_app.h"
#include "system/win32_system.h"

// The entry point makes the program's two long-lived objects, the Win32 services and the
// application, and hands the services on; nothing looks them up.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int show) {
  velkin::Win32System system;
  CPanelApp app(system);
  return AfxWinMain(instance, show);
}
