// The pixel image against a plain per-pixel reference, and the rendered
// frames of the default show against stored digests.
#include "render/pixels/cell_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>

#include "platform/headless/recording.h"
#include "render/pixels/cp437_font.h"
#include "render/pixels/vga_palette.h"
#include "support/show_recording.h"

namespace cellshow {
namespace {

// The colour of one pixel, found the slow way.
int ReferenceIndex(const ScreenCells& cells, int x, int y) {
  const Cell& cell = cells[(y / GlyphSize) * ScreenWidth + x / GlyphSize];
  const uint8_t row = GlyphRows(static_cast<uint8_t>(cell.Char))[y % GlyphSize];
  const bool set = (row >> (GlyphSize - 1 - x % GlyphSize)) & 1;
  const int attributes = cell.Attributes & 0xFF;
  return set ? attributes & 15 : attributes >> 4;
}

struct Images {
  PixelImage rgba;
  IndexImage index;
};

// Every character with every attribute, shuffled into grids of 4000 cells,
// with random bits above the low byte of each word (they must not count).
std::vector<std::unique_ptr<Cell[]>> EveryCellGrids() {
  std::mt19937 random(1234);
  std::vector<uint32_t> pairs(65536);
  std::iota(pairs.begin(), pairs.end(), 0);
  std::shuffle(pairs.begin(), pairs.end(), random);
  std::vector<std::unique_ptr<Cell[]>> grids;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (i % ScreenCellCount == 0) {
      grids.push_back(std::make_unique<Cell[]>(ScreenCellCount));
      for (int k = 0; k < ScreenCellCount; ++k)
        grids.back()[k] = {static_cast<uint16_t>(random()), static_cast<uint16_t>(random())};
    }
    const uint32_t high = random();
    grids.back()[i % ScreenCellCount] = {
        static_cast<uint16_t>((pairs[i] & 0xFF) | (high & 0xFF00)),
        static_cast<uint16_t>((pairs[i] >> 8) | (high >> 16 << 8))};
  }
  return grids;
}

TEST(CellImage, EveryCharacterAndAttributeMatchesThePerPixelReference) {
  auto images = std::make_unique<Images>();
  const auto grids = EveryCellGrids();
  ASSERT_EQ(grids.size(), 17u);
  for (size_t g = 0; g < grids.size(); ++g) {
    SCOPED_TRACE(g);
    const ScreenCells& cells = *reinterpret_cast<const ScreenCells*>(grids[g].get());
    std::memset(images.get(), 0x5A, sizeof(Images));  // every pixel must be written
    RenderCells(cells, images->rgba);
    RenderCellIndices(cells, images->index);
    int failures = 0;
    for (int y = 0; y < ImageHeight && failures < 5; ++y) {
      for (int x = 0; x < ImageWidth && failures < 5; ++x) {
        const int expected = ReferenceIndex(cells, x, y);
        const size_t at = static_cast<size_t>(y) * ImageWidth + x;
        if (images->index.pixels[at] != expected ||
            images->rgba.pixels[at] != PackRgba(VgaPalette[expected])) {
          ADD_FAILURE() << "pixel " << x << "," << y << ": index " << int{images->index.pixels[at]}
                        << ", rgba " << std::hex << images->rgba.pixels[at] << ", expected colour "
                        << std::dec << expected;
          ++failures;
        }
      }
    }
  }
}

TEST(CellImage, PixelsAreRgbaBytesInMemory) {
  auto image = std::make_unique<PixelImage>();
  ScreenCells cells{};
  cells[0] = {0xDB, 0x06};                 // full block in brown
  cells[ScreenCellCount - 1] = {0, 0xC0};  // blank on light red
  RenderCells(cells, *image);
  uint8_t bytes[4];
  std::memcpy(bytes, &image->pixels[0], 4);
  EXPECT_EQ(bytes[0], 0xAA);
  EXPECT_EQ(bytes[1], 0x55);
  EXPECT_EQ(bytes[2], 0x00);
  EXPECT_EQ(bytes[3], 0xFF);
  std::memcpy(bytes, &image->pixels[ImagePixels - 1], 4);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0x55);
  EXPECT_EQ(bytes[2], 0x55);
  EXPECT_EQ(bytes[3], 0xFF);
}

// ---------------------------------------------------------------------------
// Golden digests: the default show (the data the build makes), recorded by
// the program, rendered at a few ticks of each kind of scene. Regenerate only
// when a change is meant to alter what the show looks like:
//   CELLSHOW_UPDATE_GOLDEN=1 build/tests/test_render --gtest_filter='PixelGolden.*'

uint64_t Digest(const void* data, size_t size) {
  uint64_t h = 0xcbf29ce484222325ull;
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
  return h;
}

TEST(PixelGolden, DefaultShowFramesMatchTheStoredDigests) {
  const std::vector<Record> records = test::RecordDefaultShow();
  ASSERT_FALSE(records.empty()) << "cannot play the default show headless";

  // Plasma, the first animation, a burst, the second and third animations,
  // the spinning models, the fly-off.
  const uint32_t ticks[] = {300, 1400, 1530, 1701, 1900, 2201, 2701};
  auto images = std::make_unique<Images>();
  std::ostringstream actual;
  for (uint32_t tick : ticks) {
    const auto at = std::find_if(records.begin(), records.end(), [&](const Record& r) {
      return r.kind == PresentRecord && r.tick == tick;
    });
    ASSERT_NE(at, records.end()) << "no present at tick " << tick;
    ScreenCells cells;
    CellsOf(*at, cells);
    RenderCells(cells, images->rgba);
    RenderCellIndices(cells, images->index);
    char line[64];
    std::snprintf(
        line, sizeof line, "%u rgba %016llx index %016llx\n", tick,
        static_cast<unsigned long long>(Digest(images->rgba.pixels, sizeof images->rgba)),
        static_cast<unsigned long long>(Digest(images->index.pixels, sizeof images->index)));
    actual << line;
  }
  const std::string path = CELLSHOW_SOURCE_DIR "/tests/scenes/golden/default_pixels.txt";
  if (std::getenv("CELLSHOW_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path) << actual.str();
    GTEST_SKIP() << "rewrote " << path;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << "no digests at " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual.str(), expected.str());
}

}  // namespace
}  // namespace cellshow
