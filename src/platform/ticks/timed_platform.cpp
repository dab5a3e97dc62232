#include "platform/ticks/timed_platform.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace cellshow {

TimedPlatform::TimedPlatform(std::string dataDir, int64_t periodNs, bool realtimeTicks,
                             int64_t keyAfter)
    : NativeFilePlatform(std::move(dataDir)),
      periodNs_(periodNs),
      realtimeTicks_(realtimeTicks),
      keyAfter_(keyAfter),
      keyFd_(keyAfter >= 0 ? eventfd(keyAfter == 0 ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK) : -1),
      exitFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TimedPlatform::~TimedPlatform() {
  if (timer_) timer_->Stop();
  if (exitFd_ >= 0) close(exitFd_);
  if (keyFd_ >= 0) close(keyFd_);
}

uint32_t TimedPlatform::StartTimer(int32_t delay, int32_t, TickCallback tick, void* context) {
  if (timer_ || delay <= 0) return 0;
  tick_ = tick;
  context_ = context;
  timer_.emplace(periodNs_ > 0 ? periodNs_ : int64_t{delay} * 1000000);
  return timer_->Start(CountedTick, this, realtimeTicks_) ? 1 : 0;
}

void TimedPlatform::CountedTick(void* self) {
  auto& host = *static_cast<TimedPlatform*>(self);
  if (host.KeyDue()) return;  // the key is seen: no further tick runs
  host.tick_(host.context_);
  const int64_t ran = host.ticksRun_.fetch_add(1, std::memory_order_acq_rel) + 1;
  if (ran == host.keyAfter_) {
    host.timer_->KeepOut();
    const uint64_t one = 1;
    if (host.keyFd_ >= 0) (void)!write(host.keyFd_, &one, sizeof one);
  }
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
