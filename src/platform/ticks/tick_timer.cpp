#include "platform/ticks/tick_timer.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace cellshow {
namespace {

thread_local const TickTimer* currentTimer = nullptr;

void SleepUntil(int64_t deadline) {
  timespec at{};
  at.tv_sec = static_cast<time_t>(deadline / 1000000000);
  at.tv_nsec = static_cast<long>(deadline % 1000000000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

}  // namespace

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t NextDeadline(int64_t deadline, int64_t now, int64_t period) {
  const int64_t next = deadline + period;
  if (next > now) return next;
  return deadline + (now - deadline) / period * period;
}

TickTimer::TickTimer(int64_t periodNs) : period_(periodNs > 0 ? periodNs : 1) {}

TickTimer::~TickTimer() {
  if (OnTimerThread()) {
    KeepOut();
    if (thread_.joinable()) thread_.detach();
    return;
  }
  Stop();
}

bool TickTimer::Start(TickFunction tick, void* context, bool realtime) {
  if (thread_.joinable() || tick == nullptr) return false;
  realtime_ = realtime;
  tick_ = tick;
  context_ = context;
  startNs_ = MonotonicNs();
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void TickTimer::KeepOut() { keepOut_.store(true, std::memory_order_seq_cst); }

void TickTimer::Stop() {
  KeepOut();
  if (OnTimerThread()) return;  // a tick cannot wait for itself
  if (thread_.joinable()) thread_.join();
}

bool TickTimer::OnTimerThread() const { return currentTimer == this; }

void TickTimer::Run() {
  currentTimer = this;
  if (realtime_) {
    // The lowest real-time priority: above every ordinary thread, below the
    // system's own. Refused without the right to it, and that is fine.
    sched_param lowest{};
    lowest.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowest);
  }
  int64_t deadline = startNs_ + period_;
  for (;;) {
    SleepUntil(deadline);
    if (keepOut_.load(std::memory_order_seq_cst)) break;
    const int64_t now = MonotonicNs();
    const int64_t lateness = now - deadline;
    record_.Add(now - startNs_, lateness);
    tick_(context_);
    if (keepOut_.load(std::memory_order_seq_cst)) break;
    const int64_t next = NextDeadline(deadline, MonotonicNs(), period_);
    record_.Drop(static_cast<uint32_t>((next - deadline) / period_ - 1));
    deadline = next;
  }
  currentTimer = nullptr;
}

TickStats TickTimer::Stats() { return record_.Read(period_); }

}  // namespace cellshow
