// The icon tool: area resampling against plain per-pixel references, PNG
// files read back with libpng, and the icons the build drew from the title.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "icon_image.h"
#include "png_file.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using icon::ResampleSquare;
using icon::Square;

struct Png {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xBBGGRR, as PackRgba without alpha
};

// Reads any PNG as 8-bit RGB through libpng's simplified API.
bool ReadPng(const std::string& path, Png& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels.resize(rgb.size() / 3);
  for (size_t i = 0; i < out.pixels.size(); ++i)
    out.pixels[i] = rgb[3 * i] | rgb[3 * i + 1] << 8 | rgb[3 * i + 2] << 16;
  return true;
}

uint8_t Channel(uint32_t pixel, int c) { return static_cast<uint8_t>(pixel >> (8 * c)); }

// An image in which neighbouring pixels differ in every channel.
const PixelImage& Pattern() {
  static const auto image = [] {
    auto p = std::make_unique<PixelImage>();
    for (int y = 0; y < ImageHeight; ++y)
      for (int x = 0; x < ImageWidth; ++x)
        p->pixels[y * ImageWidth + x] = static_cast<uint32_t>((x * 37 + y * 11) & 255) |
                                        static_cast<uint32_t>((x * 5 + y * 83) & 255) << 8 |
                                        static_cast<uint32_t>((x ^ y) & 255) << 16 | 0xFF000000u;
    return p;
  }();
  return *image;
}

// The mean of each channel over the image area an icon pixel covers,
// integrated in floating point.
double ReferenceChannel(const PixelImage& image, Square square, int size, int ox, int oy, int c) {
  const double scale = static_cast<double>(square.size) / size;
  double sum = 0;
  for (int y = 0; y < square.size; ++y) {
    const double wy =
        std::max(0.0, std::min(y + 1.0, (oy + 1) * scale) - std::max(1.0 * y, oy * scale));
    if (wy == 0) continue;
    for (int x = 0; x < square.size; ++x) {
      const double wx =
          std::max(0.0, std::min(x + 1.0, (ox + 1) * scale) - std::max(1.0 * x, ox * scale));
      sum += wx * wy * Channel(image.pixels[(square.top + y) * ImageWidth + square.left + x], c);
    }
  }
  return sum / (scale * scale);
}

TEST(IconResample, RepeatsAveragesAndBlendsPixelsAsTheirAreasSay) {
  const PixelImage& image = Pattern();
  // A whole multiple repeats each pixel exactly.
  const Square small{100, 50, 64};
  const std::vector<uint32_t> up = ResampleSquare(image, small, 256);
  ASSERT_EQ(up.size(), 256u * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      ASSERT_EQ(up[y * 256 + x], image.pixels[(50 + y / 4) * ImageWidth + 100 + x / 4])
          << x << "," << y;

  // Halving gives each 2x2 block's mean, rounded half up.
  const Square big{3, 7, 96};
  const std::vector<uint32_t> half = ResampleSquare(image, big, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x)
      for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            sum += Channel(image.pixels[(7 + 2 * y + dy) * ImageWidth + 3 + 2 * x + dx], c);
        ASSERT_EQ(Channel(half[y * 48 + x], c), (sum + 2) / 4) << x << "," << y << " channel " << c;
      }

  // Ratios that are not whole (the title square to both icon sizes) weigh
  // the pixels a sample only partly covers by that part.
  for (int size : icon::IconSizes) {
    const Square square = icon::TitleSquare;
    const std::vector<uint32_t> icon = ResampleSquare(image, square, size);
    int worst = 0;
    for (int y = 0; y < size; y += 7)
      for (int x = 0; x < size; x += 5)
        for (int c = 0; c < 4; ++c) {
          const double reference = ReferenceChannel(image, square, size, x, y, c);
          worst = std::max(
              worst,
              static_cast<int>(std::ceil(std::abs(Channel(icon[y * size + x], c) - reference))));
        }
    EXPECT_LE(worst, 1) << size;  // rounding only
  }
}

TEST(IconPng, ReadsBackAsWrittenAndReportsAFileThatCannotBeWritten) {
  const test::TempDir dir;
  std::vector<uint32_t> pixels(37 * 20);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint32_t>(i * 2654435761u) | 0xFF000000u;
  const std::string path = (dir.path() / "a.png").string();
  std::string error;
  ASSERT_TRUE(icon::WritePng(path, pixels, 37, 20, error)) << error;
  Png png;
  ASSERT_TRUE(ReadPng(path, png));
  EXPECT_EQ(png.width, 37);
  EXPECT_EQ(png.height, 20);
  for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(png.pixels[i], pixels[i] & 0xFFFFFF) << i;

  EXPECT_FALSE(
      icon::WritePng((dir.path() / "no/such/folder/a.png").string(), pixels, 37, 20, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_FALSE(icon::WritePng("/dev/full", pixels, 37, 20, error));
  EXPECT_NE(error.find("failed"), std::string::npos) << error;
  EXPECT_FALSE(icon::WritePng(path, pixels, 36, 20, error));
}

// The icons the build drew: the title's "C" in the show's colours. Cells are
// sampled at their centres, where both sizes show one cell alone: the
// letter's bright top edge in white, its black outline, the plasma above
// and beside it in light cyan, and the red band beside it and in its
// opening.
TEST(BuiltIcons, ShowTheTitlesLetterInTheShowsColours) {
  struct Sample {
    int column, row;
    uint32_t rgb;  // 0xRRGGBB
  };
  const Sample samples[] = {
      {6, 32, 0xFFFFFF}, {2, 35, 0x000000}, {5, 34, 0x000000},
      {1, 32, 0x55FFFF}, {1, 38, 0xAA0000}, {7, 36, 0xAA0000},
  };
  for (int size : icon::IconSizes) {
    SCOPED_TRACE(size);
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    Png png;
    ASSERT_TRUE(
        ReadPng(std::string(CELLSHOW_BUILD_DIR) + "/icons/" + name + "/apps/cellshow.png", png));
    ASSERT_EQ(png.width, size);
    ASSERT_EQ(png.height, size);
    const Square square = icon::TitleSquare;
    for (const Sample& s : samples) {
      const int x = ((s.column * 8 + 4 - square.left) * size) / square.size;
      const int y = ((s.row * 8 + 4 - square.top) * size) / square.size;
      const uint32_t p = png.pixels[y * size + x];
      const uint32_t rgb = (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
      EXPECT_EQ(rgb, s.rgb) << "cell " << s.column << "," << s.row;
    }
  }
}

}  // namespace
}  // namespace cellshow
