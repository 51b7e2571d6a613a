#include "settings/file_store.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/fake_system.h"

namespace velkin {
namespace {

const std::string kPath = "C:\\表示ソフト\\vlkini.dat";
const std::string kNew = kPath + ".new";
const std::string kOld = kPath + ".old";
const std::string kTmp = kPath + ".tmp";

using Files = std::map<std::string, std::string>;

TEST(FileStore, FilesLieBesideTheProgram) {
  FakeSystem fake;
  fake.modulePath = "C:\\表示ソフト\\velkin.exe";
  EXPECT_EQ(PathBesideProgram(fake, "vlkini.dat"), kPath);
  // Without the program's path (GetModuleFileNameA failed), no file in the current folder: the
  // files are out of reach, read as unreadable and never written.
  fake.modulePath.clear();
  std::string bytes;
  EXPECT_EQ(LoadSaved(fake, PathBesideProgram(fake, "vlkini.dat"), &bytes), FileRead::kFailed);
  EXPECT_FALSE(SaveSafely(fake, PathBesideProgram(fake, "vlkini.dat"), "x"));
  EXPECT_TRUE(fake.files.empty());
}

// What a start reads from the names a save may leave behind, and which of them it leaves.
TEST(FileStore, LoadingReadsTheFileOrTheCompleteNewContent) {
  struct Row {
    const char* name;
    Files files;
    const char* unreadable;
    FileRead want;
    std::string bytes;
    Files after;
  } rows[] = {
      {"nothing", {}, nullptr, FileRead::kMissing, "", {}},
      {"the file", {{kPath, "a"}}, nullptr, FileRead::kRead, "a", {{kPath, "a"}}},
      {"the file beside a stale new content", {{kPath, "a"}, {kNew, "b"}}, nullptr, FileRead::kRead, "a", {{kPath, "a"}}},
      {"a save cut off before its last rename", {{kNew, "b"}}, nullptr, FileRead::kRead, "b", {{kNew, "b"}}},
      {"an earlier version's save cut off between its renames", {{kOld, "o"}, {kNew, "b"}}, nullptr, FileRead::kRead,
       "b", {{kOld, "o"}, {kNew, "b"}}},
      {"an old copy alone: the user removed the file", {{kOld, "o"}}, nullptr, FileRead::kMissing, "", {{kOld, "o"}}},
      {"content still being written", {{kTmp, "t"}}, nullptr, FileRead::kMissing, "", {{kTmp, "t"}}},
      {"a file held open by another program", {{kPath, "a"}}, kPath.c_str(), FileRead::kFailed, "", {{kPath, "a"}}},
      {"an unreadable file beside a new content", {{kPath, "a"}, {kNew, "b"}}, kPath.c_str(), FileRead::kFailed, "",
       {{kPath, "a"}, {kNew, "b"}}},
  };
  for (const Row& row : rows) {
    FakeSystem fake;
    fake.files = row.files;
    if (row.unreadable != nullptr) fake.unreadable.insert(row.unreadable);
    std::string bytes;
    EXPECT_EQ(LoadSaved(fake, kPath, &bytes), row.want) << row.name;
    if (row.want == FileRead::kRead) {
      EXPECT_EQ(bytes, row.bytes) << row.name;
    }
    EXPECT_EQ(fake.files, row.after) << row.name;
  }
}

// An undisturbed save from each state a folder can be in, on both kinds of system: what it
// answers and exactly which files stand afterwards.
TEST(FileStore, ASaveFromEveryStateLeavesTheNewFileAlone) {
  struct Row {
    const char* name;
    Files files;
    const char* readOnly;     // a file with the read-only attribute
    const char* undeletable;  // a file that cannot be deleted (in use)
    bool saved;
    Files after;
  } rows[] = {
      {"no file yet", {}, nullptr, nullptr, true, {{kPath, "new"}}},
      {"a file", {{kPath, "old"}}, nullptr, nullptr, true, {{kPath, "new"}}},
      {"a stale old copy", {{kPath, "old"}, {kOld, "o"}}, nullptr, nullptr, true, {{kPath, "new"}}},
      {"an old copy that cannot be deleted", {{kPath, "old"}, {kOld, "o"}}, nullptr, kOld.c_str(), true,
       {{kPath, "new"}, {kOld, "o"}}},
      {"a save cut off before its last rename", {{kNew, "cut"}}, nullptr, nullptr, true, {{kPath, "new"}}},
      {"a stale new content beside the file", {{kPath, "old"}, {kNew, "cut"}}, nullptr, nullptr, true,
       {{kPath, "new"}}},
      {"content left half-written", {{kPath, "old"}, {kTmp, "t"}}, nullptr, nullptr, true, {{kPath, "new"}}},
      {"a read-only file", {{kPath, "old"}}, kPath.c_str(), nullptr, false, {{kPath, "old"}}},
      {"a file in use", {{kPath, "old"}}, nullptr, kPath.c_str(), false, {{kPath, "old"}}},
  };
  for (bool replacing : {true, false}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(testing::Message() << row.name << (replacing ? ", one-step rename" : ", Windows 9x"));
      FakeSystem fake;
      fake.replacingRename = replacing;
      fake.files = row.files;
      if (row.readOnly != nullptr) fake.readOnlyFiles.insert(row.readOnly);
      if (row.undeletable != nullptr) fake.undeletable.insert(row.undeletable);
      EXPECT_EQ(SaveSafely(fake, kPath, "new"), row.saved);
      EXPECT_EQ(fake.files, row.after);
      if (row.readOnly != nullptr) {
        EXPECT_EQ(fake.CountQueries("WriteFile"), 0u) << "nothing written at all";
      }
    }
  }
}

// Whatever change a save stops at, or fails at, the folder holds the old content or the new one
// under a name the next start reads (never a mixture, never nothing), and the next save puts
// things right.
TEST(FileStore, AnInterruptedSaveLeavesTheOldOrTheNewFile) {
  const std::string oldBytes = "0\r\n0\r\nBytes\r\n0\r\nBytes\r\n2\r\n4\r\n0\r\n0\r\n1\r\n0\r\n";
  const std::string newBytes = "1\r\n3\r\nGBytes\r\n3\r\nGBytes\r\n4\r\n0\r\n0\r\n0\r\n1\r\n2\r\n";
  for (bool replacing : {true, false}) {
    for (bool hadFile : {true, false}) {
      // Count the changes of an undisturbed save first.
      FakeSystem plain;
      plain.replacingRename = replacing;
      if (hadFile) plain.files[kPath] = oldBytes;
      ASSERT_TRUE(SaveSafely(plain, kPath, newBytes));
      ASSERT_GE(plain.changes, 2);
      for (int stop = 1; stop <= plain.changes; ++stop) {
        for (bool failOnly : {false, true}) {
          SCOPED_TRACE(testing::Message() << (replacing ? "one-step rename" : "Windows 9x") << ", old file " << hadFile
                                          << ", change " << stop << (failOnly ? " fails" : " and all after it stop"));
          FakeSystem fake;
          fake.replacingRename = replacing;
          if (hadFile) fake.files[kPath] = oldBytes;
          (failOnly ? fake.failAtChange : fake.stopAtChange) = stop;
          const bool saved = SaveSafely(fake, kPath, newBytes);
          // Only the save's own names, and X.new only ever complete.
          for (const auto& file : fake.files) {
            EXPECT_TRUE(file.first == kPath || file.first == kNew || file.first == kTmp) << file.first;
          }
          if (fake.files.count(kNew) != 0) {
            EXPECT_EQ(fake.files[kNew], newBytes);
          }
          if (fake.files.count(kPath) != 0) {
            EXPECT_TRUE(fake.files[kPath] == oldBytes || fake.files[kPath] == newBytes);
          }
          std::string bytes;
          const FileRead found = LoadSaved(fake, kPath, &bytes);
          if (hadFile) {
            ASSERT_EQ(found, FileRead::kRead);
            EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << bytes;
          } else if (found == FileRead::kRead) {
            EXPECT_EQ(bytes, newBytes);
          }
          // A save that says it worked has put the new content in place as the file itself.
          if (saved) {
            EXPECT_EQ(fake.files, (Files{{kPath, newBytes}}));
          }
          // One that failed at a single step has left the old content, or the new one complete.
          if (!saved && failOnly && hadFile) {
            const Files left = fake.files;
            EXPECT_TRUE(left == (Files{{kPath, oldBytes}}) || left == (Files{{kNew, newBytes}})) << left.size();
          }
          // The next save after the machine is back works and leaves the file alone.
          fake.failAtChange = 0;
          fake.stopAtChange = 0;
          ASSERT_TRUE(SaveSafely(fake, kPath, "again"));
          EXPECT_EQ(fake.files, (Files{{kPath, "again"}}));
        }
      }
    }
  }
}

}  // namespace
}  // namespace velkin
