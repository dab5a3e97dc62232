#pragma once
// A periodic tick on a thread of its own, on absolute CLOCK_MONOTONIC
// deadlines. Ticks never overlap, and a tick that comes late is followed by
// the next one on the grid, never by a burst of catch-up ticks.
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/stats/tick_stats.h"

namespace cellshow {

using TickFunction = void (*)(void* context);

// The deadline of the tick after the one due at `deadline`, given the time
// `now` at which that tick ended. Normally the next grid point; when it has
// passed already, the latest grid point that has passed (so one late tick runs
// at once) and the grid points before it are dropped.
int64_t NextDeadline(int64_t deadline, int64_t now, int64_t period);

// Nanoseconds on CLOCK_MONOTONIC.
int64_t MonotonicNs();

class TickTimer {
 public:
  explicit TickTimer(int64_t periodNs);
  ~TickTimer();
  TickTimer(const TickTimer&) = delete;
  TickTimer& operator=(const TickTimer&) = delete;

  // Starts the thread; the first tick comes one period later. False when the
  // thread cannot be made (no tick will ever run). `realtime` asks for a
  // real-time scheduling class where the system allows it (ticks then keep
  // their beat on a busy machine); without the right to it, nothing changes.
  bool Start(TickFunction tick, void* context, bool realtime = false);
  // From any thread: no tick starts from now on. A tick that is running (the
  // caller's own, inside a tick) still runs to its end.
  void KeepOut();
  // Not from inside a tick: keeps ticks out, waits for a running tick to end
  // and ends the thread. Safe to repeat.
  void Stop();
  bool OnTimerThread() const;
  int64_t periodNs() const { return period_; }

  // Reads the figures; call when no tick is starting (after Stop, or from a
  // thread that the last tick has handed over to).
  TickStats Stats();

 private:
  void Run();

  const int64_t period_;
  TickFunction tick_ = nullptr;
  void* context_ = nullptr;
  std::atomic<bool> keepOut_{false};
  bool realtime_ = false;
  std::thread thread_;

  // Written by the timer thread before each tick.
  int64_t startNs_ = 0;
  TickRecord record_;
};

}  // namespace cellshow
