#include "platform/terminal/timed_platform.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace cellshow {

TimedPlatform::TimedPlatform(std::string dataDir, int64_t periodNs)
    : PosixFilePlatform(std::move(dataDir)),
      periodNs_(periodNs),
      exitFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TimedPlatform::~TimedPlatform() {
  if (timer_) timer_->Stop();
  if (exitFd_ >= 0) close(exitFd_);
}

uint32_t TimedPlatform::StartTimer(int32_t delay, int32_t, TickCallback tick, void* context) {
  if (timer_ || delay <= 0) return 0;
  timer_.emplace(periodNs_ > 0 ? periodNs_ : int64_t{delay} * 1000000);
  return timer_->Start(tick, context) ? 1 : 0;
}

void TimedPlatform::KillTimer(uint32_t) { KeepTicksOut(); }

void TimedPlatform::KeepTicksOut() {
  if (!timer_) return;
  if (timer_->OnTimerThread()) {
    timer_->KeepOut();
  } else {
    timer_->Stop();
  }
}

void TimedPlatform::ExitProcess(int code) {
  if (OnTimerThread()) {
    exitCode_.store(code < 0 ? 1 : code, std::memory_order_release);
    const uint64_t one = 1;
    if (exitFd_ >= 0) (void)!write(exitFd_, &one, sizeof one);
    return;
  }
  End(code);
}

void TimedPlatform::AwaitExit() {
  if (OnTimerThread()) return;
  while (!ExitRequested()) {
    pollfd wait{exitFd_, POLLIN, 0};
    if (exitFd_ < 0) {
      usleep(1000);  // no eventfd: look again shortly
    } else if (poll(&wait, 1, -1) < 0 && errno != EINTR) {
      usleep(1000);
    }
  }
  End(exitCode_.load(std::memory_order_acquire));
}

void TimedPlatform::End(int code) {
  if (ended_.exchange(true)) return;
  EndProcess(code);
}

TickStats TimedPlatform::StopTimerAndReadStats() {
  if (!timer_) return {};
  if (!timer_->OnTimerThread()) timer_->Stop();
  return timer_->Stats();
}

}  // namespace cellshow
