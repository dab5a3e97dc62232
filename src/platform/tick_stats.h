#pragma once
// Figures of a run's ticks, kept by the timer of each backend and printed by
// --stats.
#include <cstddef>
#include <cstdint>

namespace cellshow {

// Times in nanoseconds.
struct TickStats {
  int64_t periodNs = 0;
  uint32_t ticks = 0;
  uint32_t dropped = 0;      // grid points passed while a tick was late
  int64_t firstTickNs = 0;   // start of the first tick, from the timer's start
  int64_t lastTickNs = 0;    // start of the last tick, from the timer's start
  int64_t meanPeriodNs = 0;  // between the first and the last tick
  int64_t p99LatenessNs = 0;
  int64_t worstLatenessNs = 0;
  uint32_t sampled = 0;  // ticks that the percentile covers
};

// The p-th percentile (0..100) of `values`, reordering them; 0 when empty.
int64_t Percentile(int64_t* values, uint32_t count, int p);

// "cellshow stats" and the tick lines, into `out` (NUL-terminated, cut to
// `room`). Returns the length written.
size_t FormatTickStats(const TickStats& ticks, char* out, size_t room);

}  // namespace cellshow
