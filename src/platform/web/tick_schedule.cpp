#include "platform/web/tick_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace cellshow {

void TickSchedule::Start(double nowMs, double periodMs) {
  startMs_ = nowMs;
  periodMs_ = periodMs > 0 ? periodMs : 1;
  next_ = 1;
  record_ = TickRecord{};
}

uint32_t TickSchedule::Due(double nowMs) {
  // The last grid point that has passed. A clock that steps back gives
  // nothing to run; one that leaps is held to a count that fits.
  constexpr double Farthest = 1e15;  // grid points: 500 000 years of ticks
  const double passed = std::floor((nowMs - startMs_) / periodMs_);
  if (!(passed >= static_cast<double>(next_))) return 0;
  const auto last = static_cast<int64_t>(passed < Farthest ? passed : Farthest);
  const int64_t due = last - next_ + 1;
  if (due <= MaxTicksPerFrame) return static_cast<uint32_t>(due);
  const int64_t drop = due - MaxTicksPerFrame;
  const auto counted =
      static_cast<uint32_t>(std::min<int64_t>(drop, UINT32_MAX - record_.dropped()));
  record_.Drop(counted);
  next_ += drop;
  return MaxTicksPerFrame;
}

double TickSchedule::TakeTick(double nowMs) {
  const double due = DueMs(next_);
  const auto latenessNs = static_cast<int64_t>(std::llround((nowMs - due) * 1e6));
  record_.Add(static_cast<int64_t>(std::llround((nowMs - startMs_) * 1e6)), latenessNs);
  ++next_;
  return due;
}

}  // namespace cellshow
