#include "raster/byte_tracer.h"

#include <utility>

namespace cellshow {

void TraceCellLine(Points& points, uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1,
                   uint8_t keepOrder, uint8_t trim) {
  const int ex = x1 > x0 ? x1 - x0 : x0 - x1;
  const int ey = y1 > y0 ? y1 - y0 : y0 - y1;
  const bool steep = ey >= ex;
  int a0 = steep ? y0 : x0, a1 = steep ? y1 : x1;
  int b0 = steep ? x0 : y0, b1 = steep ? x1 : y1;
  if (a0 >= a1) {
    std::swap(a0, a1);
    std::swap(b0, b1);
  }
  const int d = a1 - a0;
  const int e = b1 > b0 ? b1 - b0 : b0 - b1;
  const int step = b0 < b1 ? 1 : -1;

  // The forward trace, one cell per major coordinate (at most 256).
  uint16_t forward[256];
  uint32_t n = 0;
  int8_t r = 0;
  int b = b0;
  for (int a = a0; a <= a1; ++a) {
    forward[n++] = static_cast<uint16_t>(steep ? 80 * a + b : 80 * b + a);
    r = static_cast<int8_t>(r + e);
    if (r >= 0 && static_cast<int8_t>(2 * r) >= d) {
      b += step;
      r = static_cast<int8_t>(r - d);
    }
  }

  // Run cell k is forward cell trim + k, or its mirror when reversed; only
  // the cells that fit in the list are written.
  const uint32_t kept = n > trim ? n - trim : 0;
  const uint32_t room = RunRoom(points);
  const uint32_t count = kept < room ? kept : room;
  uint16_t* run = points.PointList + RunStart(points);
  for (uint32_t k = 0; k < count; ++k)
    run[k] = keepOrder != 0 ? forward[trim + k] : forward[n - 1 - trim - k];
  CloseLine(points, count);
}

}  // namespace cellshow
