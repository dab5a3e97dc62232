#pragma once
// The web backend's tick clock. The page calls in once per animation frame
// with the page clock (milliseconds); a tick is due every period after the
// start, at start + period * n for grid point n = 1, 2, ... Due times come
// from the start alone, so frames that arrive early or late never shift the
// grid (no drift). A frame runs the grid points that have passed since the
// last one, at most MaxTicksPerFrame of them: after a stall (a hidden tab, a
// slow machine) the older ones are dropped, as the native timer drops the grid
// points it was late for, rather than running a burst of catch-up ticks.
//
// Single-threaded, like everything on the page. Nothing is allocated.
#include <cstdint>

#include "platform/stats/tick_stats.h"

namespace cellshow {

class TickSchedule {
 public:
  // 8 ticks (136 ms of show) at most in one frame: a frame at 30 Hz still
  // keeps up, and a stall never turns into a long burst.
  static constexpr uint32_t MaxTicksPerFrame = 8;

  // Starts the grid at `nowMs`; the first tick is due one period later.
  void Start(double nowMs, double periodMs);

  // The grid points due at `nowMs` that have not run yet, newest
  // MaxTicksPerFrame only (the older ones are dropped and counted). Call
  // TakeTick for each of them, in order.
  uint32_t Due(double nowMs);
  // The due time of the next grid point; records its lateness against
  // `nowMs` and moves on to the grid point after it.
  double TakeTick(double nowMs);

  double startMs() const { return startMs_; }
  double periodMs() const { return periodMs_; }
  // The figures of the ticks taken so far (reorders the samples).
  TickStats Stats() { return record_.Read(static_cast<int64_t>(periodMs_ * 1e6)); }
  uint32_t dropped() const { return record_.dropped(); }
  double worstLatenessMs() const { return static_cast<double>(record_.worstLatenessNs()) / 1e6; }

 private:
  double DueMs(int64_t gridPoint) const {
    return startMs_ + periodMs_ * static_cast<double>(gridPoint);
  }

  double startMs_ = 0;
  double periodMs_ = 17;
  int64_t next_ = 1;  // the grid point that runs next
  TickRecord record_;
};

}  // namespace cellshow
