// The plasma scene: its first frame, its overlay and ray schedule, its end.
#include <gtest/gtest.h>

#include <memory>

#include "show/show.h"
#include "support/fake_platform.h"

namespace cellshow {
namespace {

using test::FakePlatform;

struct PlasmaRun {
  FakePlatform host;
  std::unique_ptr<Show> show = std::make_unique<Show>(host);
  // `transparent`: the attribute of the space at cell 86 of every picture.
  explicit PlasmaRun(uint8_t transparent = 0x99) {
    // Each overlay picture marks itself in its first cell; the rest is
    // transparent except a character-0 cell on row 33.
    for (int p = 0; p < 3; ++p) {
      std::vector<uint8_t> picture(1280, 32);
      picture[0] = static_cast<uint8_t>('A' + p);
      picture[1] = static_cast<uint8_t>(0x1e);
      picture[2 * 85] = 0;
      picture[2 * 85 + 1] = 0x4f;
      picture[2 * 86 + 1] = transparent;  // transparent whatever its attribute
      host.files[p == 0 ? TrFileName : p == 1 ? Tr2FileName : Tr3FileName] = picture;
    }
    StartUp(*show);
  }
  // Runs ticks until the scene clock reaches `clock`; returns the last frame.
  const Record& RunTo(int clock) {
    while (show->seq.SceneClock != clock) host.RunTick();
    return host.records.back();
  }
};

Cell At(const Record& r, int column, int row) {
  const int k = row * 80 + column;
  return {r.cells[2 * k], r.cells[2 * k + 1]};
}

TEST(Plasma, FirstFrameComesOnTheThirdTickWithTheKnownCells) {
  PlasmaRun run;
  run.host.RunTick();
  run.host.RunTick();
  EXPECT_EQ(run.host.presents(), 0u);
  run.host.RunTick();
  ASSERT_EQ(run.host.presents(), 1u);
  const Record& f = run.host.records.back();
  struct Expect {
    int column, row, ch, attr;
  };
  for (const Expect& e : {Expect{0, 0, 2, 191}, Expect{79, 0, 7, 239}, Expect{79, 11, 79, 239},
                          Expect{75, 12, 43, 239}, Expect{40, 20, 43, 191}}) {
    EXPECT_EQ(At(f, e.column, e.row).Char, e.ch) << e.column << "," << e.row;
    EXPECT_EQ(At(f, e.column, e.row).Attributes, e.attr) << e.column << "," << e.row;
  }
  // Rows 40..49: the band, except where a ray passes (black blocks).
  int band = 0, ray = 0;
  for (int row = 40; row < 50; ++row)
    for (int column = 0; column < 80; ++column) {
      const Cell c = At(f, column, row);
      if (c.Char == 32 && c.Attributes == 64)
        ++band;
      else if (c.Char == 219 && c.Attributes == 0)
        ++ray;
      else
        ADD_FAILURE() << "unexpected cell at " << column << "," << row;
    }
  EXPECT_GT(ray, 0);
  EXPECT_EQ(band + ray, 800);
  // Overlay picture 0: its marked cell, the character-0 cell, transparency.
  EXPECT_EQ(At(f, 0, 32).Char, 'A');
  EXPECT_EQ(At(f, 0, 32).Attributes, 0x1e);
  EXPECT_EQ(At(f, 5, 33).Char, 0);
  EXPECT_EQ(At(f, 5, 33).Attributes, 0x4f);
  // The space over (6, 33) shows what lies under it, as one of another
  // attribute does.
  PlasmaRun other(0x20);
  for (int t = 0; t < 3; ++t) other.host.RunTick();
  const Record& g = other.host.records.back();
  EXPECT_EQ(At(f, 6, 33).Char, At(g, 6, 33).Char);
  EXPECT_EQ(At(f, 6, 33).Attributes, At(g, 6, 33).Attributes);
}

TEST(Plasma, OverlayAndRayGroupsFollowTheSchedule) {
  PlasmaRun run;
  // The first ray group starts at (34, 38), the second at (41, 38).
  struct Expect {
    int clock;
    char picture;
    bool first, second;
  };
  for (const Expect& e : {Expect{3, 'A', true, false}, Expect{591, 'A', true, false},
                          Expect{594, 'C', true, true}, Expect{765, 'C', true, true},
                          Expect{768, 'B', false, true}, Expect{1293, 'B', false, true}}) {
    const Record& f = run.RunTo(e.clock);
    ASSERT_EQ(f.tick, static_cast<uint32_t>(e.clock));
    EXPECT_EQ(At(f, 0, 32).Char, e.picture) << e.clock;
    EXPECT_EQ(At(f, 34, 38).Char == 219, e.first) << e.clock;
    EXPECT_EQ(At(f, 41, 38).Char == 219, e.second) << e.clock;
    const int d = e.clock / 16;
    EXPECT_EQ(run.show->plasma.RayTipX, 17 + d / 2);
    EXPECT_EQ(run.show->plasma.OverlayState, d <= 36 ? 1 : 0) << e.clock;
    EXPECT_EQ(run.show->points.PointListEnd, 0u);
  }
}

TEST(Plasma, LastTickPresentsBlackStartsTheMusicAndAdvances) {
  PlasmaRun run;
  run.RunTo(1295);
  const size_t before = run.host.records.size();
  run.host.RunTick();  // SceneClock reaches 1296
  ASSERT_EQ(run.host.records.size(), before + 2);
  const Record& black = run.host.records[before];
  EXPECT_EQ(black.kind, PresentRecord);
  for (uint8_t byte : black.cells) ASSERT_EQ(byte, 0);
  EXPECT_EQ(run.host.records[before + 1].command, "play data\\03.mp3");
  EXPECT_EQ(run.show->seq.AdvancePending, 1);
  EXPECT_EQ(run.show->seq.SceneClock, 0);
  EXPECT_EQ(run.show->seq.PlasmaDivider, 0);
  EXPECT_EQ(run.host.presents(), 432u);  // 431 frames and the black one
  run.host.RunTick();
  EXPECT_EQ(run.show->seq.CurrentScene, 1);
}

}  // namespace
}  // namespace cellshow

