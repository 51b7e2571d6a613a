#include "readouts/measure.h"

#include <gtest/gtest.h>

#include <utility>

#include "readouts/intervals.h"
#include "system/optional_function.h"
#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

using Figures = std::pair<uint64_t, uint64_t>;  // free space, capacity

// The library and function of the free-resources readout (Windows 9x).
constexpr const char* kResourceLibrary = "RSRC32";
constexpr const char* kResourceFunction = "_MyGetFreeSystemResources32@4";

class MeasureTest : public WithFakeSystem {
 protected:
  ProcAddress Extended() {
    EXPECT_EQ(extended_.Resolve(fake_), OptionalFunction::Lookup::kFound);
    return extended_.Get(fake_);
  }

  // What one measuring of `selected` shows: the free space and the capacity.
  Figures Measure(const std::string& selected, ProcAddress extended) {
    const DriveSpace space = meter_.Measure(fake_, selected, extended);
    return Figures(space.freeBytes, space.totalBytes);
  }

  OptionalFunction extended_{"KERNEL32", "GetDiskFreeSpaceExA"};
  DriveMeter meter_;
};

TEST_F(MeasureTest, ListsTheFixedDrivesInLetterOrder) {
  fake_.drives['D'] = FixedDrive(kGiB, 2 * kGiB);
  fake_.drives['C'] = FixedDrive(kGiB, 2 * kGiB);
  fake_.drives['E'] = DriveOfType(5);  // CD-ROM
  fake_.drives['A'] = DriveOfType(2);  // removable
  fake_.drives['Z'] = DriveOfType(4);  // remote
  EXPECT_EQ(FixedDrives(fake_), (std::vector<std::string>{"C:\\", "D:\\"}));
  // Only the five letters that exist are asked for their kind.
  EXPECT_EQ(fake_.CountQueries("DriveType"), 5u);
  EXPECT_EQ(fake_.CountQueries("LogicalDrives"), 1u);
  // Where the letters cannot be told, all 26 are asked, with the same result.
  fake_.logicalDrivesUnknown = true;
  fake_.queries.clear();
  EXPECT_EQ(FixedDrives(fake_), (std::vector<std::string>{"C:\\", "D:\\"}));
  EXPECT_EQ(fake_.CountQueries("DriveType"), 26u);
}

TEST_F(MeasureTest, AMachineWithoutFixedDrivesMeasuresNothing) {
  EXPECT_TRUE(FixedDrives(fake_).empty());
  EXPECT_EQ(Measure(kAllDrives, Extended()), Figures(0, 0));
  EXPECT_EQ(Measure(kAllDrives, nullptr), Figures(0, 0));
}

// One measuring asks each drive once, for both figures, on either path: one drive or every
// fixed drive of "All" (the CD-ROM drive is not asked).
TEST_F(MeasureTest, EachDriveIsAskedOnceForBothFiguresOnBothPaths) {
  fake_.drives['C'] = FixedDrive(3 * kGiB, 10 * kGiB);
  const ProcAddress extended = Extended();
  const std::vector<std::string> cAlone = {"C:\\"};
  const std::vector<std::string> all = {"C:\\", "D:\\", "F:\\"};
  struct Row {
    const char* selected;
    bool extended;
    Figures figures;
    const std::vector<std::string>& asked;
  };
  // Three drives with 1.5 GiB free each for "All": 4.5 GiB, more than 32 bits hold.
  const Row rows[] = {
      {"C:\\", true, Figures(3 * kGiB, 10 * kGiB), cAlone},
      {"C:\\", false, Figures(3 * kGiB, 10 * kGiB), cAlone},
      {kAllDrives, true, Figures(9 * kGiB / 2, 9 * kGiB), all},
      {kAllDrives, false, Figures(9 * kGiB / 2, 9 * kGiB), all},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.selected) + (row.extended ? " extended" : " clusters"));
    if (row.selected == std::string(kAllDrives)) {
      for (char letter : {'C', 'D', 'F'}) fake_.drives[letter] = FixedDrive(3 * kGiB / 2, 3 * kGiB);
      fake_.drives['E'] = DriveOfType(5, kGiB, kGiB);  // CD-ROM
    }
    fake_.queries.clear();
    EXPECT_EQ(Measure(row.selected, row.extended ? extended : nullptr), row.figures);
    std::vector<std::string> expected;
    for (const std::string& root : row.asked) {
      expected.push_back((row.extended ? "DiskFreeSpaceEx " : "DiskFreeSpace ") + root + " free total");
    }
    EXPECT_EQ(QueriesStartingWith(fake_, "DiskFreeSpace"), expected);
  }
  EXPECT_EQ(fake_.badCalls, 0);
}

