// The release image's own memory and string functions, built here under other names and
// checked against the C library's on the cases that tell a right one from a wrong one.
#define VELKIN_RUNTIME_NAME(name) velkin_rt_##name
#include "runtime/release_memory.cpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Every overlap a move can have, both ways, in a buffer of distinct bytes.
TEST(ReleaseMemory, MoveCopiesAsIfThroughATemporaryWhateverTheOverlap) {
  for (std::size_t from = 0; from < 12; ++from) {
    for (std::size_t to = 0; to < 12; ++to) {
      for (std::size_t size = 0; size + std::max(from, to) <= 16; ++size) {
        char ours[16], theirs[16];
        for (int i = 0; i < 16; ++i) ours[i] = theirs[i] = static_cast<char>('a' + i);
        EXPECT_EQ(velkin_rt_memmove(ours + to, ours + from, size), ours + to);
        std::memmove(theirs + to, theirs + from, size);
        EXPECT_EQ(std::string(ours, 16), std::string(theirs, 16)) << from << " -> " << to << ", " << size;
      }
    }
  }
}

TEST(ReleaseMemory, CopiesFillsComparesAndSearchesLikeTheCLibrary) {
  char buffer[8] = "abcdefg";
  EXPECT_EQ(velkin_rt_memcpy(buffer, "XYZ", 3), buffer);
  EXPECT_STREQ(buffer, "XYZdefg");
  EXPECT_EQ(velkin_rt_memset(buffer + 1, '-', 3), buffer + 1);
  EXPECT_STREQ(buffer, "X---efg");
  // Comparisons are of unsigned bytes: 0x82 (a CP932 lead byte) is above 'z'.
  const struct {
    const char* a;
    const char* b;
  } pairs[] = {{"abc", "abc"}, {"abc", "abd"}, {"abd", "abc"}, {"ab", "abc"}, {"\x82\xa0", "z"}, {"", ""}};
  for (const auto& p : pairs) {
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    EXPECT_EQ(sign(velkin_rt_strcmp(p.a, p.b)), sign(std::strcmp(p.a, p.b))) << p.a << " " << p.b;
    const std::size_t n = std::min(std::strlen(p.a), std::strlen(p.b)) + 1;
    EXPECT_EQ(sign(velkin_rt_memcmp(p.a, p.b, n)), sign(std::memcmp(p.a, p.b, n))) << p.a << " " << p.b;
    EXPECT_EQ(velkin_rt_strlen(p.a), std::strlen(p.a));
  }
  const char text[] = "表示ソフト\\";
  EXPECT_EQ(velkin_rt_memchr(text, '\\', sizeof text), std::memchr(text, '\\', sizeof text));
  EXPECT_EQ(velkin_rt_memchr(text, '?', sizeof text), nullptr);
}

}  // namespace
