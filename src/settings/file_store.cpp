#include "settings/file_store.h"

#include "settings/settings_file.h"

namespace velkin {

namespace {

// Removes what a cut-off save (or an earlier version) left behind; no harm when it stays.
void RemoveLeftover(SystemServices& sys, const std::string& path) {
  if (sys.FileExists(path)) sys.RemoveFile(path);
}

}  // namespace

std::string PathBesideProgram(SystemServices& sys, const char* fileName) {
  // Without the program's own folder (its path could not be had) there is no file to name: the
  // name alone would be taken from whatever folder is current.
  const std::string folder = FolderOf(sys.ModulePath(), sys.LeadBytes());
  return folder.empty() ? std::string() : folder + fileName;
}

bool SaveSafely(SystemServices& sys, const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::string scratch = path + ".tmp";
  const std::string complete = path + ".new";
  if (sys.FileReadOnly(path)) return false;
  if (!sys.WriteWholeFile(scratch, bytes)) {
    sys.RemoveFile(scratch);
    return false;
  }
  switch (sys.RenameReplacing(scratch, path)) {
    case Replace::kReplaced:
      // What a save cut off on Windows 9x (or by an earlier version) left is out of date now.
      RemoveLeftover(sys, complete);
      RemoveLeftover(sys, path + ".old");
      return true;
    case Replace::kFailed:
      sys.RemoveFile(scratch);
      return false;
    case Replace::kUnsupported:
      break;
  }

  // Windows 9x. A complete X.new of a save that was cut off is the file's content while X is
  // missing: it goes into place first. Beside X it is out of date.
  if (sys.FileExists(complete)) {
    const bool placed = sys.FileExists(path) ? sys.RemoveFile(complete) : sys.RenameFile(complete, path);
    if (!placed) {
      sys.RemoveFile(scratch);
      return false;
    }
  }
  // The new content is complete: from here on it is found under a name the next start reads.
  if (!sys.RenameFile(scratch, complete)) {
    sys.RemoveFile(scratch);
    return false;
  }
  if (sys.FileExists(path) && !sys.RemoveFile(path)) {
    sys.RemoveFile(complete);
    return false;
  }
  if (!sys.RenameFile(complete, path)) return false;  // X.new stays and is read in X's place
  RemoveLeftover(sys, path + ".old");
  return true;
}

FileRead LoadSaved(SystemServices& sys, const std::string& path, std::string* bytes) {
  // A file that cannot be named is out of reach, as one that cannot be read: kept, never written.
  if (path.empty()) return FileRead::kFailed;
  const FileRead read = sys.ReadWholeFile(path, bytes);
  // X.new beside an X that was read is out of date: were it left, it would come back as the
  // content once the user removed X.
  if (read == FileRead::kRead) RemoveLeftover(sys, path + ".new");
  if (read != FileRead::kMissing) return read;
  return sys.ReadWholeFile(path + ".new", bytes);
}

}  // namespace velkin
