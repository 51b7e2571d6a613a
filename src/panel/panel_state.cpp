#include "panel/panel_state.h"

#include "readouts/format.h"
#include "readouts/measure.h"

namespace velkin {

namespace {

// A stored selection that no entry can take.
constexpr int32_t kNoSelection = -1;

bool IsEntry(int32_t index, std::size_t count) { return index >= 0 && static_cast<std::size_t>(index) < count; }

}  // namespace

UnitChoice PanelState::Named(int32_t unit) {
  return UnitChoice{unit, IsEntry(unit, kUnitCount) ? kUnitNames[unit] : ""};
}

StoredSettings PanelState::Initial() const {
  StoredSettings initial;
  initial.freeUnit = freeSpace_.unit;
  initial.totalUnit = totalCapacity_.unit;
  initial.decimals = decimals_;
  initial.memoryUnit = memory_.unit;
  return initial;
}

void PanelState::Load(const StoredSettings& stored) {
  drive_ = stored.driveValid ? stored.drive : kNoSelection;
  freeSpace_ = UnitChoice{stored.freeUnit, stored.freeUnitName};
  totalCapacity_ = UnitChoice{stored.totalUnit, stored.totalUnitName};
  decimals_ = stored.decimals;
  interval_ = stored.intervalValid ? stored.interval : kNoSelection;
  // The file has no memory unit name; the bar offers Bytes, kBytes and MBytes for memory.
  memory_.unit = stored.memoryUnit;
  if (IsEntry(stored.memoryUnit, kUnitMBytes + 1)) memory_.name = kUnitNames[stored.memoryUnit];
}

StoredSettings PanelState::Stored(int32_t windowLeft, int32_t windowTop) const {
  StoredSettings stored;
  stored.drive = drive_;
  stored.freeUnit = freeSpace_.unit;
  stored.freeUnitName = freeSpace_.name;
  stored.totalUnit = totalCapacity_.unit;
  stored.totalUnitName = totalCapacity_.name;
  stored.decimals = decimals_;
  stored.interval = interval_;
  stored.windowLeft = windowLeft;
  stored.windowTop = windowTop;
  stored.memoryUnit = memory_.unit;
  return stored;
}

bool PanelState::RestoreInterval() {
  if (IsEntry(interval_, kIntervalCount)) return true;
  interval_ = kDefaultIntervalIndex;
  return false;
}

void PanelState::SetDriveEntries(const std::vector<std::string>& fixedDrives) {
  driveEntries_ = fixedDrives;
  driveEntries_.push_back(kAllDrives);
}

std::string PanelState::WatchedDrive() const {
  return IsEntry(drive_, driveEntries_.size()) ? driveEntries_[static_cast<std::size_t>(drive_)] : std::string();
}

bool PanelState::RestoreDrive() {
  if (IsEntry(drive_, driveEntries_.size())) return true;
  // The first entry instead: the first fixed drive, or "All" where there is none.
  drive_ = 0;
  return false;
}

bool PanelState::EndAskedDuringStartUp() {
  if (!endAsked_) return false;
  startingUp_ = false;
  return true;
}

}  // namespace velkin
