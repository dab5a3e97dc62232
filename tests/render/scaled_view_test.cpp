// The scaled view against a plain floating-point reference: the pixel
// model's 640x400 image, each box pixel averaged over the exact rectangle it
// covers in linear light. Also the box sizes, and the nearest colours
// against brute-force searches of their palettes (the dither is in
// scaled_colours_test.cpp).
#include "render/scaled/scaled_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/pixels/cell_image.h"
#include "render/scaled/palette_match.h"
#include "render/scaled/srgb.h"
#include "support/show_recording.h"

namespace cellshow {
namespace {

double Linear(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}
double Encoded(double light) {
  return light <= 0.0031308 ? light * 12.92 : 1.055 * std::pow(light, 1 / 2.4) - 0.055;
}

// The reference: the image drawn whole, every box pixel its exact average.
class Reference {
 public:
  explicit Reference(const ScreenCells& cells) : image_(std::make_unique<PixelImage>()) {
    RenderCells(cells, *image_);
  }
  Rgb Pixel(int x, int y, int columns, int pixelRows) const {
    const double x0 = x * 640.0 / columns, x1 = (x + 1) * 640.0 / columns;
    const double y0 = y * 400.0 / pixelRows, y1 = (y + 1) * 400.0 / pixelRows;
    double sum[3] = {}, area = 0;
    for (int py = static_cast<int>(y0); py < std::min(400.0, std::ceil(y1)); ++py) {
      const double h = std::min<double>(py + 1, y1) - std::max<double>(py, y0);
      for (int px = static_cast<int>(x0); px < std::min(640.0, std::ceil(x1)); ++px) {
        const double w = (std::min<double>(px + 1, x1) - std::max<double>(px, x0)) * h;
        if (w <= 0) continue;
        const uint32_t rgba = image_->pixels[py * 640 + px];
        for (int c = 0; c < 3; ++c) sum[c] += w * Linear((rgba >> (8 * c) & 0xFF) / 255.0);
        area += w;
      }
    }
    auto back = [&](int c) {
      return static_cast<uint8_t>(std::lround(255 * Encoded(sum[c] / area)));
    };
    return {back(0), back(1), back(2)};
  }

