#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_system.h"

namespace velkin {
namespace {

StoredSettings Parse(const std::string& bytes, bool* any = nullptr) {
  StoredSettings settings;
  const bool read = ParseSettings(bytes, &settings);
  if (any != nullptr) *any = read;
  return settings;
}

TEST(SettingsFile, ReadsTheElevenLinesAnEarlierVersionWrote) {
  const StoredSettings s = Parse("2\r\n3\r\nGBytes\r\n1\r\nkBytes\r\n4\r\n0\r\n0\r\n0\r\n1\r\n2\r\n");
  EXPECT_EQ(s.drive, 2);
  EXPECT_TRUE(s.driveValid);
  EXPECT_EQ(s.freeUnit, 3);
  EXPECT_EQ(s.freeUnitName, "GBytes");
  EXPECT_EQ(s.totalUnit, 1);
  EXPECT_EQ(s.totalUnitName, "kBytes");
  EXPECT_EQ(s.decimals, 4);
  EXPECT_EQ(s.interval, 0);
  EXPECT_TRUE(s.intervalValid);
  EXPECT_EQ(s.memoryUnit, 2);
}

TEST(SettingsFile, WritesTheSameBytesTheProgramAlwaysWrote) {
  StoredSettings s;
  s.drive = 0;
  s.freeUnitName = "Bytes";
  s.totalUnitName = "Bytes";
  s.decimals = 2;
  s.interval = 4;
  s.windowLeft = 0;
  s.windowTop = -3;
  EXPECT_EQ(FormatSettings(s), "0\r\n0\r\nBytes\r\n0\r\nBytes\r\n2\r\n4\r\n0\r\n-3\r\n1\r\n0\r\n");
  // And what is written reads back.
  s.drive = -1;
  s.freeUnit = 3;
  s.freeUnitName = "GBytes";
  s.memoryUnit = 1;
  const StoredSettings back = Parse(FormatSettings(s));
  EXPECT_EQ(back.drive, -1);
  EXPECT_EQ(back.freeUnit, 3);
  EXPECT_EQ(back.freeUnitName, "GBytes");
  EXPECT_EQ(back.memoryUnit, 1);
}

TEST(SettingsFile, IntegerLinesTakeTheLeadingNumberOrNone) {
  const struct {
    const char* line;
    bool valid;
    int32_t value;
  } rows[] = {
      {"7", true, 7},          {"-1", true, -1},       {"+3", true, 3},      {"  12", true, 12},
      {"\t5 apples", true, 5}, {"5apples", true, 5},   {"007", true, 7},     {"word", false, 0},
      {"", false, 0},          {"- 1", false, 0},      {"--1", false, 0},    {"x7", false, 0},
      {"4294967297", true, 1},  // wraps to 32 bits like the runtime's number reading
      {"2147483648", true, INT32_MIN},
  };
  for (const auto& row : rows) {
    const StoredSettings s = Parse(std::string("0\n0\nB\n0\nB\n0\n") + row.line + "\n");
    EXPECT_EQ(s.intervalValid, row.valid) << row.line;
    EXPECT_EQ(s.interval, row.value) << row.line;
  }
}

TEST(SettingsFile, FieldsWithoutAValueKeepWhatTheyHad) {
  StoredSettings s;
  s.freeUnit = 9;  // what the program held before reading
  s.decimals = 8;
  ASSERT_TRUE(ParseSettings("x\nwords\nMBytes\n1\nkBytes\nmany\nnone\n", &s));
  EXPECT_FALSE(s.driveValid);
  EXPECT_EQ(s.freeUnit, 9);
  EXPECT_EQ(s.freeUnitName, "MBytes");
  EXPECT_EQ(s.decimals, 8);
  EXPECT_FALSE(s.intervalValid);
}

TEST(SettingsFile, AShortFileRereadsItsLastLine) {
  // Three lines: every later field is parsed from the text of line 3.
  const StoredSettings s = Parse("1\r\n2\r\nBytes\r\n");
  EXPECT_EQ(s.drive, 1);
  EXPECT_EQ(s.freeUnit, 2);
  EXPECT_EQ(s.freeUnitName, "Bytes");
  EXPECT_EQ(s.totalUnit, 0);
  EXPECT_EQ(s.totalUnitName, "Bytes");
  EXPECT_EQ(s.decimals, 0);
  EXPECT_FALSE(s.intervalValid);
  EXPECT_EQ(s.memoryUnit, 0);
  // A last line that is a number fills every later number field.
  const StoredSettings numbers = Parse("1\n2\nMBytes\n3\n");
  EXPECT_EQ(numbers.totalUnit, 3);
  EXPECT_EQ(numbers.totalUnitName, "3");
  EXPECT_EQ(numbers.decimals, 3);
  EXPECT_TRUE(numbers.intervalValid);
  EXPECT_EQ(numbers.interval, 3);
  EXPECT_EQ(numbers.memoryUnit, 3);
}

TEST(SettingsFile, LongLinesAreCutAt62BytesAndContinueAsTheNextField) {
  // Line 3 of 70 bytes: the unit name is its first 61 bytes (the 62nd is taken as the line
  // feed), and its last 8 bytes are read as line 4.
  const std::string name = std::string(62, 'N') + "1234567";  // 69 bytes and a line feed
  const StoredSettings s = Parse("0\n0\n" + name + "\nBytes\n2\n4\n0\n0\n1\n0\n");
  EXPECT_EQ(s.freeUnitName, std::string(61, 'N'));
  EXPECT_EQ(s.totalUnit, 1234567);
  EXPECT_EQ(s.totalUnitName, "Bytes");  // line 4 of the file, read as field 5
  EXPECT_EQ(s.decimals, 2);
  EXPECT_EQ(s.interval, 4);
  EXPECT_EQ(s.memoryUnit, 0);
  // Exactly 61 bytes and the line feed fit.
  const StoredSettings fits = Parse("0\n0\n" + std::string(61, 'x') + "\n5\n");
  EXPECT_EQ(fits.freeUnitName, std::string(61, 'x'));
  EXPECT_EQ(fits.totalUnit, 5);
}

TEST(SettingsFile, TextModeEndsAtCtrlZAndKeepsALoneCarriageReturn) {
  const StoredSettings s = Parse("1\r\n2\r\nMB\rytes\r\n\x1A" "3\r\nkBytes\r\n");
  EXPECT_EQ(s.freeUnitName, "MB\rytes");
  EXPECT_EQ(s.totalUnit, 0) << "nothing after the Ctrl-Z is read";
  EXPECT_EQ(s.totalUnitName, "MB\rytes");
}

TEST(SettingsFile, AnEmptyFileHoldsNoSettings) {
  bool any = true;
  Parse("", &any);
  EXPECT_FALSE(any);
  Parse("\x1A\r\n1\r\n", &any);
  EXPECT_FALSE(any);
  Parse("\n", &any);
  EXPECT_TRUE(any) << "one empty line is a line";
}

TEST(ExclusionList, ReadsTwentyNonEmptyLinesWhole) {
  std::string bytes;
  for (int i = 1; i <= 25; ++i) bytes += "Window " + std::to_string(i) + "\r\n";
  std::vector<std::string> entries = ParseExclusionList(bytes).Titles();
  ASSERT_EQ(entries.size(), 20u);
  EXPECT_EQ(entries.front(), "Window 1");
  EXPECT_EQ(entries.back(), "Window 20");

  // Empty lines are skipped and do not count.
  entries = ParseExclusionList("\r\nA\r\n\r\n\r\nB\r\n\n").Titles();
  EXPECT_EQ(entries, (std::vector<std::string>{"A", "B"}));

  // A last line without a line feed is kept whole.
  entries = ParseExclusionList("メモ帳\r\n電卓").Titles();
  EXPECT_EQ(entries, (std::vector<std::string>{"メモ帳", "電卓"}));

  // Titles of any length come back whole, double-byte characters and all.
  const std::string longTitle = std::string(100, 'L') + "表示ソフト" + std::string(80, 'M');
  entries = ParseExclusionList(longTitle + "\r\nshort\r\n").Titles();
  EXPECT_EQ(entries, (std::vector<std::string>{longTitle, "short"}));
  EXPECT_EQ(ParseExclusionList("").Count(), 0);
}

TEST(ExclusionList, WritesEachEntryOnItsLine) {
  const ExclusionList entries({"メモ帳", "Program A", "x"});
  EXPECT_EQ(FormatExclusionList(entries), "\x83\x81\x83\x82\x92\xA0\r\nProgram A\r\nx\r\n");
  EXPECT_EQ(FormatExclusionList(ExclusionList()), "");
  EXPECT_EQ(ParseExclusionList(FormatExclusionList(entries)).Titles(),
            (std::vector<std::string>{"メモ帳", "Program A", "x"}));
}

TEST(FolderOf, StepsOverTrailBytesThatLookLikeBackslashes) {
  FakeSystem fake;  // code page 932
  const LeadByteTest cp932 = fake.LeadBytes();
  const struct {
    const char* path;
    const char* folder;
  } rows[] = {
      {"C:\\Velkin\\velkin.exe", "C:\\Velkin\\"},
      // 表 is 0x95 0x5C, ソ 0x83 0x5C, 能 0x94 0x5C: their second bytes are no separators.
      {"C:\\表示ソフト\\velkin.exe", "C:\\表示ソフト\\"},
      {"C:\\Tools\\表\\velkin.exe", "C:\\Tools\\表\\"},
      {"D:\\性能\\ソ", "D:\\性能\\"},
      {"C:\\ソ", "C:\\"},
      {"\\\\server\\share\\velkin.exe", "\\\\server\\share\\"},
      {"velkin.exe", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(FolderOf(row.path, cp932), row.folder) << row.path;
  // Longer than any fixed buffer.
  const std::string deep = "C:\\" + std::string(300, 'a') + "\\表\\" + std::string(300, 'b') + "\\velkin.exe";
  EXPECT_EQ(FolderOf(deep, cp932), deep.substr(0, deep.size() - std::string("velkin.exe").size()));
}

}  // namespace
}  // namespace velkin
