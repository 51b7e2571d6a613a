// The four readouts and the settings behind them: what each shows, measured and formatted on
// request, with the optional system functions they use.
#ifndef VELKIN_READOUTS_READOUTS_H
#define VELKIN_READOUTS_READOUTS_H

#include <cstdint>
#include <string>

#include "system/optional_function.h"
#include "system/system.h"
#include "readouts/measure.h"

namespace velkin {

// A readout's unit: its index and the name printed after the figure. They are kept apart: the
// settings file may pair any index with any name, and both go back as they came.
struct UnitChoice {
  int32_t unit = 0;
  std::string name;
};

class Readouts {
 public:
  explicit Readouts(SystemServices& sys) : sys_(sys) {}

  // From Windows 95 OSR2 on, drives are measured with the 64-bit query.
  void SetLargeDisk(bool largeDisk) { largeDisk_ = largeDisk; }
  bool LargeDisk() const { return largeDisk_; }

  // Start-up: the 64-bit drive query (large-disk path only), then the resource query and the
  // extended memory query, whose library is not kept where the query is missing.
  OptionalFunction::Lookup ProbeExtendedFreeSpace() { return diskFreeSpaceEx_.Resolve(sys_); }
  void ResolveQueries();

  // Measures the watched drive now (a root path such as "C:\", or "All"), each drive with one
  // query that gives both of its figures; FreeSpace and TotalCapacity show what it measured.
  void MeasureDrives(const std::string& drive);
  // Each gives the readout's text in `unit` with `decimals` places ("ERROR!!" for a unit that
  // is none of the four): the drive figures of the last MeasureDrives, the memory measured now.
  std::string FreeSpace(const UnitChoice& unit, int32_t decimals) const;
  std::string TotalCapacity(const UnitChoice& unit, int32_t decimals) const;
  std::string FreeMemory(const UnitChoice& unit, int32_t decimals);
  // "Disable" where the resource query is missing.
  std::string SystemResources();

  // A device came or went: "All" lists the drives anew.
  void ForgetDrives() { driveMeter_.ForgetDrives(); }
  // Frees the optional functions' libraries, KERNEL32's first; a later readout looks a function
  // it had found up again.
  void ReleaseLibraries();

 private:
  SystemServices& sys_;
  bool largeDisk_ = false;
  OptionalFunction diskFreeSpaceEx_{"KERNEL32", "GetDiskFreeSpaceExA"};
  OptionalFunction systemResources_{"RSRC32", "_MyGetFreeSystemResources32@4"};
  OptionalFunction memoryStatusEx_{"KERNEL32", "GlobalMemoryStatusEx"};
  DriveMeter driveMeter_;
  DriveSpace drives_;
};

}  // namespace velkin

#endif
