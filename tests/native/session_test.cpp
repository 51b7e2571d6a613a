#include "session/session.h"

#include <gtest/gtest.h>

#include "tests/support/fake_system.h"

namespace velkin {
namespace {

// What each command asks on each family of Windows, and that a refusal is passed on.
TEST(Session, EachCommandAsksWhatItsWindowsCanDo) {
  const struct {
    SessionCommand command;
    bool windowsNT;
    const char* request;
  } rows[] = {
      {SessionCommand::kRestartWindows, false, "ExitWindows16 0x42"},
      {SessionCommand::kRestartWindows, true, "ExitWindowsEx 0x00 0"},
      {SessionCommand::kRestartSystem, false, "ExitWindowsEx 0x0A 1"},
      {SessionCommand::kRestartSystem, true, "ExitWindowsEx 0x02 1"},
      {SessionCommand::kShutdown, false, "ExitWindowsEx 0x01 0"},
      {SessionCommand::kShutdown, true, "ExitWindowsEx 0x01 0"},
  };
  for (const auto& row : rows) {
    for (const bool taken : {true, false}) {
      FakeSystem fake;
      fake.requestsTaken = taken;
      EXPECT_EQ(RequestSessionEnd(fake, row.command, row.windowsNT), taken) << row.request;
      EXPECT_EQ(fake.queries, (std::vector<std::string>{row.request}));
    }
  }
  for (const auto& row : {std::make_pair(false, "SetSystemPowerState 0 0"), std::make_pair(true, "SetSystemPowerState 1 0")}) {
    FakeSystem fake;
    EXPECT_TRUE(RequestSuspend(fake, row.first));
    EXPECT_EQ(fake.queries, (std::vector<std::string>{row.second}));
  }
}

}  // namespace
}  // namespace velkin
