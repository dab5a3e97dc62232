#pragma once
// The --stats report of every output, in one layout: a title line, then one
// line per figure, its label in a column of its own and its value after:
//
//   cellshow stats
//     ticks run              3773 (0 late grid points dropped)
//     frames presented       1309
//
// Fixed-size and allocation-free: reports are written at the end of a run,
// which a signal may have brought about.
#include <cstdarg>
#include <cstddef>

#include "platform/stats/tick_stats.h"

namespace cellshow {

class StatsText {
 public:
  static constexpr size_t Room = 2048;  // the longest report is under 1 KB

  explicit StatsText(const char* title = "cellshow stats");
  StatsText(const StatsText&) = delete;
  StatsText& operator=(const StatsText&) = delete;

  // One figure: "  <label padded to the value column><value>\n", the value
  // formatted as printf does. What does not fit in Room is cut.
  void Line(const char* label, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // The tick figures of a real clock: ticks, mean period, lateness, and the
  // first and last tick's time.
  void Ticks(const TickStats& ticks);

  const char* text() const { return text_; }
  size_t size() const { return size_; }

 private:
  void Append(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void AppendV(const char* format, va_list args);

  char text_[Room] = {};
  size_t size_ = 0;
};

}  // namespace cellshow