TEST_F(MeasureTest, TheClusterProductIsTakenIn64Bits) {
  FakeSystem::Drive big;
  big.sectorsPerCluster = 64;
  big.bytesPerSector = 512;
  big.freeClusters = 0x00100000;   // 2^20 clusters of 32 KiB: 32 GiB
  big.totalClusters = 0xFFFFFFFFu;
  fake_.drives['C'] = big;
  EXPECT_EQ(Measure("C:\\", nullptr), Figures(32 * kGiB, uint64_t{0xFFFFFFFFu} * 32768));
  // Absurd figures stop at the largest count instead of wrapping.
  big.sectorsPerCluster = 0xFFFFFFFFu;
  big.bytesPerSector = 0xFFFFFFFFu;
  big.freeClusters = 1;
  fake_.drives['C'] = big;
  EXPECT_EQ(Measure("C:\\", nullptr), Figures(uint64_t{0xFFFFFFFFu} * 0xFFFFFFFFu, UINT64_MAX));
}

TEST_F(MeasureTest, AFailingDriveAddsNothingToAll) {
  fake_.drives['C'] = FixedDrive(2 * kGiB, 4 * kGiB);
  fake_.drives['D'] = FixedDrive(5 * kGiB, 8 * kGiB);
  const ProcAddress extended = Extended();
  EXPECT_EQ(Measure(kAllDrives, extended), Figures(7 * kGiB, 12 * kGiB));
  fake_.drives['D'].fails = true;
  EXPECT_EQ(Measure(kAllDrives, extended), Figures(2 * kGiB, 4 * kGiB));
  EXPECT_EQ(Measure(kAllDrives, nullptr), Figures(2 * kGiB, 4 * kGiB));
  // D alone then shows its own last figures, from the "All" it answered, untouched by the ones it failed.
  EXPECT_EQ(Measure("D:\\", extended), Figures(5 * kGiB, 8 * kGiB));
}

TEST_F(MeasureTest, AFailedQueryShowsThatDrivesOwnLastFigures) {
  fake_.drives['C'] = FixedDrive(2 * kGiB, 4 * kGiB);
  fake_.drives['D'] = FixedDrive(5 * kGiB, 8 * kGiB);
  const ProcAddress extended = Extended();
  // Before any success: 0, not the figures of another drive.
  fake_.drives['D'].fails = true;
  EXPECT_EQ(Measure("C:\\", extended), Figures(2 * kGiB, 4 * kGiB));
  EXPECT_EQ(Measure("D:\\", extended), Figures(0, 0));
  fake_.drives['D'].fails = false;
  EXPECT_EQ(Measure("D:\\", extended), Figures(5 * kGiB, 8 * kGiB));
  EXPECT_EQ(Measure("C:\\", extended), Figures(2 * kGiB, 4 * kGiB));
  // D fails now: its own last figures stand, not C's.
  fake_.drives['D'].fails = true;
  fake_.drives['D'].freeBytes = 1;
  EXPECT_EQ(Measure("D:\\", extended), Figures(5 * kGiB, 8 * kGiB));
  // A drive that vanished from the machine: its last figures too.
  fake_.drives.erase('D');
  EXPECT_EQ(Measure("D:\\", nullptr), Figures(5 * kGiB, 8 * kGiB));
  // What "All" measured counts as each drive's last figures.
  fake_.drives['D'] = FixedDrive(6 * kGiB, 7 * kGiB);
  EXPECT_EQ(Measure(kAllDrives, extended), Figures(8 * kGiB, 11 * kGiB));
  fake_.drives['D'].fails = true;
  EXPECT_EQ(Measure("D:\\", extended), Figures(6 * kGiB, 7 * kGiB));
}

