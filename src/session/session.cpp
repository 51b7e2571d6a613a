#include "session/session.h"

namespace velkin {

namespace {

constexpr uint32_t kRestartWindowsOnly = 0x42;  // EW_RESTARTWINDOWS
constexpr uint32_t kRebootFlags9x = 0x0A;       // EWX_REBOOT | EWX_POWEROFF, as Windows 9x takes it
constexpr uint32_t kRebootFlagsNT = 0x02;       // EWX_REBOOT: NT defines no reboot that also powers off
constexpr uint32_t kShutdownFlags = 0x01;       // EWX_SHUTDOWN
constexpr uint32_t kLogoffFlags = 0x00;         // EWX_LOGOFF

}  // namespace

bool RequestSessionEnd(SystemServices& sys, SessionCommand command, bool windowsNT) {
  switch (command) {
    case SessionCommand::kRestartWindows:
      return windowsNT ? sys.RequestExitWindows(kLogoffFlags, 0) : sys.RequestRestartWindows(kRestartWindowsOnly);
    case SessionCommand::kRestartSystem:
      return windowsNT ? sys.RequestExitWindows(kRebootFlagsNT, 1) : sys.RequestExitWindows(kRebootFlags9x, 1);
    case SessionCommand::kShutdown:
      return sys.RequestExitWindows(kShutdownFlags, 0);
  }
  return false;
}

bool RequestSuspend(SystemServices& sys, bool windowsNT) { return sys.RequestSuspend(windowsNT, false); }

}  // namespace velkin
