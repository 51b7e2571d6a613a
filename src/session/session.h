// The requests of the session and power commands: what each asks of Windows, on which Windows.
#ifndef VELKIN_SESSION_SESSION_H
#define VELKIN_SESSION_SESSION_H

#include "system/system.h"

namespace velkin {

enum class SessionCommand {
  kRestartWindows,  // restart Windows alone
  kRestartSystem,   // restart the machine
  kShutdown,        // shut down
};

// Asks Windows to end the session for `command`; true when the request was taken. Windows 9x:
// the 16-bit ExitWindows(0x42) for a restart of Windows alone, ExitWindowsEx(0x0A, 1) and
// ExitWindowsEx(0x01, 0) for the others. Windows NT has no 16-bit services: restarting Windows
// alone logs off (ExitWindowsEx(EWX_LOGOFF, 0)), the nearest it has; and a restart of the
// machine asks EWX_REBOOT alone (ExitWindowsEx(0x02, 1)), the request NT defines.
bool RequestSessionEnd(SystemServices& sys, SessionCommand command, bool windowsNT);

// Asks for suspend: SetSystemPowerState(FALSE, FALSE) on Windows 9x; on Windows NT, where FALSE
// would hibernate, (TRUE, FALSE): sleep, as the button says.
bool RequestSuspend(SystemServices& sys, bool windowsNT);

}  // namespace velkin

#endif
