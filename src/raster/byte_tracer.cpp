#include "raster/byte_tracer.h"

#include <utility>

namespace cellshow {
namespace {

// Marks a traced cell outside columns 0..79 and rows 0..61: its index would
// alias another cell or a list marker, so it is left out of the run.
constexpr uint16_t kOffRange = 0xFFFF;

}  // namespace

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

  // The forward trace, one cell per major coordinate (at most 256). The error
  // is kept in an int: for lines with d + 2e <= 127 it never leaves the signed
  // byte range, so this is the byte-wide trace exactly; longer lines, where a
  // byte would wrap, still end on their end point.
  uint16_t forward[256];
  uint32_t n = 0;
  int r = 0;
  int b = b0;
  for (int a = a0; a <= a1; ++a) {
    const int column = steep ? b : a, row = steep ? a : b;
    forward[n++] = column < 80 && row < 62 ? static_cast<uint16_t>(80 * row + column) : kOffRange;
    r += e;
    if (r >= 0 && 2 * r >= d) {
      b += step;
      r -= d;
    }
  }

  // Run position k is forward cell k, or forward cell n - 1 - k when the run
  // is reversed; the first `trim` positions are dropped, and so is whatever
  // does not fit in the list.
  const uint32_t room = RunRoom(points);
  uint16_t* run = points.PointList + RunStart(points);
  uint32_t count = 0;
  for (uint32_t k = trim; k < n && count < room; ++k) {
    const uint16_t cell = forward[keepOrder != 0 ? k : n - 1 - k];
    if (cell != kOffRange) run[count++] = cell;
  }
  CloseLine(points, count);
}

}  // namespace cellshow
