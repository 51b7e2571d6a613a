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
  }

  Readouts readouts_{fake_};
};

// Each readout shows the unit, name and places it is given; a unit that is none of the four
// shows the error.
TEST_F(ReadoutsTest, EachReadoutShowsTheUnitAndNameItIsGiven) {
  readouts_.MeasureDrives("C:\\");
  EXPECT_EQ(readouts_.FreeSpace({kUnitMBytes, "MBytes"}, 2), "320.00 MBytes");
  EXPECT_EQ(readouts_.TotalCapacity({kUnitGBytes, "GBytes"}, 2), "1.00 GBytes");
  EXPECT_EQ(readouts_.FreeMemory({kUnitKBytes, "kBytes"}, 2), "65536.00 kBytes");
  EXPECT_EQ(readouts_.FreeSpace({7, "Bytes"}, 2), "ERROR!!");
  EXPECT_EQ(readouts_.FreeMemory({-1, "Bytes"}, 2), "ERROR!!");
  // A name is printed as given, whatever the index.
  EXPECT_EQ(readouts_.FreeSpace({kUnitKBytes, "MBytes"}, 2), "327680.00 MBytes");
}

// The 64-bit drive query from Windows 95 OSR2 on, the cluster query before.
TEST_F(ReadoutsTest, TheLargeDiskPathAsksTheSixtyFourBitQuery) {
  for (const bool largeDisk : {false, true}) {
    FakeSystem fake;
    fake.drives = fake_.drives;
    Readouts readouts(fake);
    readouts.SetLargeDisk(largeDisk);
    if (largeDisk) {
      ASSERT_EQ(readouts.ProbeExtendedFreeSpace(), OptionalFunction::Lookup::kFound);
    }
    readouts.MeasureDrives("C:\\");
    EXPECT_EQ(readouts.FreeSpace({kUnitBytes, "Bytes"}, 2), "335544320 Bytes");
    EXPECT_EQ(readouts.TotalCapacity({kUnitBytes, "Bytes"}, 2), "1073741824 Bytes");
    EXPECT_EQ(fake.CountQueries("DiskFreeSpaceEx") != 0, largeDisk);
    EXPECT_EQ(fake.CountQueries("DiskFreeSpace") != 0, !largeDisk);
  }
}

}  // namespace
}  // namespace velkin
