// The readouts in the real panel window on the scripted machine: creation order, ticks, the
// selectors, the unit and decimal commands, the version and the optional functions.
#include "bar_fixture.h"
#include "tests/support/expected_layout.h"

namespace {

// The machine of every panel test: drive C: of 3 GiB, 64 MiB of memory, 7 % of resources free.
using ReadoutTest = BarTest;

TEST_F(ReadoutTest, CreationMeasuresInOrderThenStartsTheTimer) {
  CreatePanel();
  const size_t version = Position("LoadModule KERNEL32");
  // One query of the drive serves both drive readouts.
  const size_t drive = Position("DiskFreeSpaceEx C:\\ free total");
  const size_t memory = Position("GlobalMemoryStatus");
  const size_t resources = Position("FreeSystemResources 0");
  const size_t timer = Position("StartTimer 1 1000");
  ASSERT_NE(timer, std::string::npos);
  EXPECT_EQ(fake_.CountQueries("DiskFreeSpaceEx"), 1u);
  EXPECT_LT(version, drive);
  EXPECT_LT(drive, memory);
  EXPECT_LT(memory, resources);
  EXPECT_LT(resources, timer);
  EXPECT_EQ(fake_.CountQueries("StartTimer"), 1u);
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 1000u);
  // First-run units: whole bytes.
  EXPECT_EQ(Values(), (std::vector<std::string>{"335544320 Bytes", "3221225472 Bytes", "  7 ％", "67108864 Bytes"}));
  EXPECT_TRUE(fake_.messages.empty());
}

TEST_F(ReadoutTest, SelectorsListTheIntervalsAndTheFixedDrives) {
  velkin::FakeSystem::Drive cdrom;
  cdrom.type = 5;
  fake_.drives['E'] = cdrom;
  fake_.drives['D'] = fake_.drives['C'];
  CreatePanel();
  ASSERT_EQ(EntryCount(IDC_INTERVAL), expected_layout::kIntervalEntryCount);
  for (int i = 0; i < expected_layout::kIntervalEntryCount; ++i) {
    EXPECT_EQ(Entry(IDC_INTERVAL, i), expected_layout::kIntervalEntries[i]);
  }
  EXPECT_EQ(Selection(IDC_INTERVAL), expected_layout::kDefaultInterval);
  const char* drives[] = {"C:\\", "D:\\", expected_layout::kAllDrivesEntry};
  ASSERT_EQ(EntryCount(IDC_DRIVE), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Entry(IDC_DRIVE, i), drives[i]);
  EXPECT_EQ(Selection(IDC_DRIVE), 0);
}

TEST_F(ReadoutTest, ATickRunsTheFourReadoutsInOrderAndOtherTimersNone) {
  CreatePanel();
  fake_.queries.clear();
  Tick(1);
  EXPECT_EQ(fake_.queries, (std::vector<std::string>{"DiskFreeSpaceEx C:\\ free total", "FreeSystemResources 0",
                                                     "GlobalMemoryStatus"}));
  fake_.queries.clear();
  fake_.drives['C'].freeBytes = kGiB;
  const std::vector<std::string> before = Values();
  Tick(2);
  Tick(0);
  EXPECT_TRUE(fake_.queries.empty());
  EXPECT_EQ(Values(), before);
}

TEST_F(ReadoutTest, ATickThatChangesNothingSetsNoTextAndAChangeSetsOne) {
  CreatePanel();
  const long before = AfxTextSetCount();
  Tick();
  Tick();
  EXPECT_EQ(AfxTextSetCount(), before);
  fake_.drives['C'].freeBytes = 321 * kMiB;
  Tick();
  EXPECT_EQ(AfxTextSetCount(), before + 1);
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "336592896 Bytes");
  fake_.freeSystemResources = 100;
  fake_.availablePhysicalMemory = 1;
  Tick();
  EXPECT_EQ(AfxTextSetCount(), before + 3);
  EXPECT_EQ(Text(IDC_RESOURCE_VALUE), "100 ％");
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "1 Bytes");
}

TEST_F(ReadoutTest, TheBarTellsItsTicksAndTextSetsWhenAsked) {
  CreatePanel();
  const UINT statistics = RegisterWindowMessageA("VelkinStatistics");
  const LRESULT sets = SendMessageA(hwnd_, statistics, 0, 0);
  EXPECT_EQ(sets, AfxTextSetCount());
  EXPECT_EQ(SendMessageA(hwnd_, statistics, 1, 0), 0);
  Tick();
  Tick(2);
  fake_.freeSystemResources = 55;
  Tick();
  EXPECT_EQ(SendMessageA(hwnd_, statistics, 1, 0), 2) << "refresh ticks only";
  EXPECT_EQ(SendMessageA(hwnd_, statistics, 0, 0), sets + 1);
  EXPECT_EQ(SendMessageA(hwnd_, statistics, 7, 0), 0);
}

