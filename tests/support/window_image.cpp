#include "support/window_image.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <thread>

namespace cellshow::test {

namespace {

// The image pixels (along one axis) that an output pixel may blend: the
// linear step's two taps lie within 1.5 prescaled pixels of the output
// pixel's centre (whichever convention places the sample), which is
// 1.5/factor image pixels.
void Candidates(int output, int contentStart, int contentSize, int imageSize, int factor,
                int& first, int& last) {
  const double centre = (output - contentStart + 0.5) * imageSize / contentSize;
  const double reach = 1.5 / factor + 1e-6;
  first = std::clamp(static_cast<int>(std::floor(centre - reach)), 0, imageSize - 1);
  last = std::clamp(static_cast<int>(std::floor(centre + reach)), 0, imageSize - 1);
}

}  // namespace

std::string ScaledImageMismatch(const ShownPixels& shown, PixelRect content, PixelSize prescale,
                                const PixelImage& image) {
  std::ostringstream out;
  int failures = 0;
  for (int y = 0; y < shown.height && failures < 5; ++y) {
    int row0 = 0, row1 = 0;
    Candidates(y, content.y, content.height, ImageHeight, prescale.height, row0, row1);
    for (int x = 0; x < shown.width && failures < 5; ++x) {
      const uint8_t* p = shown.rgb + (static_cast<size_t>(y) * shown.width + x) * shown.step;
      const bool inside = x >= content.x && x < content.x + content.width && y >= content.y &&
                          y < content.y + content.height;
      int low[3] = {0, 0, 0}, high[3] = {2, 2, 2};  // black, within 2
      if (inside) {
        int col0 = 0, col1 = 0;
        Candidates(x, content.x, content.width, ImageWidth, prescale.width, col0, col1);
        for (int c = 0; c < 3; ++c) low[c] = 255, high[c] = 0;
        for (int r = row0; r <= row1; ++r) {
          for (int q = col0; q <= col1; ++q) {
            const uint32_t v = image.pixels[r * ImageWidth + q];
            for (int c = 0; c < 3; ++c) {
              const int channel = static_cast<int>(v >> (8 * c) & 0xFF);
              low[c] = std::min(low[c], channel - 2);
              high[c] = std::max(high[c], channel + 2);
            }
          }
        }
      }
      for (int c = 0; c < 3; ++c) {
        if (p[c] < low[c] || p[c] > high[c]) {
          out << "pixel " << x << "," << y << (inside ? "" : " (outside the content)") << " is "
              << int{p[0]} << "," << int{p[1]} << "," << int{p[2]} << "; channel " << c
              << " should be in " << low[c] << ".." << high[c] << "\n";
          ++failures;
          break;
        }
      }
    }
  }
  return out.str();
}

int64_t ShownTick(const Screenshot& shot, const WindowGeometry& window,
                  const std::vector<Record>& records, uint32_t first, uint32_t last,
                  std::string& closest) {
  if (window.x < 0 || window.y < 0 || window.x + window.width > shot.width ||
      window.y + window.height > shot.height || window.width <= 0 || window.height <= 0) {
    closest = "the window is not all on the screen";
    return -1;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(window.width) * window.height * 3);
  for (int y = 0; y < window.height; ++y)
    std::copy_n(&shot.rgb[(static_cast<size_t>(window.y + y) * shot.width + window.x) * 3],
                window.width * 3, &pixels[static_cast<size_t>(y) * window.width * 3]);
  const PixelRect content = ContentRect({window.width, window.height});
  const PixelSize prescale = PrescaleFactors(content, 1 << 14);
  auto image = std::make_unique<PixelImage>();
  closest = "no frame of more than one colour";
  for (const Record& r : records) {
    if (r.kind != PresentRecord || r.tick < first || r.tick > last) continue;
    ScreenCells cells;
    CellsOf(r, cells);
    RenderCells(cells, *image);
    if (std::all_of(image->pixels, image->pixels + ImagePixels,
                    [&](uint32_t p) { return p == image->pixels[0]; }))
      continue;
    const std::string mismatch = ScaledImageMismatch(
        {pixels.data(), window.width, window.height, 3}, content, prescale, *image);
    if (mismatch.empty()) return r.tick;
    closest = mismatch;
  }
  return -1;
}

int64_t ShownTickInShots(const std::string& display, const WindowGeometry& window,
                         const std::vector<Record>& records,
                         const std::function<std::pair<uint32_t, uint32_t>()>& ticks,
                         std::string& closest) {
  int64_t matched = -1;
  for (int shot = 0; shot < 3 && matched < 0; ++shot) {
    if (shot > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Screenshot screen;
    if (!TakeScreenshot(display, screen, closest)) return -1;
    const auto [first, last] = ticks();
    matched = ShownTick(screen, window, records, first, last, closest);
  }
  return matched;
}

}  // namespace cellshow::test
