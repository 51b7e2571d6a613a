#include "settings/file_store.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake_system.h"

namespace velkin {
namespace {

const std::string kPath = "C:\\表示ソフト\\vlkini.dat";

TEST(FileStore, FilesLieBesideTheProgram) {
  FakeSystem fake;
  fake.modulePath = "C:\\表示ソフト\\velkin.exe";
  EXPECT_EQ(PathBesideProgram(fake, "vlkini.dat"), kPath);
}

TEST(FileStore, ASaveReplacesTheFileOnBothKindsOfSystem) {
  for (bool replacing : {true, false}) {
    FakeSystem fake;
    fake.replacingRename = replacing;
    ASSERT_TRUE(SaveSafely(fake, kPath, "first"));
    ASSERT_TRUE(SaveSafely(fake, kPath, "second"));
    EXPECT_EQ(fake.files.size(), 1u) << "no helper file is left behind";
    std::string bytes;
    ASSERT_TRUE(LoadSaved(fake, kPath, &bytes));
    EXPECT_EQ(bytes, "second");
  }
}

TEST(FileStore, ASaveThatCannotWriteLeavesTheOldFile) {
  FakeSystem fake;
  fake.files[kPath] = "old";
  fake.readOnly = true;
  EXPECT_FALSE(SaveSafely(fake, kPath, "new"));
  EXPECT_EQ(fake.files.size(), 1u);
  EXPECT_EQ(fake.files[kPath], "old");
}

// Whatever change a save stops at, or fails at, what the next start reads is the old content or
// the new one, never a mixture, never nothing.
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
          SCOPED_TRACE(testing::Message() << "replacing " << replacing << ", old file " << hadFile << ", change "
                                          << stop << (failOnly ? " fails" : " and all after it stop"));
          FakeSystem fake;
          fake.replacingRename = replacing;
          if (hadFile) fake.files[kPath] = oldBytes;
          if (failOnly) {
            fake.failAtChange = stop;
          } else {
            fake.stopAtChange = stop;
          }
          const bool saved = SaveSafely(fake, kPath, newBytes);
          std::string bytes;
          const bool found = LoadSaved(fake, kPath, &bytes);
          if (hadFile) {
            ASSERT_TRUE(found);
            EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << bytes;
          } else if (found) {
            EXPECT_EQ(bytes, newBytes);
          }
          // A save that says it worked has put the new content in place.
          if (saved) {
            EXPECT_EQ(bytes, newBytes);
          }
          // One that says it did not has left the old content.
          if (!saved && failOnly && hadFile) {
            EXPECT_EQ(bytes, oldBytes);
          }
          fake.failAtChange = 0;
          // The next save after the machine is back works and tidies up.
          fake.stopAtChange = 0;
          ASSERT_TRUE(SaveSafely(fake, kPath, "again"));
          ASSERT_TRUE(LoadSaved(fake, kPath, &bytes));
          EXPECT_EQ(bytes, "again");
          EXPECT_EQ(fake.files.count(kPath + ".new"), 0u);
        }
      }
    }
  }
}

TEST(FileStore, AStaleOldFileDoesNotHideTheCurrentOne) {
  FakeSystem fake;
  fake.files[kPath] = "current";
  fake.files[kPath + ".old"] = "stale";
  std::string bytes;
  ASSERT_TRUE(LoadSaved(fake, kPath, &bytes));
  EXPECT_EQ(bytes, "current");
  fake.replacingRename = false;
  ASSERT_TRUE(SaveSafely(fake, kPath, "next"));
  EXPECT_EQ(fake.files.count(kPath + ".old"), 0u);
  ASSERT_TRUE(LoadSaved(fake, kPath, &bytes));
  EXPECT_EQ(bytes, "next");
}

TEST(FileStore, NothingSavedReadsAsNoFile) {
  FakeSystem fake;
  std::string bytes;
  EXPECT_FALSE(LoadSaved(fake, kPath, &bytes));
}

}  // namespace
}  // namespace velkin
