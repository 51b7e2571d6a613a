#include "readouts/format.h"

#include <algorithm>

namespace velkin {

const char* const kUnitNames[kUnitCount] = {"Bytes", "kBytes", "MBytes", "GBytes"};
const char kErrorText[] = "ERROR!!";

int SafeDecimals(int decimals) { return std::min(std::max(decimals, 0), 9); }

std::string DecimalDigits(uint64_t value, int width) {
  std::string digits;
  do {
    digits.push_back(static_cast<char>('0' + value % 10));
    value /= 10;
  } while (value != 0 || static_cast<int>(digits.size()) < width);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

std::string FormatFixed(uint64_t count, unsigned shift, int decimals) {
  // The quotient is a binary fraction with at most `shift` places, so its decimal expansion is
  // finite and every digit can be produced exactly: the fraction stays below 2^shift and ten
  // times it below 2^(shift+4), well inside 64 bits for the shifts used here (at most 30).
  decimals = SafeDecimals(decimals);
  const uint64_t one = uint64_t{1} << shift;
  uint64_t whole = count >> shift;
  uint64_t fraction = count & (one - 1);
  std::string digits;
  for (int i = 0; i < decimals; ++i) {
    fraction *= 10;
    digits.push_back(static_cast<char>('0' + (fraction >> shift)));
    fraction &= one - 1;
  }
  // What is left decides the rounding of the last digit kept: above one half rounds up, below
  // it down, exactly one half to an even last digit.
  const uint64_t half = one >> 1;
  const int lastDigit = decimals > 0 ? digits.back() - '0' : static_cast<int>(whole % 10);
  const bool up = shift > 0 && (fraction > half || (fraction == half && lastDigit % 2 == 1));
  if (up) {
    int i = decimals - 1;
    for (; i >= 0; --i) {
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        break;
      }
    }
    if (i < 0) ++whole;
  }
  std::string text = DecimalDigits(whole);
  if (decimals > 0) {
    text.push_back('.');
    text += digits;
  }
  return text;
}

std::string FormatByteCount(uint64_t count, int unit, int decimals, const std::string& unitName) {
  std::string number;
  switch (unit) {
    case kUnitBytes: number = DecimalDigits(count); break;
    case kUnitKBytes: number = FormatFixed(count, 10, decimals); break;
    case kUnitMBytes: number = FormatFixed(count, 20, decimals); break;
    case kUnitGBytes: number = FormatFixed(count, 30, decimals); break;
    default: return kErrorText;
  }
  return number + " " + unitName;
}

std::string FormatResources(int32_t percent) {
  const bool negative = percent < 0;
  const uint64_t magnitude =
      negative ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(percent)) : static_cast<uint64_t>(percent);
  std::string number = (negative ? "-" : "") + DecimalDigits(magnitude);
  if (number.size() < 3) number.insert(0, 3 - number.size(), ' ');
  return number + " ％";
}

}  // namespace velkin
