// What the panel holds apart from its controls: the watched drive, the refresh interval, each
// readout's unit with the name printed after it, the decimal places, and how far start-up has
// come. The selectors show this state and report the user's choices to it; the settings file is
// read into it and written from it, each way in one place.
#ifndef VELKIN_PANEL_PANEL_STATE_H
#define VELKIN_PANEL_PANEL_STATE_H

#include <cstdint>
#include <string>
#include <vector>

#include "readouts/intervals.h"
#include "readouts/readouts.h"
#include "settings/settings_file.h"

namespace velkin {

class PanelState {
 public:
  // The settings file. What a line without a number leaves in place: the state as it stands.
  StoredSettings Initial() const;
  // Takes what start-up read. The two selections stand as stored until the selectors are
  // filled and RestoreInterval and RestoreDrive judge them. The memory unit's name is not in
  // the file: it follows the index ("Bytes", "kBytes", "MBytes"), and any other index leaves
  // the name as it was.
  void Load(const StoredSettings& stored);
  // What the file keeps; the bar's top-left corner is the window's.
  StoredSettings Stored(int32_t windowLeft, int32_t windowTop) const;

  // The readouts' units, each with its name, and the decimal places.
  const UnitChoice& FreeSpaceUnit() const { return freeSpace_; }
  const UnitChoice& TotalCapacityUnit() const { return totalCapacity_; }
  const UnitChoice& MemoryUnit() const { return memory_; }
  int32_t Decimals() const { return decimals_; }
  // The user's choices from the menu: a unit of the four, named from the table of unit names,
  // and the decimal places.
  void ChooseFreeSpaceUnit(int32_t unit) { freeSpace_ = Named(unit); }
  void ChooseTotalCapacityUnit(int32_t unit) { totalCapacity_ = Named(unit); }
  void ChooseMemoryUnit(int32_t unit) { memory_ = Named(unit); }
  void ChooseDecimals(int32_t decimals) { decimals_ = decimals; }

  // The refresh interval: an entry of kIntervals.
  int Interval() const { return interval_; }
  // Its period in milliseconds; 0 (no refresh) before start-up has restored it.
  uint32_t Period() const { return IntervalPeriod(interval_); }
  // Start-up: keeps the stored interval, or takes "1秒" and answers false when it is none of
  // the entries.
  bool RestoreInterval();
  void ChooseInterval(int index) { interval_ = index; }

  // The watched drive: an entry of the drive selector, the fixed drives' roots as listed at
  // start-up and then "All".
  void SetDriveEntries(const std::vector<std::string>& fixedDrives);
  const std::vector<std::string>& DriveEntries() const { return driveEntries_; }
  int Drive() const { return drive_; }
  // The watched drive's entry ("C:\" or "All"); empty until start-up has restored it.
  std::string WatchedDrive() const;
  // Start-up: keeps the stored drive, or takes the first entry and answers false when it is
  // none of the entries.
  bool RestoreDrive();
  void ChooseDrive(int index) { drive_ = index; }

  // Start-up runs inside WM_CREATE, and its message boxes let other messages in meanwhile.
  void BeginStartUp() { startingUp_ = true; }
  // Both files are read and the selections restored: from here on a save writes what the
  // program holds. Before, it writes nothing.
  void MarkLoaded() { loaded_ = true; }
  void FinishStartUp() { startingUp_ = false; }
  bool StartingUp() const { return startingUp_; }
  // The program was asked to end (WM_CLOSE, the session ending) while start-up was under way.
  void AskToEnd() { endAsked_ = true; }
  // True when it was: start-up stops there, and is over.
  bool EndAskedDuringStartUp();
  // A file that is there but could not be read at start-up is never written over.
  void KeepSettingsFile(bool keep) { keepSettingsFile_ = keep; }
  void KeepExclusionFile(bool keep) { keepExclusionFile_ = keep; }
  bool MaySaveSettings() const { return loaded_ && !keepSettingsFile_; }
  bool MaySaveExclusions() const { return loaded_ && !keepExclusionFile_; }

 private:
  static UnitChoice Named(int32_t unit);

  UnitChoice freeSpace_;
  UnitChoice totalCapacity_;
  UnitChoice memory_;
  int32_t decimals_ = 0;
  int32_t interval_ = -1;
  int32_t drive_ = -1;
  std::vector<std::string> driveEntries_;
  bool startingUp_ = false;
  bool endAsked_ = false;
  bool loaded_ = false;
  bool keepSettingsFile_ = false;
  bool keepExclusionFile_ = false;
};

}  // namespace velkin

#endif
