#pragma once
// Runs the real program in an 80x50 pseudo-terminal for the music tests:
// the terminal output is read as it comes (and timed), stderr goes to a file.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/audio_support.h"

namespace cellshow::test {

class ShowProcess {
 public:
  ShowProcess() = default;
  ~ShowProcess();
  ShowProcess(const ShowProcess&) = delete;
  ShowProcess& operator=(const ShowProcess&) = delete;

  // Starts the program with `args` and these variables added to (or, with a
  // null value, removed from) its environment. False when it cannot start.
  bool Start(const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, const char*>>& environment,
             const std::string& stderrPath);
  // A key typed into the terminal.
  void SendKey();
  // The exit code, or -1 when the program has not ended within the timeout
  // (it is then killed).
  int Wait(std::chrono::milliseconds timeout);

  // When the first frame (the first synchronized update) reached the
  // terminal. Waits for it at most `timeout`; the default time point when
  // none came.
  Clock::time_point FirstFrameArrival(std::chrono::milliseconds timeout) const;
  // When the tick timer started, told by the opening plasma's frames: its
  // n-th frame is drawn on tick 3n, so its arrival less 3n ticks is the
  // timer's start plus that frame's delay, never less. The smallest over the
  // first `frames` frames (at most 400) is the closest. Waits for them at
  // most `timeout`; the default time point when they did not all come.
  Clock::time_point TimerStart(int frames, std::chrono::milliseconds timeout) const;

 private:
  void Read();
  pid_t pid_ = -1;
  int master_ = -1;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  // Steady clock ticks.
  std::atomic<int> frames_{0};
  std::atomic<int64_t> firstFrame_{0};
  std::atomic<int64_t> timerStart_{INT64_MAX};
};

}  // namespace cellshow::test
