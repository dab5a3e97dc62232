// The tick thread: grid deadlines without catch-up bursts, ticks that never
// overlap, and the two ways of keeping ticks out.
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ticks/tick_timer.h"
#include "support/timing.h"

namespace cellshow {
namespace {

using test::SleepMs;
using test::WaitUntil;

TEST(TickTimer, NextDeadlineKeepsTheGridAndDropsPassedPoints) {
  struct Case {
    int64_t deadline, now, want;
  } cases[] = {
      {100, 100, 117},  // on time
      {100, 116, 117},  // a long tick, still before the next point
      {100, 117, 117},  // exactly due: runs at once
      {100, 120, 117},  // one point passed: runs at once, nothing dropped
      {100, 134, 134},  // two points passed: the later runs at once, one dropped
      {100, 150, 134},
      {100, 100 + 17 * 1000 + 5, 100 + 17 * 1000},  // a long stop: one tick, then the grid
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NextDeadline(c.deadline, c.now, 17), c.want) << c.deadline << " " << c.now;
  }
}

TEST(TickTimer, PercentileIsTheNearestRank) {
  struct Case {
    std::vector<int64_t> values;
    int p;
    int64_t want;
  } cases[] = {
      {{}, 99, 0},           {{5}, 99, 5},          {{3, 1, 2}, 50, 2}, {{3, 1, 2}, 99, 3},
      {{4, 1, 3, 2}, 25, 1}, {{4, 1, 3, 2}, 26, 2}, {{7, 7, 7}, 99, 7},
  };
  for (Case& c : cases) {
    EXPECT_EQ(Percentile(c.values.data(), static_cast<uint32_t>(c.values.size()), c.p), c.want);
  }
  // 1..1000: p99 is 990, whatever the order.
  std::vector<int64_t> many;
  for (int64_t v = 1000; v >= 1; --v) many.push_back(v);
  EXPECT_EQ(Percentile(many.data(), 1000, 99), 990);
}

struct Probe {
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> ticks{0};
  int slowTick = -1;  // this tick sleeps slowNs
  int64_t slowNs = 0;
  int heldTick = -1;  // this tick waits for `release`
  std::atomic<bool> release{false};
  std::atomic<bool> stopReturned{false};
  std::atomic<bool> stopReturnedDuringTick{false};
  int keepOutAt = -1;  // this tick keeps later ticks out
  TickTimer* timer = nullptr;
};

void ProbeTick(void* context) {
  Probe& probe = *static_cast<Probe*>(context);
  if (probe.inside.fetch_add(1) != 0) probe.overlaps.fetch_add(1);
  const int n = probe.ticks.fetch_add(1) + 1;
  if (n == probe.slowTick) {
    const timespec pause{0, static_cast<long>(probe.slowNs)};
    nanosleep(&pause, nullptr);
  }
  if (n == probe.heldTick) {
    while (!probe.release.load()) SleepMs(1);
    probe.stopReturnedDuringTick.store(probe.stopReturned.load());
  }
  if (n == probe.keepOutAt) probe.timer->KeepOut();
  probe.inside.fetch_sub(1);
}

// Only keeps a broken timer from hanging the test.
constexpr std::chrono::milliseconds HangLimit{10000};

TEST(TickTimerThreads, StopWaitsForTheRunningTickAndNoneStartsAfter) {
  Probe probe;
  probe.heldTick = 3;
  TickTimer timer(1000000);
  ASSERT_TRUE(timer.Start(&ProbeTick, &probe));
  // Tick 3 is held inside.
  ASSERT_TRUE(WaitUntil([&] { return probe.ticks.load() == 3; }, HangLimit));
  std::atomic<bool> stopping{false};
  std::thread stopper([&] {
    stopping.store(true);
    timer.Stop();
    probe.stopReturned.store(true);
  });
  WaitUntil([&] { return stopping.load(); }, HangLimit);
  // A Stop that does not wait would return now; one that waits cannot.
  for (int k = 0; k < 50 && !probe.stopReturned.load(); ++k) SleepMs(1);
  probe.release.store(true);
  stopper.join();
  EXPECT_FALSE(probe.stopReturnedDuringTick.load()) << "Stop returned while a tick ran";
  EXPECT_EQ(probe.inside.load(), 0);
  EXPECT_EQ(probe.overlaps.load(), 0);
  const int stopped = probe.ticks.load();
  EXPECT_GE(stopped, 3);
  timer.Stop();  // again: nothing happens
  EXPECT_EQ(timer.Stats().ticks, static_cast<uint32_t>(stopped));
  EXPECT_EQ(probe.ticks.load(), stopped);
}

TEST(TickTimerThreads, KeepOutFromInsideATickEndsTheTicksAfterIt) {
  Probe probe;
  probe.keepOutAt = 4;
  TickTimer timer(500000);
  probe.timer = &timer;
  ASSERT_TRUE(timer.Start(&ProbeTick, &probe));
  ASSERT_TRUE(WaitUntil([&] { return probe.ticks.load() >= 4; }, HangLimit));
  SleepMs(20);  // forty periods in which a fifth tick would come
  timer.Stop();
  EXPECT_EQ(probe.ticks.load(), 4);
  EXPECT_EQ(timer.Stats().ticks, 4u);
}

// The timer's own figures tell: tick 2 ends at least ten grid points after it
// was due, so tick 3 runs on the latest of them (at least nine dropped) and
// tick 4 on the one after. A burst would drop none.
TEST(TickTimerThreads, ALongTickIsFollowedByOneTickNotABurst) {
  constexpr int64_t period = 10000000;
  Probe probe;
  probe.slowTick = 2;
  probe.slowNs = 10 * period;
  probe.keepOutAt = 4;
  TickTimer timer(period);
  probe.timer = &timer;
  ASSERT_TRUE(timer.Start(&ProbeTick, &probe));
  ASSERT_TRUE(WaitUntil([&] { return probe.ticks.load() >= 4; }, HangLimit));
  timer.Stop();
  const TickStats stats = timer.Stats();
  EXPECT_EQ(stats.ticks, 4u);
  EXPECT_GE(stats.dropped, 9u);
  EXPECT_GE(stats.lastTickNs, (4 + int64_t{stats.dropped}) * period) << "tick 4 left the grid";
}

}  // namespace
}  // namespace cellshow
