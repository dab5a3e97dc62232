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

  // When the first frame reached the terminal: the first output that comes
  // well after the start-up sequence (the first frame is drawn on the third
  // tick, at least 51 ms after the timer starts).
  // Waits for it at most `timeout`; the default time point when none came.
  Clock::time_point FirstFrameArrival(std::chrono::milliseconds timeout) const;

 private:
  void Read();
  pid_t pid_ = -1;
  int master_ = -1;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> firstFrame_{0};  // steady clock ticks; 0: none yet
};

}  // namespace cellshow::test