TEST_F(ReadoutTest, AnIntervalChangeRestartsTheTimerAtOnce) {
  CreatePanel();
  fake_.queries.clear();
  Select(IDC_INTERVAL, 0);
  EXPECT_EQ(fake_.queries, (std::vector<std::string>{"StopTimer 1", "StartTimer 1 50"}));
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 50u);
  Select(IDC_INTERVAL, 6);
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 5000u);
  // No selection: the timer stops and stays stopped.
  fake_.queries.clear();
  Select(IDC_INTERVAL, -1);
  EXPECT_EQ(fake_.queries, (std::vector<std::string>{"StopTimer 1"}));
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 0u);
  Select(IDC_INTERVAL, 4);
  EXPECT_EQ(fake_.TimerPeriod(hwnd_, 1), 1000u);
}

TEST_F(ReadoutTest, ADriveChangeShowsFromTheNextTick) {
  fake_.drives['D'] = fake_.drives['C'];
  fake_.drives['D'].freeBytes = 2 * kGiB;
  CreatePanel();
  const long before = AfxTextSetCount();
  Select(IDC_DRIVE, 2);
  EXPECT_EQ(AfxTextSetCount(), before) << "nothing is redrawn by the choice itself";
  Tick();
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), std::to_string(2 * kGiB + 320 * kMiB) + " Bytes");
  EXPECT_EQ(Text(IDC_TOTALCAP_VALUE), std::to_string(6 * kGiB) + " Bytes");
  Select(IDC_DRIVE, 1);
  Tick();
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), std::to_string(2 * kGiB) + " Bytes");
}

TEST_F(ReadoutTest, ADeviceChangeListsTheDrivesAtTheNextTick) {
  CreatePanel();
  Select(IDC_DRIVE, 1);  // All
  // Each step: a drive copied from C:\ before the tick (0: none), whether the system announced
  // a device first, how far the clock moved, and the free space All shows after the tick.
  struct Step { char added; bool deviceChange; uint32_t elapsed; uint64_t shownMiB; };
  const Step steps[] = {
      {0, false, 5000, 320},
      {'D', false, 50, 320},  // a new drive within the list's half second is not seen yet...
      {0, true, 50, 640},     // ...unless the system says that a device arrived
      {'F', false, 1000, 960},  // at a 1 s interval every tick lists anew
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.shownMiB);
    if (step.added != 0) fake_.drives[step.added] = fake_.drives['C'];
    if (step.deviceChange) SendMessageA(hwnd_, WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
    fake_.tickCount += step.elapsed;
    Tick();
    EXPECT_EQ(Text(IDC_FREESPACE_VALUE), std::to_string(step.shownMiB * kMiB) + " Bytes");
  }
}

TEST_F(ReadoutTest, AUnitCommandRedrawsItsReadoutAtOnceAndNoOther) {
  CreatePanel();
  const struct { UINT command; int control; const char* text; } rows[] = {
      {ID_FREEUNIT_KBYTES, IDC_FREESPACE_VALUE, "327680.00 kBytes"},
      {ID_FREEUNIT_MBYTES, IDC_FREESPACE_VALUE, "320.00 MBytes"},
      {ID_FREEUNIT_GBYTES, IDC_FREESPACE_VALUE, "0.31 GBytes"},
      {ID_FREEUNIT_BYTES, IDC_FREESPACE_VALUE, "335544320 Bytes"},
      {ID_TOTALUNIT_KBYTES, IDC_TOTALCAP_VALUE, "3145728.00 kBytes"},
      {ID_TOTALUNIT_MBYTES, IDC_TOTALCAP_VALUE, "3072.00 MBytes"},
      {ID_TOTALUNIT_GBYTES, IDC_TOTALCAP_VALUE, "3.00 GBytes"},
      {ID_TOTALUNIT_BYTES, IDC_TOTALCAP_VALUE, "3221225472 Bytes"},
      {ID_MEMUNIT_KBYTES, IDC_MEMORY_VALUE, "65536.00 kBytes"},
      {ID_MEMUNIT_MBYTES, IDC_MEMORY_VALUE, "64.00 MBytes"},
      {ID_MEMUNIT_BYTES, IDC_MEMORY_VALUE, "67108864 Bytes"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    std::vector<std::string> expected = Values();
    const int slot = row.control == IDC_FREESPACE_VALUE ? 0 : row.control == IDC_TOTALCAP_VALUE ? 1 : 3;
    const bool changes = expected[slot] != row.text;
    expected[slot] = row.text;
    const long before = AfxTextSetCount();
    Command(row.command);
    EXPECT_EQ(Values(), expected);
    EXPECT_EQ(AfxTextSetCount(), before + (changes ? 1 : 0));
  }
  // The units are kept for the ticks.
  Command(ID_FREEUNIT_GBYTES);
  Command(ID_MEMUNIT_MBYTES);
  Tick();
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "0.31 GBytes");
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "64.00 MBytes");
}

