#include "panel/panel_state.h"

#include <gtest/gtest.h>

#include "readouts/format.h"

namespace velkin {
namespace {

// A file's values as an earlier version wrote them, odd units and names included.
StoredSettings FileValues() {
  StoredSettings stored;
  stored.drive = 1;
  stored.driveValid = true;
  stored.freeUnit = 7;
  stored.freeUnitName = "MBytes";
  stored.totalUnit = kUnitGBytes;
  stored.totalUnitName = "GBytes";
  stored.decimals = 3;
  stored.interval = 6;
  stored.intervalValid = true;
  stored.memoryUnit = -1;
  return stored;
}

// The file's values come back as they went in, whatever they pair; the window's corner is
// the window's.
TEST(PanelState, WritesBackWhatItRead) {
  PanelState state;
  state.Load(FileValues());
  state.SetDriveEntries({"C:\\", "D:\\"});
  EXPECT_TRUE(state.RestoreInterval());
  EXPECT_TRUE(state.RestoreDrive());
  EXPECT_EQ(state.WatchedDrive(), "D:\\");
  EXPECT_EQ(state.Period(), 5000u);
  StoredSettings want = FileValues();
  want.windowLeft = -4;
  want.windowTop = 12;
  const StoredSettings got = state.Stored(-4, 12);
  EXPECT_EQ(FormatSettings(got), FormatSettings(want));
  // What a line without a number leaves in place is the state as it stands.
  const StoredSettings initial = state.Initial();
  EXPECT_EQ(initial.freeUnit, 7);
  EXPECT_EQ(initial.totalUnit, kUnitGBytes);
  EXPECT_EQ(initial.decimals, 3);
  EXPECT_EQ(initial.memoryUnit, -1);
}

// A stored selection that is none of the entries gives way to "1秒" or the first entry; the
// drive entries are the fixed drives and then "All".
TEST(PanelState, RestoresEachSelectionOrItsStandIn) {
  struct Row {
    int32_t stored;
    bool valid;
    std::vector<std::string> drives;
    bool driveKept, intervalKept;
    int drive, interval;
    std::string watched;
  };
  const Row rows[] = {
      {0, true, {"C:\\"}, true, true, 0, 0, "C:\\"},
      {1, true, {"C:\\"}, true, true, 1, 1, "All"},      // "All" is an entry
      {2, true, {"C:\\"}, false, true, 0, 2, "C:\\"},    // one past the entries
      {-1, true, {"C:\\", "E:\\"}, false, false, 0, 4, "C:\\"},
      {7, true, {}, false, false, 0, 4, "All"},          // no fixed drive: "All" comes first
      {0, false, {"D:\\"}, false, false, 0, 4, "D:\\"},  // the line held no number
  };
  for (const Row& row : rows) {
    StoredSettings stored;
    stored.drive = stored.interval = row.stored;
    stored.driveValid = stored.intervalValid = row.valid;
    PanelState state;
    state.Load(stored);
    EXPECT_EQ(state.WatchedDrive(), "") << "nothing is watched before the entries are known";
    state.SetDriveEntries(row.drives);
    EXPECT_EQ(state.RestoreDrive(), row.driveKept) << row.stored;
    EXPECT_EQ(state.RestoreInterval(), row.intervalKept) << row.stored;
    EXPECT_EQ(state.Drive(), row.drive) << row.stored;
    EXPECT_EQ(state.Interval(), row.interval) << row.stored;
    EXPECT_EQ(state.WatchedDrive(), row.watched) << row.stored;
  }
}

// The file keeps no memory unit name: Bytes, kBytes and MBytes follow their index, any other
// index leaves the name as it was. A unit chosen from the menu takes its name from the table.
TEST(PanelState, NamesUnitsFromTheirIndex) {
  const std::pair<int32_t, std::string> memory[] = {{0, "Bytes"}, {1, "kBytes"}, {2, "MBytes"}, {3, "kBytes"}, {-1, "kBytes"}};
  for (const auto& row : memory) {
    PanelState state;
    state.ChooseMemoryUnit(kUnitKBytes);
    StoredSettings stored;
    stored.memoryUnit = row.first;
    state.Load(stored);
    EXPECT_EQ(state.MemoryUnit().unit, row.first);
    EXPECT_EQ(state.MemoryUnit().name, row.second) << row.first;
  }
  PanelState state;
  state.ChooseFreeSpaceUnit(kUnitGBytes);
  state.ChooseTotalCapacityUnit(kUnitBytes);
  EXPECT_EQ(state.FreeSpaceUnit().name, "GBytes");
  EXPECT_EQ(state.TotalCapacityUnit().name, "Bytes");
}

// Nothing is saved before start-up has loaded the state, nor over a file it could not read;
// an end asked for during start-up ends start-up.
TEST(PanelState, SavesOnlyWhatStartUpLoaded) {
  PanelState state;
  state.BeginStartUp();
  state.KeepExclusionFile(true);
  EXPECT_FALSE(state.MaySaveSettings());
  EXPECT_FALSE(state.EndAskedDuringStartUp());
  state.MarkLoaded();
  EXPECT_TRUE(state.MaySaveSettings());
  EXPECT_FALSE(state.MaySaveExclusions());
  EXPECT_TRUE(state.StartingUp());
  state.AskToEnd();
  EXPECT_TRUE(state.EndAskedDuringStartUp());
  EXPECT_FALSE(state.StartingUp());
}

}  // namespace
}  // namespace velkin
