#include "settings/file_store.h"

#include "settings/settings_file.h"

namespace velkin {

std::string PathBesideProgram(SystemServices& sys, const char* fileName) {
  return FolderOf(sys.ModulePath(), sys.LeadBytes()) + fileName;
}

bool SaveSafely(SystemServices& sys, const std::string& path, const std::string& bytes) {
  const std::string fresh = path + ".new";
  const std::string kept = path + ".old";
  if (!sys.WriteWholeFile(fresh, bytes)) {
    sys.RemoveFile(fresh);
    return false;
  }
  if (sys.RenameReplacing(fresh, path)) return true;

  // No replacing rename here: move the old file aside, put the new one in its place, and only
  // then let the old one go.
  sys.RemoveFile(kept);
  const bool hadOld = sys.FileExists(path);
  if (hadOld && !sys.RenameFile(path, kept)) {
    sys.RemoveFile(fresh);
    return false;
  }
  if (!sys.RenameFile(fresh, path)) {
    if (hadOld) sys.RenameFile(kept, path);
    sys.RemoveFile(fresh);
    return false;
  }
  if (hadOld) sys.RemoveFile(kept);
  return true;
}

bool LoadSaved(SystemServices& sys, const std::string& path, std::string* bytes) {
  if (sys.ReadWholeFile(path, bytes)) return true;
  return sys.ReadWholeFile(path + ".old", bytes);
}

}  // namespace velkin
