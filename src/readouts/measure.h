// Measuring what the readouts show: the drives' free space and capacity, the free memory.
#ifndef VELKIN_READOUTS_MEASURE_H
#define VELKIN_READOUTS_MEASURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "system/system.h"

namespace velkin {

// The drive selector's last entry: the sum over every fixed drive.
extern const char kAllDrives[];  // "All"

// The root paths ("C:\\") of the fixed drives, A to Z. Only the letters that exist are asked
// for their kind.
std::vector<std::string> FixedDrives(SystemServices& sys);
// The same into `roots`, whose memory is used again.
void FixedDrives(SystemServices& sys, std::vector<std::string>* roots);

// What one query tells of a drive: its free space and its capacity, in bytes.
struct DriveSpace {
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
};

// How long the list of fixed drives that "All" adds up is used before the drives are listed
// again, in milliseconds. Listing costs a round trip to the system for every letter that
// exists; at the short intervals it would be most of a refresh. At 1 second and longer every
// refresh lists anew.
constexpr uint32_t kDriveListLifetime = 500;

// Measures drives, each with one query that gives both figures, and remembers each drive's last
// answer, so that a query that fails shows that drive's own last figures and never another's.
class DriveMeter {
 public:
  // The free space and the capacity of `selected`, a root path or "All" (exactly,
  // case-sensitive), asking each drive once. With `extended` (GetDiskFreeSpaceExA) the 64-bit
  // query is used, otherwise the cluster query, whose products are taken in 64 bits. For "All"
  // every fixed drive whose query succeeds is added; one that fails adds nothing. A failed query
  // of a single drive gives the last figures measured on that drive, 0 before any.
  DriveSpace Measure(SystemServices& sys, const std::string& selected, ProcAddress extended);

  // The fixed drives for "All": the last list while it is younger than kDriveListLifetime,
  // else a new one.
  const std::vector<std::string>& FixedDriveList(SystemServices& sys);
  // A device came or went: the next "All" lists the drives anew.
  void ForgetDrives() { listed_ = false; }

 private:
  static bool Query(SystemServices& sys, const std::string& root, ProcAddress extended, DriveSpace* space);

  // The last answer of each drive, by its letter: found without a search, however many drives
  // "All" adds up.
  struct LastAnswer {
    DriveSpace space;
    bool known = false;
  };
  LastAnswer* LastAnswerOf(const std::string& root);
  LastAnswer last_[26];
  std::vector<std::string> fixed_;
  uint32_t listedAt_ = 0;
  bool listed_ = false;
};

// The free physical memory in bytes: from GlobalMemoryStatusEx where `extended` is given and it
// answers (a 32-bit program's GlobalMemoryStatus stops at 2 or 4 GB), else GlobalMemoryStatus.
uint64_t MeasureFreeMemory(SystemServices& sys, ProcAddress extended);

}  // namespace velkin

#endif
