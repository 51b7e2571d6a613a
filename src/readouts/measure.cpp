#include "readouts/measure.h"

#include <limits>

namespace velkin {

const char kAllDrives[] = "All";

std::vector<std::string> FixedDrives(SystemServices& sys) {
  // A letter that does not exist has no root and is no fixed drive: only the letters that exist
  // are asked for their kind. Each question costs a round trip to the system, and most of the 26
  // letters are not there. Where the letters cannot be told, every one is asked.
  uint32_t letters = sys.LogicalDrives();
  if (letters == 0) letters = (1u << 26) - 1;
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if ((letters & (1u << (letter - 'A'))) == 0) continue;
    const std::string root = std::string(1, letter) + ":\\";
    if (sys.DriveType(root.c_str()) == kDriveFixed) roots.push_back(root);
  }
  return roots;
}

namespace {

// a * b * c, or the largest count where that does not fit in 64 bits.
uint64_t Product(uint32_t a, uint32_t b, uint32_t c) {
  const uint64_t ab = uint64_t{a} * b;
  if (c != 0 && ab > std::numeric_limits<uint64_t>::max() / c) return std::numeric_limits<uint64_t>::max();
  return ab * c;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return b > std::numeric_limits<uint64_t>::max() - a ? std::numeric_limits<uint64_t>::max() : a + b;
}

}  // namespace

bool DriveMeter::Query(SystemServices& sys, const std::string& root, DriveFigure figure, ProcAddress extended,
                       uint64_t* bytes) {
  const bool free = figure == DriveFigure::kFreeSpace;
  if (extended != nullptr) {
    return sys.DiskFreeSpaceEx(extended, root.c_str(), free ? nullptr : bytes, free ? bytes : nullptr);
  }
  uint32_t sectorsPerCluster = 0, bytesPerSector = 0, clusters = 0;
  if (!sys.DiskFreeSpace(root.c_str(), &sectorsPerCluster, &bytesPerSector, free ? &clusters : nullptr,
                         free ? nullptr : &clusters)) {
    return false;
  }
  *bytes = Product(sectorsPerCluster, bytesPerSector, clusters);
  return true;
}

const std::vector<std::string>& DriveMeter::FixedDriveList(SystemServices& sys) {
  const uint32_t now = sys.TickCount();
  if (!listed_ || now - listedAt_ >= kDriveListLifetime) {
    fixed_ = FixedDrives(sys);
    listedAt_ = now;
    listed_ = true;
  }
  return fixed_;
}

uint64_t DriveMeter::Measure(SystemServices& sys, const std::string& selected, DriveFigure figure,
                             ProcAddress extended) {
  std::vector<LastFigure>& last = last_[static_cast<int>(figure)];
  if (selected == kAllDrives) {
    uint64_t sum = 0;
    for (const std::string& root : FixedDriveList(sys)) {
      uint64_t bytes = 0;
      if (Query(sys, root, figure, extended, &bytes)) {
        Remember(last, root, bytes);
        sum = SaturatingAdd(sum, bytes);
      }
    }
    return sum;
  }
  uint64_t bytes = 0;
  if (Query(sys, selected, figure, extended, &bytes)) {
    Remember(last, selected, bytes);
    return bytes;
  }
  for (const LastFigure& known : last) {
    if (known.root == selected) return known.bytes;
  }
  return 0;
}

void DriveMeter::Remember(std::vector<LastFigure>& last, const std::string& root, uint64_t bytes) {
  for (LastFigure& known : last) {
    if (known.root == root) {
      known.bytes = bytes;
      return;
    }
  }
  last.push_back(LastFigure{root, bytes});
}

uint64_t MeasureFreeMemory(SystemServices& sys, ProcAddress extended) {
  uint64_t bytes = 0;
  if (extended != nullptr && sys.AvailablePhysicalMemoryEx(extended, &bytes)) return bytes;
  return sys.AvailablePhysicalMemory();
}

}  // namespace velkin
