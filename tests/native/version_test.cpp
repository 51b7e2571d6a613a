#include "info/version.h"

#include <gtest/gtest.h>

#include <string>

namespace velkin {
namespace {

TEST(JudgeRelease, ByTheLowSixteenBitsOfTheBuild) {
  const struct {
    uint32_t major, minor, build;
    const char* name;
    bool largeDisk, suspend;
    const char* text;
  } rows[] = {
      {4, 0, 950, "[Windows 95]", false, false, "Windowsのバージョン：4.00.950 [Windows 95]"},
      {4, 0, 999, "[Windows 95]", false, false, "Windowsのバージョン：4.00.999 [Windows 95]"},
      {4, 0, 1000, "[Windows 95 OSR2]", true, false, "Windowsのバージョン：4.00.1000 [Windows 95 OSR2]"},
      {4, 0, 1111, "[Windows 95 OSR2]", true, false, "Windowsのバージョン：4.00.1111 [Windows 95 OSR2]"},
      {4, 3, 1997, "[Windows 95 OSR2]", true, false, "Windowsのバージョン：4.03.1997 [Windows 95 OSR2]"},
      {4, 10, 1998, "[Windows 98]", true, true, "Windowsのバージョン：4.10.1998 [Windows 98]"},
      {4, 10, 2222, "[Windows 98]", true, true, "Windowsのバージョン：4.10.2222 [Windows 98]"},
      // Windows 9x keeps the major and minor version in the high bits: only the low 16 count,
      // and only they are shown.
      {4, 10, 0x040A08AE, "[Windows 98]", true, true, "Windowsのバージョン：4.10.2222 [Windows 98]"},
      {4, 0, 0x040003B6, "[Windows 95]", false, false, "Windowsのバージョン：4.00.950 [Windows 95]"},
      {4, 0, 0xFFFF0000u + 1111, "[Windows 95 OSR2]", true, false, "Windowsのバージョン：4.00.1111 [Windows 95 OSR2]"},
      // A build of 0x10000 + 500 is 500: an old Windows 95, however large the whole number.
      {4, 0, 0x10000u + 500, "[Windows 95]", false, false, "Windowsのバージョン：4.00.500 [Windows 95]"},
      // The platform and version numbers play no part: today's Windows counts as 98.
      {6, 1, 7601, "[Windows 98]", true, true, "Windowsのバージョン：6.01.7601 [Windows 98]"},
      {10, 0, 19045, "[Windows 98]", true, true, "Windowsのバージョン：10.00.19045 [Windows 98]"},
  };
  for (const auto& row : rows) {
    const WindowsRelease release = JudgeRelease(row.major, row.minor, row.build);
    EXPECT_STREQ(release.name, row.name) << row.build;
    EXPECT_EQ(release.largeDisk, row.largeDisk) << row.build;
    EXPECT_EQ(release.suspend, row.suspend) << row.build;
    EXPECT_EQ(release.versionText, row.text) << row.build;
  }
}

TEST(JudgeRelease, TheDialogTextsFollowTheFlags) {
  EXPECT_EQ(std::string(DiskSupportText(true)), "Windows 95 OSR2以上なので\r\n2GB以上のディスクをサポートします。");
  EXPECT_EQ(std::string(DiskSupportText(false)), "Windows 95のバージョンが古いので\r\n2GB以上のディスクをサポートしません。");
  EXPECT_EQ(std::string(SuspendSupportText(true)), "このバージョンではサスペンドモードを正式にサポートしています。");
  EXPECT_EQ(std::string(SuspendSupportText(false)), "このバージョンではサスペンドモードを正式にサポートしていません。");
  // Any non-zero flag counts as set.
  EXPECT_STREQ(DiskSupportText(-1), DiskSupportText(true));
  EXPECT_STREQ(SuspendSupportText(2), SuspendSupportText(true));
}

}  // namespace
}  // namespace velkin