TEST_F(ReadoutTest, DecimalCommandsRedrawNothingUntilTheNextReadout) {
  CreatePanel();
  Command(ID_FREEUNIT_GBYTES);
  Command(ID_TOTALUNIT_GBYTES);
  const std::vector<std::string> before = Values();
  const long sets = AfxTextSetCount();
  Command(ID_DECIMALS_4);
  EXPECT_EQ(Values(), before);
  EXPECT_EQ(AfxTextSetCount(), sets);
  Tick();
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "0.3125 GBytes");
  EXPECT_EQ(Text(IDC_TOTALCAP_VALUE), "3.0000 GBytes");
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "67108864 Bytes") << "whole bytes have no decimals";
  // No decimals, and a unit command shows it at once.
  Command(ID_DECIMALS_0);
  Command(ID_FREEUNIT_KBYTES);
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "327680 kBytes");
  EXPECT_EQ(Text(IDC_TOTALCAP_VALUE), "3.0000 GBytes");
  // Each command takes its own number of places.
  const char* const places[] = {"3 GBytes", "3.0 GBytes", "3.00 GBytes", "3.000 GBytes", "3.0000 GBytes"};
  for (UINT id = ID_DECIMALS_0; id <= ID_DECIMALS_4; ++id) {
    Command(id);
    Tick();
    EXPECT_EQ(Text(IDC_TOTALCAP_VALUE), places[id - ID_DECIMALS_0]);
  }
}

TEST_F(ReadoutTest, AnInvalidUnitShowsTheErrorAtEveryTick) {
  // Units no menu offers, from an edited settings file.
  fake_.files[kSettingsPath] = SettingsWith({{kFreeUnit, "7"}, {kMemoryUnit, "-1"}});
  CreatePanel();
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "ERROR!!");
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "ERROR!!");
  Tick();
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "ERROR!!") << "the unit is kept";
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "ERROR!!");
  Command(ID_FREEUNIT_MBYTES);
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "320.00 MBytes");
}

TEST_F(ReadoutTest, TheSuspendButtonShowsOnWindows98Only) {
  const struct { velkin::WindowsVersion version; bool visible; bool largeDisk; } rows[] = {
      {{4, 0, 950, 1}, false, false}, {{4, 0, 1111, 1}, false, true}, {{4, 10, 1998, 1}, true, true},
              {{4, 10, 2222, 1}, true, true}, {{6, 1, 7601, 2}, true, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.version.build);
    fake_.version = row.version;
    CreatePanel();
    HWND suspend = GetDlgItem(hwnd_, IDC_SUSPEND);
    ASSERT_NE(suspend, nullptr) << "the button exists either way";
    EXPECT_EQ(IsWindowVisible(suspend) != FALSE, row.visible);
    EXPECT_EQ((GetWindowLongA(suspend, GWL_STYLE) & WS_VISIBLE) != 0, row.visible);
    EXPECT_EQ(fake_.CountQueries("DiskFreeSpaceEx") != 0, row.largeDisk) << "the 64-bit query from OSR2 on";
    // The other buttons keep their places.
    EXPECT_EQ(PlaceOf(IDC_RESTARTWINDOWS).left, expected_layout::FindControl(IDC_RESTARTWINDOWS)->place.left);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd_, IDC_EXIT)));
  }
}

TEST_F(ReadoutTest, WithoutLargeDisksTheClusterQueryMeasuresAndNothingIsProbed) {
  fake_.version = {4, 0, 950, 1};
  fake_.libraries.erase("KERNEL32");
  CreatePanel();
  EXPECT_TRUE(fake_.messages.empty());
  EXPECT_EQ(fake_.CountQueries("DiskFreeSpaceEx"), 0u);
  EXPECT_GT(fake_.CountQueries("DiskFreeSpace"), 0u);
  EXPECT_EQ(Text(IDC_FREESPACE_VALUE), "335544320 Bytes");
  EXPECT_TRUE(IsWindow(hwnd_));
}

