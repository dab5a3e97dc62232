#include "platform/stats/stats_text.h"

#include <algorithm>
#include <cstdio>

namespace cellshow {
namespace {

// Labels are padded to this many characters, so the values line up.
constexpr int LabelWidth = 23;

}  // namespace

StatsText::StatsText(const char* title) { Append("%s\n", title); }

void StatsText::AppendV(const char* format, va_list args) {
  const int n = std::vsnprintf(text_ + size_, Room - size_, format, args);
  if (n > 0) size_ = std::min(size_ + static_cast<size_t>(n), Room - 1);
}

void StatsText::Append(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendV(format, args);
  va_end(args);
}

void StatsText::Line(const char* label, const char* format, ...) {
  Append("  %-*s", LabelWidth, label);
  va_list args;
  va_start(args, format);
  AppendV(format, args);
  va_end(args);
  Append("\n");
}

void StatsText::Ticks(const TickStats& ticks) {
  const auto ms = [](int64_t ns) { return static_cast<double>(ns) / 1e6; };
  const double period = ms(ticks.periodNs);
  Line("ticks run", "%u (%u late grid points dropped)", ticks.ticks, ticks.dropped);
  Line("mean tick period", "%.3f ms (set: %.3f ms)", ms(ticks.meanPeriodNs), period);
  Line("lateness p99 / worst", "%.3f ms / %.3f ms (p99 over %u ticks)", ms(ticks.p99LatenessNs),
       ms(ticks.worstLatenessNs), ticks.sampled);
  Line("first / last tick", "%.1f ms / %.1f ms after the timer started (%u x %.0f ms = %.1f ms)",
       ms(ticks.firstTickNs), ms(ticks.lastTickNs), ticks.ticks, period, period * ticks.ticks);
}

}  // namespace cellshow
