#include "readouts/intervals.h"

namespace velkin {

const IntervalRow kIntervals[kIntervalCount] = {
    {"50ミリ秒", 50}, {"100ミリ秒", 100}, {"200ミリ秒", 200}, {"500ミリ秒", 500},
    {"1秒", 1000},    {"2秒", 2000},      {"5秒", 5000},
};

uint32_t IntervalPeriod(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kIntervalCount) return 0;
  return kIntervals[index].period;
}

}  // namespace velkin
