#pragma once
// Pauses and polls for the tests that run threads or whole programs in real
// time.
#include <time.h>

#include <chrono>

namespace cellshow::test {

// The few tests whose point is a real-time bound allow this many times more
// under the sanitizers, which slow every thread down several times.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int TimingScale = 3;
#else
constexpr int TimingScale = 1;
#endif

inline void SleepMs(long ms) {
  const timespec pause{ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&pause, nullptr);
}

// Polls `done` every millisecond until it holds or `limit` has passed; the
// limit only keeps a broken build from hanging the test. Returns done().
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) SleepMs(1);
  return done();
}

}  // namespace cellshow::test
