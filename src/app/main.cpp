#include <windows.h>

#include "app/panel_app.h"
#include "system/win32_system.h"

namespace {
CPanelApp theApp;
velkin::Win32System theSystem;
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int show) {
  velkin::SetSys(&theSystem);
  return AfxWinMain(instance, show);
}
