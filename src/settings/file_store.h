// Where the program keeps its files and how it writes them so that no save can lose them.
#ifndef VELKIN_SETTINGS_FILE_STORE_H
#define VELKIN_SETTINGS_FILE_STORE_H

#include <string>

#include "platform/system.h"

namespace velkin {

// The path of a file beside the executable.
std::string PathBesideProgram(SystemServices& sys, const char* fileName);

// Replaces a file's content so that an interruption at any moment (power failure, a failed
// write, a full disk) leaves either the old content or the new one: the new content is written
// to "<path>.new" first and put in place only when it is complete, in one step where the system
// can; on Windows 9x the old file is kept as "<path>.old" until the new one stands. False when
// the new content could not be put in place; the old content is then untouched.
bool SaveSafely(SystemServices& sys, const std::string& path, const std::string& bytes);

// Reads a file written by SaveSafely: the file itself, or, where a save on Windows 9x was
// interrupted between its two renames, the old content kept beside it. False when neither
// can be read.
bool LoadSaved(SystemServices& sys, const std::string& path, std::string* bytes);

}  // namespace velkin

#endif
