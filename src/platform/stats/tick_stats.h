#pragma once
// Figures of a run's ticks, kept by the timer of each backend and printed by
// --stats (stats_text.h).
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

// The figures of the ticks as they run, kept by the timer thread; read them
// once no tick is starting. Fixed-size: nothing is allocated per tick.
class TickRecord {
 public:
  static constexpr uint32_t MaxSamples = 8192;  // ticks that the percentile covers

  // A tick started `sinceStartNs` after the timer started and `latenessNs`
  // after it was due.
  void Add(int64_t sinceStartNs, int64_t latenessNs) {
    if (ticks_ == 0) firstNs_ = sinceStartNs;
    lastNs_ = sinceStartNs;
    if (ticks_ < MaxSamples) samples_[ticks_] = latenessNs;
    if (latenessNs > worstNs_) worstNs_ = latenessNs;
    ++ticks_;
  }
  void Drop(uint32_t gridPoints) { dropped_ += gridPoints; }
  uint32_t ticks() const { return ticks_; }
  uint32_t dropped() const { return dropped_; }
  int64_t worstLatenessNs() const { return worstNs_; }
  // Reorders the samples.
  TickStats Read(int64_t periodNs);

 private:
  uint32_t ticks_ = 0;
  uint32_t dropped_ = 0;
  int64_t firstNs_ = 0;
  int64_t lastNs_ = 0;
  int64_t worstNs_ = 0;
  int64_t samples_[MaxSamples] = {};
};

// The p-th percentile (0..100) of `values`, reordering them; 0 when empty.
int64_t Percentile(int64_t* values, uint32_t count, int p);

}  // namespace cellshow
