// The cell animations and the overlay pictures, made in-process.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "show_data.h"

namespace cellshow {
namespace {

using namespace cellshow::datagen;

// Cells whose character or attribute differs between two frames.
int ChangedCells(const Frame& a, const Frame& b) {
  int changed = 0;
  for (size_t i = 0; i < a.size(); i += 2) changed += (a[i] != b[i] || a[i + 1] != b[i + 1]);
  return changed;
}

// Cells that show something other than black: a visible glyph in a colour,
// or a coloured background.
int LitCells(const Frame& f) {
  int lit = 0;
  for (size_t i = 0; i < f.size(); i += 2) {
    const uint8_t c = f[i], fg = f[i + 1] & 15, bg = f[i + 1] >> 4;
    const bool glyph = c != 0 && c != 32 && c != 255;
    lit += (bg != 0 || (glyph && fg != 0));
  }
  return lit;
}

struct Animation {
  const char* name;
  std::function<std::vector<Frame>()> make;
  size_t frames;
  size_t loop;  // frames shown per run: the one after the last shown is frame 0 again
};

const Animation Animations[] = {
    {"img.txt", MakeTunnelFrames, 63, 63},
    {"hit.img", MakeStarsAndFlamesFrames, 143, 0},
    {"bl.img", MakeCubeFrames, 138, 137},
};

TEST(Animations, EveryFrameShowsSomethingAndTheyMove) {
  for (const Animation& a : Animations) {
    SCOPED_TRACE(a.name);
    const std::vector<Frame> frames = a.make();
    ASSERT_EQ(frames.size(), a.frames);
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_GT(LitCells(frames[i]), 40) << "frame " << i << " is (nearly) black";
      if (i == 0) continue;
      EXPECT_GT(ChangedCells(frames[i - 1], frames[i]), 0) << "frame " << i << " repeats";
    }
  }
}

// A looped animation must not jump where it wraps: the step from the last
// shown frame back to frame 0 is no larger than the steps inside the loop.
TEST(Animations, LoopsJoinUpWhereTheyWrap) {
  for (const Animation& a : Animations) {
    if (a.loop == 0) continue;
    SCOPED_TRACE(a.name);
    const std::vector<Frame> frames = a.make();
    std::vector<int> steps;
    for (size_t i = 1; i < a.loop; ++i) steps.push_back(ChangedCells(frames[i - 1], frames[i]));
    const int wrap = ChangedCells(frames[a.loop - 1], frames[0]);
    std::sort(steps.begin(), steps.end());
    const int median = steps[steps.size() / 2];
    EXPECT_LE(wrap, steps.back()) << "wrap step " << wrap << ", largest step " << steps.back();
    EXPECT_LE(wrap, median * 3 / 2) << "wrap step " << wrap << ", median step " << median;
    // The frame after the loop, where the file holds one, is the first again.
    if (a.frames > a.loop) {
      EXPECT_LE(ChangedCells(frames[a.loop], frames[0]), median / 4);
    }
  }
}

TEST(Animations, SameFramesOnEveryRun) {
  for (const Animation& a : Animations) {
    SCOPED_TRACE(a.name);
    EXPECT_TRUE(a.make() == a.make());
  }
}

TEST(Overlays, SmallPicturesInTheFirstEightRowsAndTransparentAroundThem) {
  std::vector<Frame> pictures;
  for (int p = 0; p < 3; ++p) {
    SCOPED_TRACE(p);
    const Frame f = MakeOverlay(p);
    int drawn = 0;
    int drawnRows[OverlayRows] = {};
    for (int k = 0; k < 4000; ++k) {
      const bool transparent = f[2 * k] == 32;
      if (k >= 640) {
        ASSERT_TRUE(transparent) << "cell " << k << " is past the rows that the show reads";
        continue;
      }
      if (!transparent) {
        ++drawn;
        ++drawnRows[k / 80];
        // A drawn cell must be visible over the plasma: a glyph in a colour,
        // or a solid block in black (the shadow).
        EXPECT_NE(f[2 * k], 0) << "cell " << k;
      }
    }
    // Mostly transparent, but a real picture: most rows hold some of it.
    EXPECT_GT(drawn, 640 / 8);
    EXPECT_LT(drawn, 640 / 2);
    EXPECT_GE(std::count_if(drawnRows, drawnRows + OverlayRows, [](int n) { return n > 0; }), 6);
    for (const Frame& other : pictures) EXPECT_FALSE(other == f) << "two pictures are the same";
    pictures.push_back(f);
  }
}

}  // namespace
}  // namespace cellshow
