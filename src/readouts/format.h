// The readouts' texts. Every figure is formatted here by our own code, so that the texts do not
// depend on which C runtime the machine has.
#ifndef VELKIN_READOUTS_FORMAT_H
#define VELKIN_READOUTS_FORMAT_H

#include <cstdint>
#include <string>

namespace velkin {

// Unit indices of the byte readouts.
enum : int { kUnitBytes = 0, kUnitKBytes = 1, kUnitMBytes = 2, kUnitGBytes = 3 };

// The unit names, by unit index: the one table of them.
constexpr int kUnitCount = 4;
extern const char* const kUnitNames[kUnitCount];  // "Bytes", "kBytes", "MBytes", "GBytes"

// The text that replaces a readout whose unit index is not one of the four.
extern const char kErrorText[];  // "ERROR!!"

// Decimal places outside 0..9 can only come from an edited settings file; they read as the
// nearest of 0 and 9, so the fraction always has a sound number of digits.
int SafeDecimals(int decimals);

// The whole number in decimal digits, without grouping, with leading zeros up to `width` digits
// ("%0*llu").
std::string DecimalDigits(uint64_t value, int width = 1);

// count / 2^shift printed with `decimals` digits after the point, exactly as the C standard's
// "%.Nf" prints that quotient: correctly rounded, ties to even (0.3125 with 3 places is 0.312).
// No point with 0 places.
std::string FormatFixed(uint64_t count, unsigned shift, int decimals);

// A byte count in a unit, followed by a blank and the unit name: unit 0 prints the whole count,
// units 1 to 3 the count in 2^10, 2^20, 2^30 bytes with SafeDecimals(decimals) places. Any other
// unit gives "ERROR!!" alone.
std::string FormatByteCount(uint64_t count, int unit, int decimals, const std::string& unitName);

// The free system resources: at least three places, right-aligned, a blank and the full-width
// percent sign ("%3d ％").
std::string FormatResources(int32_t percent);

}  // namespace velkin

#endif