 private:
  std::unique_ptr<PixelImage> image_;
};

int ChannelGap(Rgb a, Rgb b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

std::string Show(Rgb c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

struct Grid {
  ScreenCells cells;
};

std::unique_ptr<Grid> RandomGrid(std::mt19937& random) {
  auto grid = std::make_unique<Grid>();
  for (Cell& cell : grid->cells) {
    cell.Char = static_cast<uint16_t>(random() & 0xFF);
    cell.Attributes = static_cast<uint16_t>(random() & 0xFF);
  }
  return grid;
}

// Every pixel of every cell of a rendered box, against the reference; "" or
// the first differences.
std::string RenderMismatch(ScaledView& view, const ScreenCells& cells) {
  const ScaledBox& box = view.box();
  std::vector<RgbCell> out(static_cast<size_t>(box.columns * box.rows));
  view.Render(cells, ColorDepth::TrueColor, out.data());
  const Reference reference(cells);
  std::string report;
  int reported = 0;
  auto check = [&](Rgb got, int x, int y) {
    const Rgb want = reference.Pixel(x, y, box.columns, box.pixelRows);
    if (ChannelGap(got, want) > 1 && reported++ < 4) {
      report += "pixel " + std::to_string(x) + "," + std::to_string(y) + ": " + Show(got) +
                " want " + Show(want) + "\n";
    }
  };
  for (int row = 0; row < box.rows; ++row) {
    for (int x = 0; x < box.columns; ++x) {
      const RgbCell& cell = out[row * box.columns + x];
      if (!box.halfBlocks) {
        if (cell.glyph != BlankGlyph && reported++ < 4) report += "not a blank\n";
        check(cell.bg, x, row);
        continue;
      }
      if (cell.glyph != UpperHalfBlock && reported++ < 4) report += "not a half block\n";
      check(cell.fg, x, 2 * row);
      if (2 * row + 1 < box.pixelRows) {
        check(cell.bg, x, 2 * row + 1);
      } else if (cell.bg != Rgb{0, 0, 0} && reported++ < 4) {
        report += "below the last pixel row is not black\n";
      }
    }
  }
  return report;
}

struct Size {
  int columns, rows;
  bool halfBlocks;
};
// Boxes of every shape the weights can take: whole cells per pixel, fewer,
// more, odd pixel rows (79x50), the widest box (400x200) and one pixel per
// cell.
constexpr Size Sizes[] = {{40, 12, true},  {80, 24, true},   {120, 40, true}, {79, 50, true},
                          {200, 50, true}, {400, 200, true}, {80, 24, false}, {57, 31, false}};

TEST(ScaledView, RandomGridsMatchTheReferenceWithinOne) {
  std::mt19937 random(15);
  ScaledView view;
  for (const Size& size : Sizes) {
    view.Fit(size.columns, size.rows, size.halfBlocks);
    for (int n = 0; n < 2; ++n) {
      const auto grid = RandomGrid(random);
      EXPECT_EQ(RenderMismatch(view, grid->cells), "")
          << size.columns << "x" << size.rows << (size.halfBlocks ? "" : " one pixel per cell");
    }
  }
}

TEST(ScaledView, DefaultShowFramesMatchTheReferenceWithinOne) {
  const auto& frames = test::DefaultShowFrames();
  ASSERT_GT(frames.size(), 1000u);
  ScaledView view;
  for (const Size& size : {Sizes[1], Sizes[3], Sizes[6]}) {
    view.Fit(size.columns, size.rows, size.halfBlocks);
    // Every 40th present: each scene several times over.
    for (size_t i = 0; i < frames.size(); i += 40) {
      ASSERT_EQ(RenderMismatch(view, frames[i]->cells), "")
          << "tick " << frames[i]->tick << " at " << size.columns << "x" << size.rows;
    }
  }
}

// A view that renders frame after frame works out again only the pixels
// over changed cells; what it gives must not differ from a fresh view's.
TEST(ScaledView, FrameAfterFrameEqualsEachFrameAfresh) {
  const auto& frames = test::DefaultShowFrames();
  ASSERT_GT(frames.size(), 1000u);
  auto running = std::make_unique<ScaledView>();
  auto fresh = std::make_unique<ScaledView>();
  std::vector<RgbCell> a(ScaledMaxColumns * ScaledMaxRows), b(a.size());
  const ColorDepth depths[] = {ColorDepth::TrueColor, ColorDepth::Sixteen, ColorDepth::Xterm256,
                               ColorDepth::Eight};
  for (size_t i = 0; i < frames.size(); ++i) {
    // A new size or depth now and then, as a resize or a test would.
    const bool half = i % 500 < 400;
    const int columns = i % 300 < 150 ? 80 : 97;
    const ColorDepth depth = depths[i / 200 % 4];
    running->Fit(columns, 24, half);
    fresh->Fit(columns, 24, half);
    running->Render(frames[i]->cells, depth, a.data());
    fresh = std::make_unique<ScaledView>();
    fresh->Fit(columns, 24, half);
    fresh->Render(frames[i]->cells, depth, b.data());
    const size_t n = static_cast<size_t>(running->box().columns * running->box().rows);
    ASSERT_TRUE(std::equal(a.begin(), a.begin() + static_cast<long>(n), b.begin()))
        << "present " << i;
  }
}

TEST(ScaledView, BoxSizeAndPlace) {
  struct Case {
    int columns, rows;
    bool halfBlocks;
    ScaledBox box;
  };
  const Case cases[] = {
      // columns, pixel rows, rows, left, top
      {40, 12, true, {32, 24, 12, 4, 0, true}},
      {80, 24, true, {64, 48, 24, 8, 0, true}},
      {100, 30, true, {80, 60, 30, 10, 0, true}},
      {79, 50, true, {79, 59, 30, 0, 10, true}},
      {200, 50, true, {133, 100, 50, 33, 0, true}},
      {120, 40, true, {106, 80, 40, 7, 0, true}},
      {80, 30, true, {80, 60, 30, 0, 0, true}},
      // One pixel per cell: half the pixel rows.
      {80, 24, false, {64, 24, 24, 8, 0, false}},
      {79, 50, false, {79, 30, 30, 0, 10, false}},
      // The widest box, centred in anything wider.
      {1000, 500, true, {200, 150, 75, 400, 212, true}},
      {65535, 65535, false, {200, 75, 75, 32667, 32730, false}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitScaledBox(c.columns, c.rows, c.halfBlocks), c.box) << c.columns << "x" << c.rows;
  }
  for (const Size& small : {Size{39, 12, true}, Size{40, 11, true}, Size{0, 0, false},
                            Size{-5, 100, true}, Size{100, -5, false}}) {
    EXPECT_TRUE(FitScaledBox(small.columns, small.rows, small.halfBlocks).empty())
        << small.columns << "x" << small.rows;
  }
}

// A frame of one colour everywhere stays exactly that colour at every size,
// whatever the glyphs, in every colour depth: the weights of every pixel add
// up, and no reduction moves a VGA colour it can show (with 8 colours, a
// bright one only in half blocks, as their foreground).
TEST(ScaledView, OneColourFramesStayThatColour) {
  std::mt19937 random(7);
  ScaledView view;
  auto grid = RandomGrid(random);
  for (int colour = 0; colour < 16; ++colour) {
    for (Cell& cell : grid->cells) cell.Attributes = static_cast<uint16_t>(colour * 17);
    for (const Size& size : Sizes) {
      const ScaledBox& box = view.Fit(size.columns, size.rows, size.halfBlocks);
      std::vector<RgbCell> out(static_cast<size_t>(box.columns * box.rows));
      for (ColorDepth depth :
           {ColorDepth::TrueColor, ColorDepth::Xterm256, ColorDepth::Sixteen, ColorDepth::Eight}) {
        if (depth == ColorDepth::Eight && colour >= 8 && !box.halfBlocks) continue;
        view.Render(grid->cells, depth, out.data());
        const Rgb want = depth == ColorDepth::Xterm256
                             ? Xterm256Color(NearestXterm256(VgaPalette[colour]))
                             : VgaPalette[colour];
        const int lastFull = box.halfBlocks && box.pixelRows % 2 ? box.rows - 1 : box.rows;
        for (int i = 0; i < lastFull * box.columns; ++i) {
          ASSERT_EQ(out[i].bg, want) << "colour " << colour << " cell " << i;
          if (box.halfBlocks) {
            ASSERT_EQ(out[i].fg, want) << "colour " << colour << " cell " << i;
          }
        }
      }
    }
  }
}

TEST(ScaledColours, SrgbRoundTripsAndRoundsToTheNearest) {
  for (int v = 0; v < 256; ++v) {
    ASSERT_EQ(LinearToSrgb(SrgbToLinear(static_cast<uint8_t>(v))), v);
    ASSERT_NEAR(SrgbToLinear(static_cast<uint8_t>(v)), Linear(v / 255.0), 1e-6);
  }
  // A fine sweep, away from the rounding points (where float and double may
  // differ in the last bit).
  for (int i = 0; i <= 200000; ++i) {
    const double light = i / 200000.0;
    const double encoded = 255 * Encoded(light);
    if (std::abs(encoded - std::floor(encoded) - 0.5) < 1e-3) continue;
    ASSERT_EQ(LinearToSrgb(static_cast<float>(light)), std::lround(encoded)) << light;
  }
  // On either side of every rounding point.
  for (int v = 0; v < 255; ++v) {
    const float point = static_cast<float>(Linear((v + 0.5) / 255.0));
    ASSERT_EQ(LinearToSrgb(std::nextafter(point, 0.0f)), v);
    ASSERT_EQ(LinearToSrgb(std::nextafter(point, 1.0f)), v + 1);
  }
  EXPECT_EQ(LinearToSrgb(-1.0f), 0);
  EXPECT_EQ(LinearToSrgb(2.0f), 255);
  EXPECT_EQ(LinearToSrgb(std::nanf("")), 0);
}

int Distance(Rgb a, Rgb b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

TEST(ScaledColours, Xterm256IsTheNearestCubeOrGreyEntry) {
  // The palette as xterm defines it, written out independently.
  std::vector<Rgb> palette;
  const int levels[6] = {0, 0x5f, 0x87, 0xaf, 0xd7, 0xff};
  for (int r : levels)
    for (int g : levels)
      for (int b : levels)
        palette.push_back(
            {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)});
  for (int k = 0; k < 24; ++k) {
    const auto v = static_cast<uint8_t>(0x08 + 0x0a * k);
    palette.push_back({v, v, v});
  }
  for (int index = 16; index < 256; ++index) {
    ASSERT_EQ(Xterm256Color(static_cast<uint8_t>(index)), palette[index - 16]) << index;
    ASSERT_EQ(NearestXterm256(palette[index - 16]), index);
  }
  std::mt19937 random(256);
  for (int n = 0; n < 100000; ++n) {
    const Rgb c{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                static_cast<uint8_t>(random())};
    int best = INT32_MAX;
    for (const Rgb& entry : palette) best = std::min(best, Distance(entry, c));
    ASSERT_EQ(Distance(Xterm256Color(NearestXterm256(c)), c), best) << Show(c);
  }
}

TEST(ScaledColours, NearestVgaIsTheNearest) {
  std::mt19937 random(16);
  for (int n = 0; n < 200000; ++n) {
    const Rgb c{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                static_cast<uint8_t>(random())};
    int best = INT32_MAX;
    for (const Rgb& entry : VgaPalette) best = std::min(best, Distance(entry, c));
    ASSERT_EQ(Distance(VgaPalette[NearestVga(c)], c), best) << Show(c);
    int bestNormal = INT32_MAX;
    for (int i = 0; i < 8; ++i) bestNormal = std::min(bestNormal, Distance(VgaPalette[i], c));
    const int normal = NearestNormalVga(c);
    ASSERT_LT(normal, 8) << Show(c);
    ASSERT_EQ(Distance(VgaPalette[normal], c), bestNormal) << Show(c);
  }
}

}  // namespace
}  // namespace cellshow
