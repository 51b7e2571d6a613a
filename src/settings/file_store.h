// Where the program keeps its files and how it writes them so that no save can lose them.
#ifndef VELKIN_SETTINGS_FILE_STORE_H
#define VELKIN_SETTINGS_FILE_STORE_H

#include <string>

#include "system/system.h"

namespace velkin {

// The path of a file beside the executable.
// Empty when the program's own path cannot be had; nothing loads or saves an empty path.
std::string PathBesideProgram(SystemServices& sys, const char* fileName);

// Replaces a file's content so that an interruption at any moment (power failure, a failed
// write, a full disk) leaves the old content or the new one under a name the next start reads.
// The names a save uses, beside the file X:
//   X.tmp  the new content while it is written; never read.
//   X.new  Windows 9x only: the new content once it is complete, until it replaces X.
// Where the system can rename over a file in one step, X.tmp replaces X in that step; on
// Windows 9x X.tmp is renamed X.new, X is deleted and X.new renamed X. A read-only X is left
// alone (as a plain "w" open would fail on it). X.old, which earlier versions kept during a
// save, is never read and never stands in a save's way.
// True when the new content is in place; false leaves the old content in place, or (a save cut
// off after X was deleted) the new content complete as X.new.
bool SaveSafely(SystemServices& sys, const std::string& path, const std::string& bytes);

// Reads a file written by SaveSafely: the file itself, or, when it is not there, the complete
// new content of a save that was cut off before renaming it into place (X.new).
// kMissing: neither is there (a first start, or the user removed the file). kFailed: one is
// there but cannot be read. Once X itself has been read, an X.new beside it is out of date and
// is removed; it is left alone when X is missing (it is the content) or cannot be read.
FileRead LoadSaved(SystemServices& sys, const std::string& path, std::string* bytes);

}  // namespace velkin

#endif
