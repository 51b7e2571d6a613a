#include "settings/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

const std::string kStored = "1\r\n3\r\nGBytes\r\n2\r\nMBytes\r\n4\r\n6\r\n0\r\n0\r\n1\r\n2\r\n";

// Which start the settings file makes, what it says, and what the panel is to take.
TEST(SettingsAtStart, AMissingFileWelcomesAnUnreadableOneWarnsAndIsKept) {
  const struct {
    const char* name;
    bool there;
    bool readable;
    const char* bytes;
    const char* caption;  // nullptr: no box
    bool keep;
    int32_t interval, decimals;
  } rows[] = {
      {"no file: a first start", false, true, "", "Welcome to Velkin!", false, 4, 2},
      {"a file with no line: the settings were lost", true, true, "", "Welcome to Velkin!", false, 4, 2},
      {"a file held open by another program", true, false, "", "警告", true, 4, 2},
      {"the stored settings", true, true, kStored.c_str(), nullptr, false, 6, 4},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeSystem fake;
    if (row.there) fake.files[kSettingsPath] = row.bytes;
    if (!row.readable) fake.unreadable.insert(kSettingsPath);
    StoredSettings initial;
    initial.memoryUnit = 1;  // the defaults leave the memory unit as it is
    const SettingsAtStart start = ReadSettingsAtStart(fake, initial);
    EXPECT_EQ(start.notice.caption == nullptr, row.caption == nullptr);
    if (row.caption != nullptr && start.notice.caption != nullptr) {
      EXPECT_EQ(std::string(start.notice.caption), row.caption);
    }
    EXPECT_EQ(start.keepFile, row.keep);
    EXPECT_TRUE(start.settings.intervalValid && start.settings.driveValid);
    EXPECT_EQ(start.settings.interval, row.interval);
    EXPECT_EQ(start.settings.decimals, row.decimals);
    EXPECT_EQ(start.settings.memoryUnit, row.bytes == kStored.c_str() ? 2 : 1);
    EXPECT_EQ(start.settings.freeUnitName, row.bytes == kStored.c_str() ? "GBytes" : "Bytes");
  }
}

TEST(ExclusionsAtStart, AMissingListIsEmptyAndSilentAnUnreadableOneIsKept) {
  FakeSystem fake;
  ExclusionsAtStart start = ReadExclusionsAtStart(fake);
  EXPECT_EQ(start.list.Count(), 0);
  EXPECT_EQ(start.notice.text, nullptr);
  EXPECT_FALSE(start.keepFile);
  fake.files[kExclusionPath] = "電卓\r\n\r\nメモ帳\r\n";
  start = ReadExclusionsAtStart(fake);
  EXPECT_EQ(start.list.Titles(), (std::vector<std::string>{"電卓", "メモ帳"}));
  EXPECT_EQ(start.notice.text, nullptr);
  fake.unreadable.insert(kExclusionPath);
  start = ReadExclusionsAtStart(fake);
  EXPECT_EQ(start.list.Count(), 0);
  EXPECT_TRUE(start.keepFile);
  ASSERT_NE(start.notice.caption, nullptr);
  EXPECT_EQ(std::string(start.notice.caption), "警告");
}

}  // namespace
}  // namespace velkin
