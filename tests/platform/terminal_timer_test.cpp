// The tick thread: grid deadlines without catch-up bursts, ticks that never
// overlap, and the two ways of keeping ticks out.
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <vector>

#include "platform/ticks/tick_timer.h"

namespace cellshow {
namespace {

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
  if (n == probe.keepOutAt) probe.timer->KeepOut();
  probe.inside.fetch_sub(1);
}

void SleepMs(long ms) {
  const timespec pause{ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&pause, nullptr);
}

TEST(TickTimerThreads, StopWaitsForTheRunningTickAndNoneStartsAfter) {
  Probe probe;
  probe.slowTick = 3;
  probe.slowNs = 30000000;  // 30 ms inside tick 3
  TickTimer timer(1000000);
  ASSERT_TRUE(timer.Start(&ProbeTick, &probe));
  while (probe.ticks.load() < 3) SleepMs(1);
  timer.Stop();  // tick 3 is asleep inside
  EXPECT_EQ(probe.inside.load(), 0);
  const int stopped = probe.ticks.load();
  SleepMs(10);
  EXPECT_EQ(probe.ticks.load(), stopped);
  EXPECT_EQ(probe.overlaps.load(), 0);
  timer.Stop();  // again: nothing happens
  const TickStats stats = timer.Stats();
  EXPECT_EQ(stats.ticks, static_cast<uint32_t>(stopped));
}

TEST(TickTimerThreads, KeepOutFromInsideATickEndsTheTicksAfterIt) {
  Probe probe;
  probe.keepOutAt = 4;
  TickTimer timer(500000);
  probe.timer = &timer;
  ASSERT_TRUE(timer.Start(&ProbeTick, &probe));
  SleepMs(20);
  EXPECT_EQ(probe.ticks.load(), 4);
  timer.Stop();
  EXPECT_EQ(timer.Stats().ticks, 4u);
}

TEST(TickTimerThreads, ALongTickIsFollowedByOneTickNotABurst) {
  Probe probe;
  probe.slowTick = 2;
  probe.slowNs = 100000000;  // 100 ms stall in a 10 ms timer: 9 grid points pass
  TickTimer timer(10000000);
  ASSERT_TRUE(timer.Start(&ProbeTick, &probe));
  while (probe.ticks.load() < 2) SleepMs(1);
  while (probe.inside.load() != 0) SleepMs(1);
  const int afterStall = probe.ticks.load();
  SleepMs(2);  // the one late tick runs at once...
  const int oneLate = probe.ticks.load();
  timer.Stop();
  EXPECT_LE(oneLate - afterStall, 1);  // ...and no burst of the nine missed ones
  EXPECT_GE(timer.Stats().dropped, 5u);
}

}  // namespace
}  // namespace cellshow
