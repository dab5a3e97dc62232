#include "platform/stats/tick_stats.h"

#include <algorithm>

namespace cellshow {

int64_t Percentile(int64_t* values, uint32_t count, int p) {
  if (count == 0) return 0;
  // Nearest rank: the smallest value with at least p% of the values at or below it.
  uint64_t rank = (static_cast<uint64_t>(count) * static_cast<uint64_t>(p) + 99) / 100;
  if (rank == 0) rank = 1;
  int64_t* nth = values + (rank - 1);
  std::nth_element(values, nth, values + count);
  return *nth;
}

TickStats TickRecord::Read(int64_t periodNs) {
  TickStats stats;
  stats.periodNs = periodNs;
  stats.ticks = ticks_;
  stats.dropped = dropped_;
  stats.firstTickNs = firstNs_;
  stats.lastTickNs = lastNs_;
  stats.meanPeriodNs = ticks_ > 1 ? (lastNs_ - firstNs_) / (ticks_ - 1) : 0;
  stats.sampled = std::min(ticks_, MaxSamples);
  stats.p99LatenessNs = Percentile(samples_, stats.sampled, 99);
  stats.worstLatenessNs = worstNs_;
  return stats;
}

}  // namespace cellshow
