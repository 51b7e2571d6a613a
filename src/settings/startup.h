// What start-up reads from the two files, and what it must tell the user.
#ifndef VELKIN_SETTINGS_STARTUP_H
#define VELKIN_SETTINGS_STARTUP_H

#include <cstdint>
#include <string>

#include "system/system.h"
#include "settings/exclusion_list.h"
#include "settings/settings_file.h"

namespace velkin {

// A message box for the user: text, caption and style. No text: nothing to show.
struct Notice {
  const char* text = nullptr;
  const char* caption = nullptr;
  uint32_t style = 0;
};

struct SettingsAtStart {
  StoredSettings settings;
  // The file is there but could not be read: it is never written over.
  bool keepFile = false;
  Notice notice;
};

// Reads vlkini.dat beside the program. A missing file, or one that holds no line, is a first
// start (or lost settings): the welcome and the first-run defaults. A file that is there but
// cannot be read: a warning, the defaults, and the file kept as it is. `initial` holds what a
// line without a number leaves in place (and the memory unit the defaults keep).
SettingsAtStart ReadSettingsAtStart(SystemServices& sys, const StoredSettings& initial);

struct ExclusionsAtStart {
  ExclusionList list;
  bool keepFile = false;
  Notice notice;
};

// Reads nonapp.dat beside the program: a missing file is an empty list, silently; one that is
// there but cannot be read is an empty list, a warning, and the file kept as it is.
ExclusionsAtStart ReadExclusionsAtStart(SystemServices& sys);

// A warning as start-up shows them: captioned "警告", with the stop icon.
Notice Warning(const char* text);

// The warnings of the two restore steps: a stored interval the selector refuses, and a stored
// drive it refuses, `entry` being the entry taken instead.
Notice IntervalWarning();
std::string DriveWarningText(const std::string& entry);

}  // namespace velkin

#endif
