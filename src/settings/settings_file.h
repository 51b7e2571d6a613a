// The two files kept beside the executable: the settings file and the exclusion list. Reading
// keeps the way the program has always read them, so files written by earlier versions read
// the same; writing produces the same bytes they did.
#ifndef VELKIN_SETTINGS_SETTINGS_FILE_H
#define VELKIN_SETTINGS_SETTINGS_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "settings/exclusion_list.h"

namespace velkin {

extern const char kSettingsFileName[];   // "vlkini.dat"
extern const char kExclusionFileName[];  // "nonapp.dat"

// What the settings file holds, line by line.
struct StoredSettings {
  int32_t drive = 0;          // 1: position in the drive selector
  bool driveValid = false;    //    false when the line gave no number
  int32_t freeUnit = 0;       // 2
  std::string freeUnitName;   // 3
  int32_t totalUnit = 0;      // 4
  std::string totalUnitName;  // 5
  int32_t decimals = 0;       // 6
  int32_t interval = 0;       // 7: position in the interval selector
  bool intervalValid = false;
  int32_t windowLeft = 0;     // 8, 9: written, never used on reading
  int32_t windowTop = 0;
  int32_t memoryUnit = 0;     // 11 (line 10 is always 1)
};

// Reads the settings file's bytes. The file is a text file (CR LF reads as LF, a Ctrl-Z ends
// it), read line by line into a 63-byte buffer: a line longer than 62 bytes continues as the
// next field, and past the end of the file the last line read is read again. An integer field
// takes the number the line begins with (after blanks and an optional sign; it wraps to 32
// bits like the runtime's); a line that does not begin with one leaves the field as `initial`
// has it and, for the two selections, marks it invalid. A text field is the line without its
// last byte. Returns false when the file holds no line at all: that is read as a file whose
// settings were lost.
bool ParseSettings(const std::string& bytes, StoredSettings* settings);

// The file's bytes for `settings`: eleven lines, each ending in CR LF, line 10 holding 1.
std::string FormatSettings(const StoredSettings& settings);

// Reads the exclusion list: one title per line, whole however long, empty lines skipped, at
// most ExclusionList::kCapacity titles (the rest of the file is ignored). A last line without a
// line feed is kept whole.
ExclusionList ParseExclusionList(const std::string& bytes);

// The file's bytes for the list: each title followed by CR LF.
std::string FormatExclusionList(const ExclusionList& list);

// The folder of a full path, up to and including its last backslash, found without mistaking
// the second byte of a double-byte character (表 is 0x95 0x5C) for one. `isLeadByte` tells the
// bytes that begin a double-byte character in the system's code page. Empty when there is no
// backslash.
std::string FolderOf(const std::string& path, bool (*isLeadByte)(unsigned char));

}  // namespace velkin

#endif
