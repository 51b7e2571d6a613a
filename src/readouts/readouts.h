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

// The readout settings the settings file keeps: each unit index with the name printed after it
// (kept independently: an index only ever travels with a name), and the decimal places.
struct ReadoutUnits {
  int32_t freeSpaceUnit = 0;
  std::string freeSpaceName;
  int32_t totalCapacityUnit = 0;
  std::string totalCapacityName;
  int32_t memoryUnit = 0;
  std::string memoryName;
  int32_t decimals = 0;
};

class Readouts {
 public:
  explicit Readouts(SystemServices& sys) : sys_(sys) {}

  ReadoutUnits& Units() { return units_; }
  const ReadoutUnits& Units() const { return units_; }

  // From Windows 95 OSR2 on, drives are measured with the 64-bit query.
  void SetLargeDisk(bool largeDisk) { largeDisk_ = largeDisk; }
  bool LargeDisk() const { return largeDisk_; }

  // The watched drive: a root path such as "C:\" or "All".
  void SelectDrive(const std::string& drive) { selectedDrive_ = drive; }
  const std::string& SelectedDrive() const { return selectedDrive_; }

  // Start-up: the 64-bit drive query (large-disk path only), then the resource query and the
  // extended memory query, whose library is not kept where the query is missing.
  OptionalFunction::Lookup ProbeExtendedFreeSpace() { return diskFreeSpaceEx_.Resolve(sys_); }
  void ResolveQueries();

  // Measures the watched drive now, each drive with one query that gives both of its figures;
  // FreeSpace and TotalCapacity show what it measured.
  void MeasureDrives();
  // Each gives the readout's text, keeping the unit and name it is given for later readouts
  // ("ERROR!!" for a unit that is none of the four): the drive figures of the last
  // MeasureDrives, the memory measured now.
  std::string FreeSpace(int32_t unit, const std::string& name);
  std::string TotalCapacity(int32_t unit, const std::string& name);
  std::string FreeMemory(int32_t unit, const std::string& name);
  // "Disable" where the resource query is missing.
  std::string SystemResources();

  // A device came or went: "All" lists the drives anew.
  void ForgetDrives() { driveMeter_.ForgetDrives(); }
  // Frees the optional functions' libraries, KERNEL32's first; a later readout looks a function
  // it had found up again.
  void ReleaseLibraries();

 private:
  SystemServices& sys_;
  ReadoutUnits units_;
  bool largeDisk_ = false;
  std::string selectedDrive_;
  OptionalFunction diskFreeSpaceEx_{"KERNEL32", "GetDiskFreeSpaceExA"};
  OptionalFunction systemResources_{"RSRC32", "_MyGetFreeSystemResources32@4"};
  OptionalFunction memoryStatusEx_{"KERNEL32", "GlobalMemoryStatusEx"};
  DriveMeter driveMeter_;
  DriveSpace drives_;
};

}  // namespace velkin

#endif
