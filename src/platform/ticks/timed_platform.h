#pragma once
// The threaded half of a live Linux show (terminal or window): the 17 ms tick
// thread and the rules by which the one shutdown ends the process, whichever
// thread runs it.
//
// The process always ends on the main thread. A shutdown run by the closing
// scene (on the timer thread) hands its exit over to the main thread, which
// is waiting for a key (KeyHit must return 1 once ExitRequested) or in
// AwaitExit; a shutdown run by the main thread ends the process itself.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "platform/files/native_files.h"
#include "platform/ticks/tick_timer.h"

namespace cellshow {

class TimedPlatform : public NativeFilePlatform {
 public:
  // periodNs 0: ticks every `delay` milliseconds, as StartTimer is asked;
  // otherwise this period (tests run the show faster).
  // realtimeTicks: run the tick thread in a real-time scheduling class
  // where the system allows it.
  // keyAfter: a key is seen once this many ticks have run (no tick runs
  // after them); -1 never.
  explicit TimedPlatform(std::string dataDir, int64_t periodNs = 0, bool realtimeTicks = false,
                         int64_t keyAfter = -1);
  ~TimedPlatform() override;

  uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick, void* context) override;
  void KillTimer(uint32_t timerId) override;
  // On the main thread: stops the timer thread and waits for a running tick.
  // Inside a tick: keeps the later ticks out.
  void KeepTicksOut() override;
  // On the timer thread: returns at once. On the main thread: waits for the
  // winning shutdown's exit and carries it out.
  void AwaitExit() override;
  // On the main thread: ends the process (EndProcess). On the timer thread:
  // hands the exit to the main thread and returns; the tick then ends.
  void ExitProcess(int code) override;

  // The timer thread has asked the main thread to end the process.
  bool ExitRequested() const { return exitCode_.load(std::memory_order_acquire) >= 0; }
  // Readable once ExitRequested.
  int exitRequestFd() const { return exitFd_; }
  // The tick count given as keyAfter has run; keyDueFd is readable then.
  bool KeyDue() const {
    return keyAfter_ >= 0 && ticksRun_.load(std::memory_order_acquire) >= keyAfter_;
  }
  int keyDueFd() const { return keyFd_; }
  bool OnTimerThread() const { return timer_.has_value() && timer_->OnTimerThread(); }
  // Stops the timer (if it runs) and returns its figures. Main thread only.
  TickStats StopTimerAndReadStats();

 protected:
  // The end of the process, run once, on the main thread: a real process ends
  // here; a test records the code and returns.
  virtual void EndProcess(int code) = 0;

 private:
  void End(int code);
  static void CountedTick(void* self);

  const int64_t periodNs_;
  const bool realtimeTicks_;
  const int64_t keyAfter_;
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  std::atomic<int64_t> ticksRun_{0};
  int keyFd_ = -1;
  std::optional<TickTimer> timer_;
  std::atomic<int> exitCode_{-1};
  std::atomic<bool> ended_{false};
  int exitFd_ = -1;
};

}  // namespace cellshow
