#pragma once
// A progress line on stderr, redrawn in place, for an export that takes a
// while: percent, frames, elapsed time and time left. Drawn only when stderr
// is a terminal, and only once the work has run for a moment, so that quick
// exports and redirected output stay silent.
#include <chrono>
#include <cstdint>
#include <string>

namespace cellshow {

// The line for `done` of `total` frames after `elapsedMs` (no time left is
// given until something is done), e.g.
// "show.mp4  42%  1585/3774 frames  0:10 elapsed  0:14 left".
std::string ProgressText(const std::string& label, uint32_t done, uint32_t total,
                         int64_t elapsedMs);

class ProgressLine {
 public:
  // enabled: draw at all (stderr is a terminal).
  ProgressLine(std::string label, uint32_t total, bool enabled);
  ~ProgressLine();  // erases the line
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Redraws, at most ten times a second.
  void Update(uint32_t done);
  // Erases the line, so that what follows starts a clean one.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::string label_;
  uint32_t total_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point nextDraw_ = start_ + std::chrono::milliseconds(300);
};

}  // namespace cellshow
