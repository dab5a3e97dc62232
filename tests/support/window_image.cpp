#include "support/window_image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

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

}  // namespace cellshow::test
