// The cell matcher against its two oracles: the pixel model (a grid rendered
// and matched renders back to the same pixels) and the search that tries
// all 65,536 choices (the same cell and error on random, few-colour and
// photograph-like blocks). And the integer OKLab it measures in.
#include "render/match/cell_matcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "render/pixels/cell_image.h"
#include "render/scaled/oklab.h"
#include "support/test_frames.h"

namespace cellshow {
namespace {

Rgb RandomRgb(std::mt19937& random) {
  return {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
          static_cast<uint8_t>(random())};
}

TEST(LabColour, AgreesWithTheFloatOkLabAndKeepsTheSixteenColoursApart) {
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    const Rgb c = RandomRgb(random);
    const OkLab f = ToOkLab(c);
    const LabColour q = ToLabColour(c);
    EXPECT_NEAR(q.L, f.L * LabScale, 0.51 + 1e-3) << int{c.r} << "," << int{c.g} << "," << int{c.b};
    EXPECT_NEAR(q.a, f.a * LabScale, 0.51 + 1e-3);
    EXPECT_NEAR(q.b, f.b * LabScale, 0.51 + 1e-3);
  }
  EXPECT_EQ(ToLabColour({0, 0, 0}), (LabColour{0, 0, 0}));
  EXPECT_EQ(ToLabColour({255, 255, 255}), (LabColour{LabScale, 0, 0}));
  const LabColour* palette = VgaLabColours();
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(NearestVgaColour(VgaPalette[i]), i);
    for (int j = 0; j < i; ++j) EXPECT_GT(LabDistance(palette[i], palette[j]), 1000) << i << j;
  }
}

// Blocks of the kinds a conversion meets, each a generator from a seed.
LabBlock RandomPixels(std::mt19937& random) {
  LabBlock block;
  for (LabColour& p : block.pixels) p = ToLabColour(RandomRgb(random));
  return block;
}
// Two or three colours, some of them the palette's: many exact ties.
LabBlock FewColours(std::mt19937& random) {
  Rgb colours[3];
  for (Rgb& c : colours) c = random() % 2 ? VgaPalette[random() % 16] : RandomRgb(random);
  const int count = 2 + static_cast<int>(random() % 2);
  LabBlock block;
  for (LabColour& p : block.pixels) p = ToLabColour(colours[random() % count]);
  return block;
}
// What a photograph gives: a smooth gradient between two colours with a
// little noise, sometimes crossed by an edge.
LabBlock PhotographLike(std::mt19937& random) {
  const Rgb from = RandomRgb(random), to = RandomRgb(random), edge = RandomRgb(random);
  const bool hasEdge = random() % 2 == 0;
  const int slope = static_cast<int>(random() % 7) - 3;
  LabBlock block;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const int t = x + y;  // 0..14
      auto mix = [&](uint8_t a, uint8_t b) {
        const int v = (a * (14 - t) + b * t) / 14 + static_cast<int>(random() % 9) - 4;
        return static_cast<uint8_t>(std::clamp(v, 0, 255));
      };
      Rgb c{mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b)};
      if (hasEdge && y > 3 + slope * (x - 4) / 4) c = edge;
      block.pixels[y * 8 + x] = ToLabColour(c);
    }
  return block;
}

TEST(CellMatcher, FindsTheSameCellAndErrorAsTryingEveryChoice) {
  const CellMatcher matcher;
  const char* names[] = {"random pixels", "two or three colours", "photograph-like"};
  LabBlock (*const kinds[])(std::mt19937&) = {RandomPixels, FewColours, PhotographLike};
  for (int kind = 0; kind < 3; ++kind) {
    std::mt19937 random(99);
    for (int i = 0; i < 24; ++i) {
      SCOPED_TRACE(std::string(names[kind]) + " #" + std::to_string(i));
      const LabBlock block = kinds[kind](random);
      const CellChoice fast = matcher.Match(block), tried = MatchByTrying(block);
      EXPECT_EQ(fast, tried) << int{fast.glyph} << " " << int{fast.fg} << " " << int{fast.bg} << " "
                             << fast.error << " against " << int{tried.glyph} << " "
                             << int{tried.fg} << " " << int{tried.bg} << " " << tried.error;
    }
  }
}

// A one-colour block: every glyph fits, and the tie rule picks glyph 0 with
// that colour as background and foreground 0.
TEST(CellMatcher, BreaksTiesByLowestGlyphThenForegroundThenBackground) {
  const CellMatcher matcher;
  for (int colour = 0; colour < 16; ++colour) {
    LabBlock block;
    std::fill(std::begin(block.pixels), std::end(block.pixels), VgaLabColours()[colour]);
    const CellChoice choice = matcher.Match(block);
    EXPECT_EQ(choice, (CellChoice{0, 0, static_cast<uint8_t>(colour), 0})) << colour;
    EXPECT_EQ(choice, MatchByTrying(block));
  }
}

// Random grids (every glyph and attribute) through the pixel model and back:
// the image is the same to the pixel, whatever cells were chosen. Matched in
// three bands (the tool runs it on threads), each leaving the rows outside it
// alone.
TEST(CellMatcher, RenderedGridsConvertBackBandByBandToTheSamePixels) {
  const CellMatcher matcher;
  auto grid = std::make_unique<test::Frame>(), match = std::make_unique<test::Frame>();
  ScreenCells &cells = grid->cells, &matched = match->cells;
  auto image = std::make_unique<PixelImage>(), again = std::make_unique<PixelImage>();
  std::mt19937 random(5);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    for (Cell& c : cells)
      c = {static_cast<uint16_t>(random() & 0xFF), static_cast<uint16_t>(random() & 0xFF)};
    RenderCells(cells, *image);
    for (Cell& c : matched) c = {0x41, 0x1F};
    matcher.MatchRows(*image, 10, 12, matched);
    for (int i = 0; i < ScreenCellCount; ++i) {
      if (i / ScreenWidth >= 10 && i / ScreenWidth < 12) continue;
      ASSERT_EQ(matched[i].Char, 0x41) << i;
      ASSERT_EQ(matched[i].Attributes, 0x1F) << i;
    }
    matcher.MatchRows(*image, 0, 10, matched);
    matcher.MatchRows(*image, 12, ScreenHeight, matched);
    RenderCells(matched, *again);
    ASSERT_EQ(std::memcmp(image->pixels, again->pixels, sizeof image->pixels), 0);
    int same = 0;
    for (int i = 0; i < ScreenCellCount; ++i)
      same += cells[i].Char == matched[i].Char && cells[i].Attributes == matched[i].Attributes;
    // Most cells come back as they were; those that do not look the same.
    EXPECT_GT(same, ScreenCellCount / 2);
  }
}

}  // namespace
}  // namespace cellshow