TEST_F(MeasureTest, AllListsTheDrivesAgainOnlyWhenItsListIsOld) {
  fake_.drives['C'] = FixedDrive(2 * kGiB, 4 * kGiB);
  fake_.drives['E'] = DriveOfType(5, kGiB, kGiB);  // CD-ROM
  const ProcAddress extended = Extended();
  // Each step: the clock, whether the drives were told to be forgotten, D added as a fixed
  // drive before the step, and the free space "All" shows after it. C:\ alone, then C:\ and D:\.
  struct Step {
    uint32_t clock;
    bool forget;
    bool addD;
    uint64_t free;
    size_t listings;  // LogicalDrives asked in the step
  };
  const Step steps[] = {
      {0xFFFFFE00u, false, false, 2 * kGiB, 1},  // the first "All" lists
      {0xFFFFFE00u + 100, false, true, 2 * kGiB, 0},  // D came, the list is 100 ms old
      {0xFFFFFE00u + kDriveListLifetime - 1, false, false, 2 * kGiB, 0},
      {0xFFFFFE00u + kDriveListLifetime, false, false, 7 * kGiB, 1},  // old: listed again
      {0x00000100u, false, false, 7 * kGiB, 0},  // 268 ms later, across the clock's wrap
      {0xFFFFFFF4u + kDriveListLifetime, false, false, 7 * kGiB, 1},  // old again, across the wrap
      {0xFFFFFFF4u + kDriveListLifetime, true, false, 7 * kGiB, 1},   // a device came or went
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.clock);
    fake_.tickCount = step.clock;
    if (step.addD) fake_.drives['D'] = FixedDrive(5 * kGiB, 8 * kGiB);
    if (step.forget) meter_.ForgetDrives();
    fake_.queries.clear();
    EXPECT_EQ(Measure(kAllDrives, extended).first, step.free);
    EXPECT_EQ(fake_.CountQueries("LogicalDrives"), step.listings);
    EXPECT_EQ(fake_.CountQueries("DriveType"), step.listings * (fake_.drives.size()));
  }
  // A drive that went away while listed is asked, fails, and adds nothing.
  fake_.drives.erase('D');
  EXPECT_EQ(Measure(kAllDrives, extended), Figures(2 * kGiB, 4 * kGiB));
  // One drive selected: nothing is listed.
  fake_.queries.clear();
  fake_.tickCount += 10 * kDriveListLifetime;
  Measure("C:\\", extended);
  EXPECT_EQ(fake_.CountQueries("LogicalDrives"), 0u);
}

TEST_F(MeasureTest, AllIsMatchedExactly) {
  fake_.drives['C'] = FixedDrive(2 * kGiB, 4 * kGiB);
  // "all" is no drive and no sum: a failed query of a drive never measured.
  EXPECT_EQ(Measure("all", nullptr), Figures(0, 0));
  EXPECT_EQ(Measure("All ", nullptr), Figures(0, 0));
  EXPECT_EQ(Measure("All", nullptr), Figures(2 * kGiB, 4 * kGiB));
}

TEST(FreeMemory, PrefersTheExtendedQueryAndFallsBack) {
  FakeSystem fake;
  fake.availablePhysicalMemory = 0x7FFFFFFF;  // what a 32-bit program sees past 2 GiB
  fake.availablePhysicalMemoryEx = 12 * kGiB;
  fake.libraries["KERNEL32"].push_back("GlobalMemoryStatusEx");
  OptionalFunction ex("KERNEL32", "GlobalMemoryStatusEx");
  ASSERT_EQ(ex.Resolve(fake), OptionalFunction::Lookup::kFound);
  EXPECT_EQ(MeasureFreeMemory(fake, ex.Get(fake)), 12 * kGiB);
  EXPECT_EQ(MeasureFreeMemory(fake, nullptr), 0x7FFFFFFFu);

  // Windows 9x: no extended query, the 32-bit figure as it is.
  FakeSystem win98;
  win98.availablePhysicalMemory = 64u << 20;
  OptionalFunction missing("KERNEL32", "GlobalMemoryStatusEx");
  EXPECT_EQ(missing.Resolve(win98), OptionalFunction::Lookup::kNoFunction);
  EXPECT_EQ(MeasureFreeMemory(win98, missing.Get(win98)), 64u << 20);
  EXPECT_EQ(win98.CountQueries("GlobalMemoryStatusEx"), 0u);
  EXPECT_EQ(win98.badCalls, 0);
}

