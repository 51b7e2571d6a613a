// Reading a loaded module's export directory by number must find what the loader finds.
#include "platform/pe_exports.h"

#include <gtest/gtest.h>

namespace {

TEST(ExportByOrdinal, FindsWhatTheLoaderFinds) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  ASSERT_NE(kernel, nullptr);
  int compared = 0;
  for (WORD ordinal = 1; ordinal < 1500; ++ordinal) {
    const FARPROC ours = ExportByOrdinal(kernel, ordinal);
    if (ours == nullptr) continue;  // none, or a forwarder the loader would follow elsewhere
    EXPECT_EQ(ours, GetProcAddress(kernel, MAKEINTRESOURCEA(ordinal))) << ordinal;
    ++compared;
  }
  EXPECT_GT(compared, 100);
  // A named export found both ways.
  const FARPROC named = GetProcAddress(kernel, "GetTickCount");
  bool seen = false;
  for (WORD ordinal = 1; ordinal < 2000 && !seen; ++ordinal) seen = ExportByOrdinal(kernel, ordinal) == named;
  EXPECT_TRUE(seen);
}

TEST(ExportByOrdinal, NothingOutsideTheTable) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  EXPECT_EQ(ExportByOrdinal(kernel, 0), nullptr);
  EXPECT_EQ(ExportByOrdinal(kernel, 0xFFFF), nullptr);
  EXPECT_EQ(ExportByOrdinal(nullptr, 35), nullptr);
  // The program itself exports nothing.
  EXPECT_EQ(ExportByOrdinal(GetModuleHandleA(nullptr), 1), nullptr);
}

}  // namespace
