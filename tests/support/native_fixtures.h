// What the native tests share: a test with a scripted machine of its own, the program's files
// on that machine, drives as the queries see them, and a reading of what the machine was asked.
// Nothing here checks anything: the checks stay in the tests.
#ifndef VELKIN_TESTS_SUPPORT_NATIVE_FIXTURES_H
#define VELKIN_TESTS_SUPPORT_NATIVE_FIXTURES_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fake_system.h"

namespace velkin {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = uint64_t{1} << 30;

// The program's two files beside it on the scripted machine (modulePath C:\Velkin\velkin.exe).
inline const std::string kSettingsPath = "C:\\Velkin\\vlkini.dat";
inline const std::string kExclusionPath = "C:\\Velkin\\nonapp.dat";

// A test with a fresh scripted machine: a Windows 98 machine with a 1024 x 768 screen, no
// drives, no windows and no files.
class WithFakeSystem : public ::testing::Test {
 protected:
  FakeSystem fake_;
};

// A fixed drive whose two queries agree: `free` and `total` bytes in 4096-byte clusters
// (8 sectors of 512 bytes).
inline FakeSystem::Drive FixedDrive(uint64_t free, uint64_t total) {
  FakeSystem::Drive drive;
  drive.sectorsPerCluster = 8;
  drive.bytesPerSector = 512;
  drive.freeClusters = static_cast<uint32_t>(free / 4096);
  drive.totalClusters = static_cast<uint32_t>(total / 4096);
  drive.freeBytes = free;
  drive.totalBytes = total;
  return drive;
}

// A drive of another kind (2 removable, 4 remote, 5 CD-ROM) with the same figures.
inline FakeSystem::Drive DriveOfType(uint32_t type, uint64_t free = 0, uint64_t total = 0) {
  FakeSystem::Drive drive = FixedDrive(free, total);
  drive.type = type;
  return drive;
}

// The queries made so far whose text starts with `prefix`, in order, with the prefix kept or
// cut off: e.g. QueriesStartingWith(fake, "ShowMinimized ", true) is the minimized titles.
inline std::vector<std::string> QueriesStartingWith(const FakeSystem& fake, const std::string& prefix,
                                                    bool cutPrefix = false) {
  std::vector<std::string> found;
  for (const std::string& query : fake.queries) {
    if (query.rfind(prefix, 0) == 0) found.push_back(cutPrefix ? query.substr(prefix.size()) : query);
  }
  return found;
}

}  // namespace velkin

#endif
