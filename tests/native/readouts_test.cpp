#include "readouts/readouts.h"

#include <gtest/gtest.h>

#include "readouts/format.h"
#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

class ReadoutsTest : public WithFakeSystem {
 protected:
  void SetUp() override {
    fake_.drives['C'] = FixedDrive(320 * kMiB, 1024 * kMiB);
    fake_.availablePhysicalMemory = 64 * kMiB;
    readouts_.SelectDrive("C:\\");
    readouts_.Units().decimals = 2;
  }

  Readouts readouts_{fake_};
};

// Each readout keeps the unit and the name it was given, for the ticks after it; a unit that is
// none of the four shows the error and is kept all the same.
TEST_F(ReadoutsTest, EachReadoutKeepsTheUnitAndNameItIsGiven) {
  readouts_.MeasureDrives();
  EXPECT_EQ(readouts_.FreeSpace(kUnitMBytes, "MBytes"), "320.00 MBytes");
  EXPECT_EQ(readouts_.TotalCapacity(kUnitGBytes, "GBytes"), "1.00 GBytes");
  EXPECT_EQ(readouts_.FreeMemory(kUnitKBytes, "kBytes"), "65536.00 kBytes");
  EXPECT_EQ(readouts_.FreeSpace(7, "Bytes"), "ERROR!!");
  EXPECT_EQ(readouts_.FreeMemory(-1, "Bytes"), "ERROR!!");
  const ReadoutUnits& units = readouts_.Units();
  EXPECT_EQ(units.freeSpaceUnit, 7);
  EXPECT_EQ(units.totalCapacityUnit, kUnitGBytes);
  EXPECT_EQ(units.totalCapacityName, "GBytes");
  EXPECT_EQ(units.memoryUnit, -1);
  // A name is printed as given, whatever the index.
  EXPECT_EQ(readouts_.FreeSpace(kUnitKBytes, "MBytes"), "327680.00 MBytes");
}

// The 64-bit drive query from Windows 95 OSR2 on, the cluster query before.
TEST_F(ReadoutsTest, TheLargeDiskPathAsksTheSixtyFourBitQuery) {
  for (const bool largeDisk : {false, true}) {
    FakeSystem fake;
    fake.drives = fake_.drives;
    Readouts readouts(fake);
    readouts.SelectDrive("C:\\");
    readouts.SetLargeDisk(largeDisk);
    if (largeDisk) {
      ASSERT_EQ(readouts.ProbeExtendedFreeSpace(), OptionalFunction::Lookup::kFound);
    }
    readouts.MeasureDrives();
    EXPECT_EQ(readouts.FreeSpace(kUnitBytes, "Bytes"), "335544320 Bytes");
    EXPECT_EQ(readouts.TotalCapacity(kUnitBytes, "Bytes"), "1073741824 Bytes");
    EXPECT_EQ(fake.CountQueries("DiskFreeSpaceEx") != 0, largeDisk);
    EXPECT_EQ(fake.CountQueries("DiskFreeSpace") != 0, !largeDisk);
  }
}

}  // namespace
}  // namespace velkin