namespace cellshow {
namespace {

// The plasma computed cell by cell as the two passes describe it: phases
// walked across and down, the first sum stored in the cell, the fade taken
// off amount by amount.
void ReferencePlasma(uint8_t (&P)[8], int d, Cell (&out)[35][80]) {
  static const uint8_t glyphs[9] = {0, 0, 39, 7, 111, 43, 79, 48, 2};
  static const uint8_t glow[3] = {255, 239, 191};
  auto lt = [](uint8_t i) { return i < 44 ? 2 : i < 87 ? 1 : i < 172 ? 0 : i < 215 ? 1 : 2; };
  uint8_t W[8];
  W[2] = P[2], W[3] = P[3];
  for (int y = 0; y < 35; ++y) {
    W[0] = P[0], W[1] = P[1];
    for (int x = 0; x < 80; ++x) {
      out[y][x].Char = static_cast<uint16_t>(lt(W[0]) + lt(W[1]) + lt(W[2]) + lt(W[3]));
      W[0] += 2, W[1] += 14;
    }
    W[2] += 12, W[3] += 15;
  }
  P[0] += 7, P[1] += 22, P[2] += 17, P[3] += 14;
  W[6] = P[6], W[7] = P[7];
  for (int y = 0; y < 35; ++y) {
    W[4] = P[4], W[5] = P[5];
    for (int x = 0; x < 80; ++x) {
      int s = out[y][x].Char + lt(W[4]) + lt(W[5]) + lt(W[6]) + lt(W[7]);
      const int r = (x - 40) * (x - 40) + (y + 100) * (y + 100);
      for (auto [limit, amount] : {std::pair{12000, 2}, {14000, 2}, {15000, 1}, {16000, 2}})
        if (r > limit) s = s - amount < 0 ? 0 : s - amount;
      const int i = s > 8 ? s - 8 : s;
      out[y][x].Char = glyphs[i];
      const int h = (d - 39) * (d - 39) / 128;
      const int g = (x - (80 - d)) * (x - (80 - d)) + (y - h) * (y - h);
      int c = ((i >> 2) & 1) + (g > 80) + (g > 300);
      out[y][x].Attributes = glow[c > 2 ? 2 : c];
      W[4] += 32, W[5] += 25;
    }
    W[6] += 18, W[7] += 20;
  }
  P[4] += 7, P[5] += 22, P[6] += 17, P[7] += 15;
}

TEST(Plasma, EveryFrameMatchesTheCellByCellPasses) {
  FakePlatform host;  // no files: the overlays draw nothing above row 38
  auto show = std::make_unique<Show>(host);
  StartUp(*show);
  uint8_t phases[8] = {5, 20, 10, 15, 15, 2, 20, 25};
  Cell expected[35][80];
  int frames = 0;
  for (int tick = 1; tick < 1296; ++tick) {
    const size_t before = host.records.size();
    host.RunTick();
    if (host.records.size() == before) continue;
    ReferencePlasma(phases, tick / 16, expected);
    const Record& f = host.records.back();
    for (int y = 0; y < 35; ++y)
      for (int x = 0; x < 80; ++x) {
        const int k = 80 * y + x;
        ASSERT_EQ(f.cells[2 * k], expected[y][x].Char) << "tick " << tick << " " << x << "," << y;
        ASSERT_EQ(f.cells[2 * k + 1], expected[y][x].Attributes) << "tick " << tick;
      }
    ++frames;
  }
  EXPECT_EQ(frames, 431);
}

}  // namespace
}  // namespace cellshow
