#include "readouts/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>

#include "tests/support/native_fixtures.h"

namespace velkin {
namespace {

struct FixedRow {
  uint64_t count;
  unsigned shift;
  int decimals;
  const char* text;
};

TEST(FormatFixed, ExamplesTiesAndCarries) {
  const FixedRow rows[] = {
      // 320 MiB in the four ways a user sees it.
      {320 * kMiB, 20, 2, "320.00"},
      {320 * kMiB, 30, 4, "0.3125"},
      {320 * kMiB, 30, 2, "0.31"},
      {320 * kMiB, 30, 0, "0"},
      {3 * kGiB, 30, 2, "3.00"},
      {64 * kMiB, 20, 2, "64.00"},
      {64 * kMiB, 20, 0, "64"},
      {100 * kMiB, 30, 2, "0.10"},
      // Exactly half rounds to the even digit.
      {320 * kMiB, 30, 3, "0.312"},
      {kGiB / 2, 30, 0, "0"},
      {3 * kGiB / 2, 30, 0, "2"},
      {5 * kGiB / 2, 30, 0, "2"},
      {kGiB / 8, 30, 2, "0.12"},   // 0.125
      {3 * kGiB / 8, 30, 2, "0.38"},  // 0.375
      // Just above and below one half.
      {kGiB / 2 + 1, 30, 0, "1"},
      {kGiB / 2 - 1, 30, 0, "0"},
      // Carries through the digits into the whole part.
      {kGiB - 1, 30, 2, "1.00"},
      {10 * kMiB - 1, 20, 2, "10.00"},
      {999 * kGiB + kGiB - 1, 30, 4, "1000.0000"},
      // Nothing, and one byte.
      {0, 10, 2, "0.00"},
      {0, 30, 0, "0"},
      {1, 10, 4, "0.0010"},
      {1, 10, 9, "0.000976562"},  // 0.0009765625: a tie at the ninth digit, 2 is even
      {3, 10, 9, "0.002929688"},  // 0.0029296875: a tie, 7 rounds up to 8
      // The largest count.
      {UINT64_MAX, 30, 2, "17179869184.00"},
      {UINT64_MAX, 10, 0, "18014398509481984"},
  };
  for (const FixedRow& row : rows) {
    EXPECT_EQ(FormatFixed(row.count, row.shift, row.decimals), row.text)
        << row.count << " / 2^" << row.shift << " with " << row.decimals;
  }
}

TEST(FormatFixed, AgreesWithTheCStandardOnRandomFigures) {
  // glibc prints the exact binary value correctly rounded, ties to even: the reference that an
  // old msvcrt.dll is not. Counts below 2^53 make the quotient exact in a double.
  std::mt19937_64 random(20261207);
  const unsigned shifts[] = {10, 20, 30};
  for (int i = 0; i < 20000; ++i) {
    const int bits = 1 + static_cast<int>(random() % 53);
    uint64_t count = random() >> (64 - bits);
    if (i % 5 == 0) count = (count >> 6) << 6 | 0x20;  // many ties at some digit
    const unsigned shift = shifts[i % 3];
    const int decimals = static_cast<int>(random() % 10);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.*f", decimals, static_cast<double>(count) / static_cast<double>(uint64_t{1} << shift));
    ASSERT_EQ(FormatFixed(count, shift, decimals), expected) << count << " / 2^" << shift << " with " << decimals;
  }
}

TEST(SafeDecimals, EditedValuesReadAsTheNearestSoundOne) {
  const int rows[][2] = {{0, 0}, {4, 4}, {5, 5}, {9, 9}, {10, 9}, {58, 9}, {INT_MAX, 9}, {-1, 0}, {INT_MIN, 0}};
  for (const auto& row : rows) EXPECT_EQ(SafeDecimals(row[0]), row[1]) << row[0];
  EXPECT_EQ(FormatFixed(3 * kGiB, 30, 12), "3.000000000");
  EXPECT_EQ(FormatFixed(3 * kGiB, 30, -3), "3");
}

struct ByteRow {
  uint64_t count;
  int unit;
  int decimals;
  const char* name;
  const char* text;
};

TEST(FormatByteCount, EveryUnitAndTheBadOnes) {
  const ByteRow rows[] = {
      {320 * kMiB, 0, 2, "Bytes", "335544320 Bytes"},
      {320 * kMiB, 1, 2, "kBytes", "327680.00 kBytes"},
      {320 * kMiB, 2, 2, "MBytes", "320.00 MBytes"},
      {320 * kMiB, 3, 4, "GBytes", "0.3125 GBytes"},
      // Unit 0 prints whole bytes whatever the decimals.
      {123456789, 0, 4, "Bytes", "123456789 Bytes"},
      {UINT64_MAX, 0, 0, "Bytes", "18446744073709551615 Bytes"},
      // More than 4 GiB, which a 32-bit count could not hold.
      {5 * kGiB, 0, 2, "Bytes", "5368709120 Bytes"},
      // No drive at all measures 0.
      {0, 0, 2, "Bytes", "0 Bytes"},
      {0, 1, 2, "kBytes", "0.00 kBytes"},
      // The readout prints the name it is given, even an empty one.
      {100 * kMiB, 3, 2, "", "0.10 "},
      {kGiB, 2, 0, "GBytes", "1024 GBytes"},
      // Any other unit: the error text alone.
      {kGiB, 4, 2, "GBytes", "ERROR!!"},
      {kGiB, 7, 2, "Bytes", "ERROR!!"},
      {kGiB, -1, 2, "Bytes", "ERROR!!"},
      {kGiB, INT_MIN, 2, "Bytes", "ERROR!!"},
  };
  for (const ByteRow& row : rows) {
    EXPECT_EQ(FormatByteCount(row.count, row.unit, row.decimals, row.name), row.text)
        << row.count << " unit " << row.unit;
  }
}

TEST(FormatResources, ThreePlacesABlankAndTheFullWidthSign) {
  const std::string sign = "\x81\x93";
  const struct {
    int32_t percent;
    std::string text;
  } rows[] = {{7, "  7 " + sign},     {100, "100 " + sign},       {0, "  0 " + sign},
              {42, " 42 " + sign},    {1000, "1000 " + sign},     {-5, " -5 " + sign},
              {-100, "-100 " + sign}, {INT_MIN, "-2147483648 " + sign}};
  for (const auto& row : rows) EXPECT_EQ(FormatResources(row.percent), row.text) << row.percent;
}

}  // namespace
}  // namespace velkin