using OptionalFunctionTest = WithFakeSystem;

TEST_F(OptionalFunctionTest, TellsWhatIsMissing) {
  OptionalFunction resources(kResourceLibrary, kResourceFunction);
  EXPECT_EQ(resources.Resolve(fake_), OptionalFunction::Lookup::kFound);
  EXPECT_NE(resources.Get(fake_), nullptr);

  fake_.libraries.erase(kResourceLibrary);
  OptionalFunction noLibrary(kResourceLibrary, kResourceFunction);
  EXPECT_EQ(noLibrary.Resolve(fake_), OptionalFunction::Lookup::kNoLibrary);
  EXPECT_EQ(noLibrary.Get(fake_), nullptr);

  fake_.libraries[kResourceLibrary] = {};
  OptionalFunction noFunction(kResourceLibrary, kResourceFunction);
  EXPECT_EQ(noFunction.Resolve(fake_), OptionalFunction::Lookup::kNoFunction);
  EXPECT_EQ(noFunction.Get(fake_), nullptr);
  // A missing function is not looked for again at every readout.
  const size_t loads = fake_.CountQueries("LoadModule");
  noFunction.Get(fake_);
  noLibrary.Get(fake_);
  EXPECT_EQ(fake_.CountQueries("LoadModule"), loads);
}

TEST_F(OptionalFunctionTest, NoCallGoesIntoAReleasedLibrary) {
  fake_.freeSystemResources = 81;
  OptionalFunction resources(kResourceLibrary, kResourceFunction);
  ASSERT_EQ(resources.Resolve(fake_), OptionalFunction::Lookup::kFound);
  const ProcAddress before = resources.Get(fake_);
  EXPECT_EQ(fake_.LoadedModuleCount(), 1);
  resources.Release(fake_);
  resources.Release(fake_);  // once is enough; a second release frees nothing more
  EXPECT_EQ(fake_.LoadedModuleCount(), 0);
  EXPECT_EQ(fake_.CountQueries("ReleaseModule"), 1u);
  // The old address is dead: the fake counts a call through it as a fault.
  EXPECT_EQ(fake_.FreeSystemResources(before, 0), 0);
  EXPECT_EQ(fake_.badCalls, 1);
  // The next use loads the library again and calls the new address.
  const ProcAddress after = resources.Get(fake_);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(fake_.FreeSystemResources(after, 0), 81);
  EXPECT_EQ(fake_.badCalls, 1);
  EXPECT_EQ(fake_.LoadedModuleCount(), 1);
}

TEST_F(OptionalFunctionTest, AHeldLibraryGoesWithItsObject) {
  {
    OptionalFunction resources(kResourceLibrary, kResourceFunction);
    resources.Resolve(fake_);
    resources.Resolve(fake_);  // looking up again does not load it twice
    EXPECT_EQ(fake_.LoadedModuleCount(), 1);
  }
  EXPECT_EQ(fake_.LoadedModuleCount(), 0);
  {
    OptionalFunction released(kResourceLibrary, kResourceFunction);
    released.Resolve(fake_);
    released.Release(fake_);
  }
  EXPECT_EQ(fake_.CountQueries("ReleaseModule"), 3u) << "a released library is not released again";
}

TEST(Intervals, TheSevenPeriodsAndNothingElse) {
  const uint32_t periods[] = {50, 100, 200, 500, 1000, 2000, 5000};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(IntervalPeriod(i), periods[i]) << i;
  for (int i : {-1, 7, 8, 100, INT32_MIN}) EXPECT_EQ(IntervalPeriod(i), 0u) << i;
  EXPECT_EQ(IntervalPeriod(kDefaultIntervalIndex), 1000u);
  EXPECT_EQ(std::string(kIntervals[kDefaultIntervalIndex].entry), "1秒");
}

}  // namespace
}  // namespace velkin
