#include "readouts/measure.h"

#include <limits>

namespace velkin {

const char kAllDrives[] = "All";

std::vector<std::string> FixedDrives(SystemServices& sys) {
  std::vector<std::string> roots;
  FixedDrives(sys, &roots);
  return roots;
}

void FixedDrives(SystemServices& sys, std::vector<std::string>* roots) {
  // A letter that does not exist has no root and is no fixed drive: only the letters that exist
  // are asked for their kind. Each question costs a round trip to the system, and most of the 26
  // letters are not there. Where the letters cannot be told, every one is asked.
  uint32_t letters = sys.LogicalDrives();
  if (letters == 0) letters = (1u << 26) - 1;
  roots->clear();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if ((letters & (1u << (letter - 'A'))) == 0) continue;
    const char root[] = {letter, ':', '\\', '\0'};
    if (sys.DriveType(root) == kDriveFixed) roots->emplace_back(root);
  }
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

bool DriveMeter::Query(SystemServices& sys, const std::string& root, ProcAddress extended, DriveSpace* space) {
  if (extended != nullptr) {
    return sys.DiskFreeSpaceEx(extended, root.c_str(), &space->totalBytes, &space->freeBytes);
  }
  // Both cluster counts from the one call. Windows 95 caps each at what makes 2 GB with the
  // cluster size it reports, so both products stay under 2 GB there, as before.
  uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!sys.DiskFreeSpace(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) {
    return false;
  }
  space->freeBytes = Product(sectorsPerCluster, bytesPerSector, freeClusters);
  space->totalBytes = Product(sectorsPerCluster, bytesPerSector, totalClusters);
  return true;
}

const std::vector<std::string>& DriveMeter::FixedDriveList(SystemServices& sys) {
  const uint32_t now = sys.TickCount();
  if (!listed_ || now - listedAt_ >= kDriveListLifetime) {
    FixedDrives(sys, &fixed_);
    listedAt_ = now;
    listed_ = true;
  }
  return fixed_;
}

DriveSpace DriveMeter::Measure(SystemServices& sys, const std::string& selected, ProcAddress extended) {
  DriveSpace space;
  if (selected == kAllDrives) {
    DriveSpace sum;
    for (const std::string& root : FixedDriveList(sys)) {
      if (Query(sys, root, extended, &space)) {
        if (LastAnswer* last = LastAnswerOf(root)) *last = LastAnswer{space, true};
        sum.freeBytes = SaturatingAdd(sum.freeBytes, space.freeBytes);
        sum.totalBytes = SaturatingAdd(sum.totalBytes, space.totalBytes);
      }
    }
    return sum;
  }
  LastAnswer* last = LastAnswerOf(selected);
  if (Query(sys, selected, extended, &space)) {
    if (last != nullptr) *last = LastAnswer{space, true};
    return space;
  }
  return last != nullptr && last->known ? last->space : DriveSpace{};
}

DriveMeter::LastAnswer* DriveMeter::LastAnswerOf(const std::string& root) {
  // Drives are measured by their root paths, "A:\\" to "Z:\\"; anything else has no answer kept.
  if (root.size() != 3 || root[0] < 'A' || root[0] > 'Z' || root[1] != ':' || root[2] != '\\') return nullptr;
  return &last_[root[0] - 'A'];
}

uint64_t MeasureFreeMemory(SystemServices& sys, ProcAddress extended) {
  uint64_t bytes = 0;
  if (extended != nullptr && sys.AvailablePhysicalMemoryEx(extended, &bytes)) return bytes;
  return sys.AvailablePhysicalMemory();
}

}  // namespace velkin
