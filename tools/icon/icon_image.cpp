#include "icon_image.h"

#include <algorithm>

namespace cellshow::icon {
namespace {

// Along one axis, in units of 1/(square size * icon size) of the square:
// source pixel i spans [i * size, (i + 1) * size), icon pixel o spans
// [o * square, (o + 1) * square). Returns the overlap of the two.
int64_t Overlap(int64_t source, int64_t icon, int64_t squareSize, int64_t size) {
  const int64_t lo = std::max(source * size, icon * squareSize);
  const int64_t hi = std::min((source + 1) * size, (icon + 1) * squareSize);
  return std::max<int64_t>(0, hi - lo);
}

}  // namespace

std::vector<uint32_t> ResampleSquare(const PixelImage& image, Square square, int size) {
  std::vector<uint32_t> out(static_cast<size_t>(size) * size);
  const int64_t s = square.size;
  const int64_t area = s * s;  // an icon pixel's area in the units above, squared
  for (int oy = 0; oy < size; ++oy) {
    const int y0 = static_cast<int>(oy * s / size);
    const int y1 = static_cast<int>(((oy + 1) * s + size - 1) / size);
    for (int ox = 0; ox < size; ++ox) {
      const int x0 = static_cast<int>(ox * s / size);
      const int x1 = static_cast<int>(((ox + 1) * s + size - 1) / size);
      int64_t sum[4] = {0, 0, 0, 0};
      for (int y = y0; y < y1; ++y) {
        const int64_t wy = Overlap(y, oy, s, size);
        const uint32_t* row = image.pixels + (square.top + y) * ImageWidth + square.left;
        for (int x = x0; x < x1; ++x) {
          const int64_t w = wy * Overlap(x, ox, s, size);
          for (int c = 0; c < 4; ++c) sum[c] += w * ((row[x] >> (8 * c)) & 0xFF);
        }
      }
      uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c)
        pixel |= static_cast<uint32_t>((sum[c] + area / 2) / area) << (8 * c);
      out[static_cast<size_t>(oy) * size + ox] = pixel;
    }
  }
  return out;
}

}  // namespace cellshow::icon
