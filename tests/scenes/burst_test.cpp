// The line burst: which cells each tick of a run shows, and how runs end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

#include "show/show.h"
#include "support/fake_platform.h"

namespace cellshow {
namespace {

using test::FakePlatform;

struct BurstRun {
  FakePlatform host;
  std::unique_ptr<Show> show = std::make_unique<Show>(host);
  BurstRun() {
    StartUp(*show);
    show->seq.ScriptIndex = 2;
    show->seq.CurrentScene = 2;
  }
  std::set<int> Painted() const {
    std::set<int> cells;
    const Record& f = host.records.back();
    for (int k = 0; k < 4000; ++k) {
      if (f.cells[2 * k] == 219 && f.cells[2 * k + 1] == 15)
        cells.insert(k);
      else
        EXPECT_TRUE(f.cells[2 * k] == 0 && f.cells[2 * k + 1] == 0) << k;
    }
    return cells;
  }
};

int Index(int column, int row) { return 80 * row + column; }

TEST(Burst, LinesGrowFromTheirFirstKeptCellOnTheRevealSchedule) {
  // Set one: lines from the centre (39, 24) to these end points, each
  // without the `trim` cells nearest the centre. A line covers one cell per
  // step along its longer axis.
  const struct {
    int column, row, trim;
  } setOne[12] = {{76, 0, 10},  {6, 49, 20},  {6, 0, 10},   {0, 16, 15}, {35, 0, 10}, {50, 49, 14},
                  {79, 49, 12}, {70, 49, 20}, {79, 23, 20}, {0, 27, 17}, {0, 36, 11}, {30, 49, 9}};
  BurstRun run;
  run.host.RunTick();
  // The first tick shows each line's first kept cell: `trim` steps out, on
  // the line to within half a cell.
  const std::set<int> first = run.Painted();
  EXPECT_EQ(first.size(), 12u);
  int kept[12];
  for (int i = 0; i < 12; ++i) {
    const int dx = setOne[i].column - 39, dy = setOne[i].row - 24, t = setOne[i].trim;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    kept[i] = steps + 1 - t;
    int onLine = 0;
    for (int k : first) {
      const int x = k % 80 - 39, y = k / 80 - 24;
      const bool xMajor = std::abs(dx) >= std::abs(dy);
      const int major = xMajor ? x : y, minor = xMajor ? y : x;
      const int wantMajor = (xMajor ? dx : dy) < 0 ? -t : t;
      onLine += major == wantMajor && 2 * std::abs(minor * steps - t * (xMajor ? dy : dx)) <= steps;
    }
    EXPECT_EQ(onLine, 1) << "line to " << setOne[i].column << "," << setOne[i].row;
  }
  auto expectedCells = [&](int revealed) {
    int n = 0;
    for (int k : kept) n += std::min(k, revealed);
    return static_cast<size_t>(n);
  };
  struct Expect {
    int tick, perLine;
  };
  int tick = 0;
  for (const Expect& e :
       {Expect{9, 1}, Expect{10, 2}, Expect{19, 2}, Expect{20, 3}, Expect{25, 4}, Expect{30, 5},
        Expect{31, 9}, Expect{32, 13}, Expect{36, 29}, Expect{64, 29}}) {
    while (tick < e.tick) {
      run.host.RunTick();
      ++tick;
    }
    EXPECT_EQ(run.Painted().size(), expectedCells(e.perLine)) << "tick " << e.tick;
  }
  // The centre and the trimmed cells next to it are never painted.
  EXPECT_EQ(run.Painted().count(Index(39, 24)), 0u);
  EXPECT_EQ(run.Painted().count(Index(40, 24)), 0u);
  EXPECT_EQ(run.host.presents(), 65u);
  run.host.RunTick();  // tick 65: the end
  EXPECT_TRUE(run.Painted().empty());
  EXPECT_EQ(run.show->seq.AdvancePending, 1);
  EXPECT_EQ(run.show->burst.BurstStage, 2);
  EXPECT_EQ(run.show->burst.RevealLength, 0);
  EXPECT_EQ(run.show->seq.SceneClock, 0);
  EXPECT_EQ(run.show->points.PointListEnd, 0u);
}

TEST(Burst, SecondRunShowsSetTwoOnly) {
  BurstRun run;
  for (int t = 0; t < 66; ++t) run.host.RunTick();
  // Straight back into scene 2, as the script's sixth entry does.
  run.show->seq.AdvancePending = 0;
  for (int t = 0; t <= 38; ++t) run.host.RunTick();
  const std::set<int> painted = run.Painted();
  EXPECT_EQ(painted.size(), 301u);  // complete from tick 38
  EXPECT_EQ(painted.count(Index(29, 18)), 1u);
  EXPECT_EQ(painted.count(Index(0, 0)), 1u);
  EXPECT_EQ(painted.count(Index(76, 0)), 0u);  // set one's end point
  for (int t = 39; t < 66; ++t) run.host.RunTick();
  EXPECT_EQ(run.show->burst.BurstStage, 4);
  EXPECT_EQ(run.show->burst.RevealLength, 0);
  EXPECT_EQ(run.show->points.PointListEnd, 0u);
}

}  // namespace
}  // namespace cellshow
