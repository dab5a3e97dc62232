#include "platform/tick_stats.h"

#include <algorithm>
#include <cstdio>

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

size_t FormatTickStats(const TickStats& ticks, char* out, size_t room) {
  if (room == 0) return 0;
  const auto ms = [](int64_t ns) { return static_cast<double>(ns) / 1e6; };
  const double period = ms(ticks.periodNs);
  const int n = std::snprintf(
      out, room,
      "cellshow stats\n"
      "  ticks run              %u (%u late grid points dropped)\n"
      "  mean tick period       %.3f ms (set: %.3f ms)\n"
      "  lateness p99 / worst   %.3f ms / %.3f ms (p99 over %u ticks)\n"
      "  first / last tick      %.1f ms / %.1f ms after the timer started (%u x %.0f ms = %.1f "
      "ms)\n",
      ticks.ticks, ticks.dropped, ms(ticks.meanPeriodNs), period, ms(ticks.p99LatenessNs),
      ms(ticks.worstLatenessNs), ticks.sampled, ms(ticks.firstTickNs), ms(ticks.lastTickNs),
      ticks.ticks, period, period * ticks.ticks);
  if (n < 0) return 0;
  return static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1;
}

}  // namespace cellshow
