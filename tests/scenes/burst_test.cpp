// The line burst: which cells each tick of a run shows, and how runs end.
#include <gtest/gtest.h>

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
  BurstRun run;
  run.host.RunTick();
  const std::set<int> first = run.Painted();
  const std::set<int> numberZero = {Index(49, 18), Index(19, 39), Index(29, 17), Index(24, 21),
                                    Index(37, 14), Index(45, 38), Index(51, 32), Index(59, 40),
                                    Index(59, 23), Index(22, 25), Index(28, 27), Index(36, 33)};
  EXPECT_EQ(first, numberZero);
  // Cells per line, at most: set one's lines keep 28,14,24,25,15,12,29,12,21,23,29,17 cells.
  const int kept[12] = {28, 14, 24, 25, 15, 12, 29, 12, 21, 23, 29, 17};
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
