// The cell animations and the overlay pictures, made in-process.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <string>
#include <vector>

#include "show_data.h"

namespace cellshow {
namespace {

using namespace cellshow::datagen;

// What a cell looks like: blank glyphs show only their background, a full
// block only its foreground, and a glyph in its background colour is blank.
struct Look {
  uint8_t glyph = 32, foreground = 0, background = 0;
  bool operator==(const Look&) const = default;
};
Look LookOf(const Frame& f, size_t cell) {
  const uint8_t c = f[2 * cell], fg = f[2 * cell + 1] & 15, bg = f[2 * cell + 1] >> 4;
  if (c == 0 || c == 32 || c == 255 || (fg == bg && c != 219)) return {32, 0, bg};
  if (c == 219) return {219, fg, 0};
  return {c, fg, bg};
}

// Cells that look different in two frames.
int ChangedCells(const Frame& a, const Frame& b) {
  int changed = 0;
  for (size_t k = 0; k < 4000; ++k) changed += !(LookOf(a, k) == LookOf(b, k));
  return changed;
}

// Cells that show something other than black.
int LitCells(const Frame& f) {
  int lit = 0;
  for (size_t k = 0; k < 4000; ++k) {
    const Look look = LookOf(f, k);
    lit += look.background != 0 || (look.glyph != 32 && look.foreground != 0);
  }
  return lit;
}

// The set of colours that show in a frame, one bit per colour.
uint16_t VisibleColours(const Frame& f) {
  uint16_t colours = 0;
  for (size_t k = 0; k < 4000; ++k) {
    const Look look = LookOf(f, k);
    if (look.glyph != 219) colours |= uint16_t(1u << look.background);
    if (look.glyph != 32) colours |= uint16_t(1u << look.foreground);
  }
  return colours;
}

// Cells drawn with a shade glyph or a half block: the gradients and the
// edges that fall inside a cell.
int ShadedCells(const Frame& f) {
  int shaded = 0;
  for (size_t k = 0; k < 4000; ++k) {
    const Look look = LookOf(f, k);
    shaded += look.glyph != 219 && ((look.glyph >= 176 && look.glyph <= 178) ||
                                    (look.glyph >= 220 && look.glyph <= 223));
  }
  return shaded;
}

struct Animation {
  const char* name;
  std::function<std::vector<Frame>()> make;
  size_t frames;
  size_t loop;    // frames shown per run: the one after the last shown is frame 0 again
  int minShaded;  // shaded cells in every frame
};

const Animation Animations[] = {
    {"img.txt", MakeTunnelFrames, 63, 63, 1000},
    {"hit.img", MakeStarsAndFlamesFrames, 143, 0, 0},
    {"bl.img", MakeCubeFrames, 138, 137, 400},
};

TEST(Animations, EveryFrameShowsSomethingInManyColoursAndTheyMove) {
  for (const Animation& a : Animations) {
    SCOPED_TRACE(a.name);
    const std::vector<Frame> frames = a.make();
    ASSERT_EQ(frames.size(), a.frames);
    uint16_t colours = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_GT(LitCells(frames[i]), 40) << "frame " << i << " is (nearly) black";
      EXPECT_GE(ShadedCells(frames[i]), a.minShaded) << "frame " << i << " is drawn in whole cells";
      colours |= VisibleColours(frames[i]);
      if (i == 0) continue;
      EXPECT_GT(ChangedCells(frames[i - 1], frames[i]), 0) << "frame " << i << " repeats";
    }
    EXPECT_GE(std::popcount(colours), 8) << "colours shown: " << std::hex << colours;
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
    EXPECT_GT(wrap, 0) << "the last frame of the loop repeats the first";
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
    for (int k = 0; k < 4000; ++k) {
      const bool transparent = f[2 * k] == 32;
      if (k >= 640) {
        ASSERT_TRUE(transparent) << "cell " << k << " is past the rows that the show reads";
        continue;
      }
      if (!transparent) {
        ++drawn;
        // Character 0 would draw a blank cell over the plasma.
        EXPECT_NE(f[2 * k], 0) << "cell " << k;
      }
    }
    // A real picture, with the plasma showing through around and between
    // its letters.
    EXPECT_GT(drawn, 30);
    EXPECT_LT(drawn, 640 * 3 / 4);
    for (const Frame& other : pictures) EXPECT_FALSE(other == f) << "two pictures are the same";
    pictures.push_back(f);
  }
}

}  // namespace
}  // namespace cellshow