TEST_F(ReadoutTest, AFailedProbeSaysWhyAndEndsTheProgram) {
  const struct { bool library; const char* text; } rows[] = {
      {false, "KERNEL32.DLLをロードできません。"}, {true, "メソッドのアドレスを取得できません。"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    fake_.messages.clear();
    fake_.queries.clear();
    fake_.badCalls = 0;
    if (row.library) {
      fake_.libraries["KERNEL32"] = {};
    } else {
      fake_.libraries.erase("KERNEL32");
    }
    CreatePanel();
    ASSERT_TRUE(ShowedOneBox(fake_, row.text, "プログラム開始エラー", MB_ICONHAND | MB_OK));
    EXPECT_EQ(fake_.messages[0].owner, hwnd_);
    // Creation went on to the first readouts, which measured with the cluster query and never
    // called the missing one; then the posted close ended the bar.
    EXPECT_EQ(fake_.badCalls, 0);
    EXPECT_EQ(fake_.CountQueries("DiskFreeSpaceEx"), 0u);
    EXPECT_EQ(fake_.CountQueries("DiskFreeSpace"), 1u);
    EXPECT_NE(Position("StartTimer"), std::string::npos);
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(fake_.FindBar(hwnd_), nullptr);
  }
}

TEST_F(ReadoutTest, ResourcesReadDisableWithoutTheLibraryOrItsFunction) {
  const struct { bool library; bool function; const char* text; } rows[] = {
      {false, false, "Disable"}, {true, false, "Disable"}, {true, true, "  7 ％"}};
  for (const auto& row : rows) {
    if (!row.library) {
      fake_.libraries.erase("RSRC32");
    } else {
      fake_.libraries["RSRC32"] = row.function ? std::vector<std::string>{"_MyGetFreeSystemResources32@4"}
                                               : std::vector<std::string>{};
    }
    CreatePanel();
    EXPECT_EQ(Text(IDC_RESOURCE_VALUE), row.text);
    Tick();
    EXPECT_EQ(Text(IDC_RESOURCE_VALUE), row.text);
    EXPECT_TRUE(fake_.messages.empty());
    EXPECT_EQ(fake_.badCalls, 0);
  }
}

TEST_F(ReadoutTest, AfterTheLibrariesAreReleasedTheReadoutsLoadThemAgain) {
  fake_.libraries["KERNEL32"].push_back("GlobalMemoryStatusEx");
  fake_.availablePhysicalMemoryEx = 5 * kGiB;
  CreatePanel();
  EXPECT_EQ(Text(IDC_MEMORY_VALUE), "5368709120 Bytes") << "the extended memory query";
  const std::vector<std::string> before = Values();
  // A session end that is called off releases the libraries and goes on refreshing.
  SendMessageA(hwnd_, WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(fake_.LoadedModuleCount(), 0);
  Tick();
  EXPECT_EQ(fake_.badCalls, 0) << "no call into a released library";
  EXPECT_EQ(Values(), before);
  EXPECT_EQ(fake_.LoadedModuleCount(), 3);
}

TEST_F(ReadoutTest, TheVersionDialogShowsTheVersionAndWhatItSupports) {
  const struct { velkin::WindowsVersion version; const char* text; const char* disk; const char* suspend; } rows[] = {
      {{4, 10, 1998, 1}, "Windowsのバージョン：4.10.1998 [Windows 98]",
       "Windows 95 OSR2以上なので\r\n2GB以上のディスクをサポートします。",
       "このバージョンではサスペンドモードを正式にサポートしています。"},
      {{4, 0, 950, 1}, "Windowsのバージョン：4.00.950 [Windows 95]",
       "Windows 95のバージョンが古いので\r\n2GB以上のディスクをサポートしません。",
       "このバージョンではサスペンドモードを正式にサポートしていません。"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    fake_.version = row.version;
    CreatePanel();
    for (int showing = 0; showing < 2; ++showing) {
      std::string version, disk, suspend, caption;
      const bool shown = WithDialog(
          "Windowsバージョン情報",
          [&](HWND dialog) {
            version = TextOf(GetDlgItem(dialog, IDC_VERSION_TEXT));
            disk = TextOf(GetDlgItem(dialog, IDC_DISKSUPPORT_TEXT));
            suspend = TextOf(GetDlgItem(dialog, IDC_SUSPENDSUPPORT_TEXT));
            EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_VERSION_OK)), "了解");
            SendMessageA(GetDlgItem(dialog, IDC_VERSION_OK), BM_CLICK, 0, 0);
          },
          [&] { Command(ID_WINVERSION); });
      ASSERT_TRUE(shown);
      EXPECT_EQ(version, row.text);
      EXPECT_EQ(disk, row.disk);
      EXPECT_EQ(suspend, row.suspend);
    }
    EXPECT_TRUE(IsWindow(hwnd_));
  }
}

}  // namespace
