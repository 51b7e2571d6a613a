// The system services interface: everything the program asks of the machine outside its own
// windows goes through here, so that tests can script the machine (a screen size, the shell's
// bars, later drives, memory and the Windows version) and can check what was requested without
// anything happening to the machine they run on.
#ifndef VELKIN_PLATFORM_SYSTEM_H
#define VELKIN_PLATFORM_SYSTEM_H

#include <cstdint>

#include "platform/types.h"

namespace velkin {

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // Size of the primary screen in pixels (GetSystemMetrics SM_CXSCREEN, SM_CYSCREEN).
  virtual Size ScreenSize() = 0;

  // Sends an app-bar message to the shell (SHAppBarMessage). The shell may change data.rc.
  virtual uintptr_t AppBarMessage(uint32_t message, AppBarRecord& data) = 0;
};

// The services the program uses. The program's entry point installs the Win32 implementation;
// tests install the scripted fake. SetSys(nullptr) leaves none installed.
SystemServices& Sys();
void SetSys(SystemServices* services);

}  // namespace velkin

#endif
