#include "readouts/readouts.h"

#include "readouts/format.h"

namespace velkin {

void Readouts::ResolveQueries() {
  systemResources_.Resolve(sys_);
  // The extended memory query exists from Windows 2000 on; where it is missing its library is
  // not kept.
  if (memoryStatusEx_.Resolve(sys_) != OptionalFunction::Lookup::kFound) memoryStatusEx_.Release(sys_);
}

void Readouts::MeasureDrives(const std::string& drive) {
  const ProcAddress extended = largeDisk_ ? diskFreeSpaceEx_.Get(sys_) : nullptr;
  drives_ = driveMeter_.Measure(sys_, drive, extended);
}

std::string Readouts::FreeSpace(const UnitChoice& unit, int32_t decimals) const {
  return FormatByteCount(drives_.freeBytes, unit.unit, decimals, unit.name);
}

std::string Readouts::TotalCapacity(const UnitChoice& unit, int32_t decimals) const {
  return FormatByteCount(drives_.totalBytes, unit.unit, decimals, unit.name);
}

std::string Readouts::FreeMemory(const UnitChoice& unit, int32_t decimals) {
  return FormatByteCount(MeasureFreeMemory(sys_, memoryStatusEx_.Get(sys_)), unit.unit, decimals, unit.name);
}

std::string Readouts::SystemResources() {
  const ProcAddress query = systemResources_.Get(sys_);
  return query != nullptr ? FormatResources(sys_.FreeSystemResources(query, 0)) : "Disable";
}

void Readouts::ReleaseLibraries() {
  // KERNEL32 first, then RSRC32, each only where it is held.
  if (diskFreeSpaceEx_.Holds()) diskFreeSpaceEx_.Release(sys_);
  if (systemResources_.Holds()) systemResources_.Release(sys_);
  if (memoryStatusEx_.Holds()) memoryStatusEx_.Release(sys_);
}

}  // namespace velkin
