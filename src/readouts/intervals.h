// The refresh intervals the interval selector offers; an entry's position is its index.
#ifndef VELKIN_READOUTS_INTERVALS_H
#define VELKIN_READOUTS_INTERVALS_H

#include <cstddef>
#include <cstdint>

namespace velkin {

struct IntervalRow {
  const char* entry;  // the selector's text (CP932)
  uint32_t period;    // milliseconds
};

constexpr std::size_t kIntervalCount = 7;
extern const IntervalRow kIntervals[kIntervalCount];

// The index selected on a first start: "1秒".
constexpr int kDefaultIntervalIndex = 4;

// The period of the entry at `index`, or 0 when there is no such entry (no timer then).
uint32_t IntervalPeriod(int index);

// The refresh timer's identifier.
constexpr uintptr_t kRefreshTimerId = 1;

}  // namespace velkin

#endif
