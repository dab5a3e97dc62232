// The web backend's tick grid: ticks due every period from the start, taken by
// frames that come at any time, with bounded catch-up and no drift.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/web/tick_schedule.h"

namespace cellshow {
namespace {

constexpr double Period = 17;

// Frames at the given times; returns the due times of every tick taken, in
// order, and checks each frame's count against the grid as it goes.
std::vector<double> TakeAll(TickSchedule& schedule, const std::vector<double>& frames) {
  std::vector<double> due;
  for (double now : frames) {
    const uint32_t n = schedule.Due(now);
    EXPECT_LE(n, TickSchedule::MaxTicksPerFrame) << "at " << now;
    for (uint32_t k = 0; k < n; ++k) {
      due.push_back(schedule.TakeTick(now));
      EXPECT_LE(due.back(), now) << "a tick ran before it was due";
    }
    EXPECT_EQ(schedule.Due(now), 0u) << "every due tick was taken at " << now;
  }
  return due;
}

TEST(WebTickSchedule, TicksFollowTheGridFromTheStartWhateverTheFrameRate) {
  // A minute of frames at 60 Hz with jitter, then at 30 Hz, then at 144 Hz:
  // the grid is start + 17 n throughout, every grid point runs once, and the
  // count is always what the elapsed time gives.
  const double start = 123456.789;
  TickSchedule schedule;
  schedule.Start(start, Period);
  std::vector<double> frames;
  double t = start;
  for (int i = 0; i < 3600; ++i) frames.push_back(t += 1000.0 / 60 + (i % 7 - 3) * 0.9);
  for (int i = 0; i < 600; ++i) frames.push_back(t += 1000.0 / 30);
  for (int i = 0; i < 2000; ++i) frames.push_back(t += 1000.0 / 144);
  const std::vector<double> due = TakeAll(schedule, frames);

  ASSERT_EQ(due.size(), static_cast<size_t>(std::floor((t - start) / Period)));
  for (size_t k = 0; k < due.size(); ++k)
    ASSERT_DOUBLE_EQ(due[k], start + Period * static_cast<double>(k + 1)) << "tick " << k + 1;
  EXPECT_EQ(schedule.dropped(), 0u);
  const TickStats stats = schedule.Stats();
  // A tick is never later than the longest gap between two frames.
  EXPECT_LT(stats.worstLatenessNs, static_cast<int64_t>(1000.0 / 30 * 1e6) + 1);
  EXPECT_GT(stats.worstLatenessNs, static_cast<int64_t>(1000.0 / 30 * 1e6) - 17e6);
  EXPECT_EQ(stats.ticks, due.size());
  EXPECT_EQ(stats.dropped, 0u);
  EXPECT_NEAR(static_cast<double>(stats.meanPeriodNs), Period * 1e6, 1e4);
}

TEST(WebTickSchedule, AStallRunsTheNewestTicksAndDropsTheRestStayingOnTheGrid) {
  TickSchedule schedule;
  schedule.Start(0, Period);
  EXPECT_EQ(TakeAll(schedule, {16.9, 17.0}), (std::vector<double>{17}));
  // Almost a second without frames (a hidden tab): grid points 2 to 58 have
  // passed. The newest eight run, the 49 before them are dropped.
  ASSERT_EQ(schedule.Due(1000), TickSchedule::MaxTicksPerFrame);
  EXPECT_EQ(schedule.dropped(), 57u - TickSchedule::MaxTicksPerFrame);
  std::vector<double> due;
  for (uint32_t k = 0; k < TickSchedule::MaxTicksPerFrame; ++k)
    due.push_back(schedule.TakeTick(1000));
  EXPECT_EQ(due.front(), 17 * 51.0);
  EXPECT_EQ(due.back(), 17 * 58.0);
  // Afterwards the next frame takes the next grid point only.
  EXPECT_EQ(TakeAll(schedule, {1017}), (std::vector<double>{17 * 59.0}));
  EXPECT_EQ(schedule.Stats().dropped, 49u);
}

TEST(WebTickSchedule, NothingIsDueBeforeTheFirstPeriodOrWhenTheClockStepsBack) {
  TickSchedule schedule;
  schedule.Start(1000, Period);
  EXPECT_EQ(schedule.Due(1000), 0u);
  EXPECT_EQ(schedule.Due(1016.99), 0u);
  EXPECT_EQ(schedule.Due(0), 0u);
  EXPECT_EQ(schedule.Due(-1e300), 0u);
  EXPECT_EQ(schedule.Due(1017), 1u);
  schedule.TakeTick(1017);
  EXPECT_EQ(schedule.Due(500), 0u);
  // Far in the future: a bounded count, not an overflow.
  EXPECT_EQ(schedule.Due(1e15), TickSchedule::MaxTicksPerFrame);
  // Start again: a fresh grid and fresh figures.
  schedule.Start(5, Period);
  EXPECT_EQ(schedule.dropped(), 0u);
  EXPECT_EQ(schedule.Due(5 + 34), 2u);
}

}  // namespace
}  // namespace cellshow
