#include "session/session.h"

namespace velkin {

namespace {

constexpr uint32_t kRestartWindowsOnly = 0x42;  // EW_RESTARTWINDOWS
constexpr uint32_t kRebootFlags = 0x0A;         // EWX_REBOOT | EWX_POWEROFF
constexpr uint32_t kShutdownFlags = 0x01;       // EWX_SHUTDOWN
constexpr uint32_t kLogoffFlags = 0x00;         // EWX_LOGOFF

}  // namespace

bool RequestSessionEnd(SystemServices& sys, SessionCommand command, bool windowsNT) {
  switch (command) {
    case SessionCommand::kRestartWindows:
      return windowsNT ? sys.RequestExitWindows(kLogoffFlags, 0) : sys.RequestRestartWindows(kRestartWindowsOnly);
    case SessionCommand::kRestartSystem:
      return sys.RequestExitWindows(kRebootFlags, 1);
    case SessionCommand::kShutdown:
      return sys.RequestExitWindows(kShutdownFlags, 0);
  }
  return false;
}

bool RequestSuspend(SystemServices& sys, bool windowsNT) { return sys.RequestSuspend(windowsNT, false); }

}  // namespace velkin
