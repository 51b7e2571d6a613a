// Measuring what the readouts show: the drives' free space and capacity, the free memory.
#ifndef VELKIN_READOUTS_MEASURE_H
#define VELKIN_READOUTS_MEASURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system.h"

namespace velkin {

// The drive selector's last entry: the sum over every fixed drive.
extern const char kAllDrives[];  // "All"

// The root paths ("C:\\") of the fixed drives, A to Z. Only the letters that exist are asked
// for their kind.
std::vector<std::string> FixedDrives(SystemServices& sys);

enum class DriveFigure { kFreeSpace = 0, kTotalCapacity = 1 };

// How long the list of fixed drives that "All" adds up is used before the drives are listed
// again, in milliseconds. Listing costs a round trip to the system for every letter that
// exists; at the short intervals it would be most of a refresh. At 1 second and longer every
// refresh lists anew.
constexpr uint32_t kDriveListLifetime = 500;

// Measures drives and remembers, for each drive and figure, the last value measured, so that a
// query that fails shows that drive's own last figure and never one of another drive.
class DriveMeter {
 public:
  // The figure in bytes for `selected`, a root path or "All" (exactly, case-sensitive). With
  // `extended` (GetDiskFreeSpaceExA) the 64-bit query is used, otherwise the cluster query,
  // whose product is taken in 64 bits. For "All" every fixed drive whose query succeeds is
  // added; one that fails adds nothing. A failed query of a single drive gives the last figure
  // measured on that drive, 0 before any.
  uint64_t Measure(SystemServices& sys, const std::string& selected, DriveFigure figure,
                   ProcAddress extended);

  // The fixed drives for "All": the last list while it is younger than kDriveListLifetime,
  // else a new one. The two figures of one refresh add up the same drives.
  const std::vector<std::string>& FixedDriveList(SystemServices& sys);
  // A device came or went: the next "All" lists the drives anew.
  void ForgetDrives() { listed_ = false; }

 private:
  bool Query(SystemServices& sys, const std::string& root, DriveFigure figure, ProcAddress extended,
             uint64_t* bytes);

  // The last figure of each drive measured, by figure; a handful of drives at most.
  struct LastFigure {
    std::string root;
    uint64_t bytes;
  };
  static void Remember(std::vector<LastFigure>& last, const std::string& root, uint64_t bytes);

  std::vector<LastFigure> last_[2];
  std::vector<std::string> fixed_;
  uint32_t listedAt_ = 0;
  bool listed_ = false;
};

// The free physical memory in bytes: from GlobalMemoryStatusEx where `extended` is given and it
// answers (a 32-bit program's GlobalMemoryStatus stops at 2 or 4 GB), else GlobalMemoryStatus.
uint64_t MeasureFreeMemory(SystemServices& sys, ProcAddress extended);

}  // namespace velkin

#endif
