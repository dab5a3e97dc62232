#include "raster/clipped_tracer.h"

#include <utility>

namespace cellshow {

// The Bresenham trace of the segment, on the exact integers (64-bit, so that
// no span or translation overflows), from the first major position that lies
// on the grid to the last. The error term at that first position follows in
// closed form from the number of minor steps taken before it, so the cost
// does not depend on how far the segment reaches off the grid.
void TraceClippedLine(Points& points, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  int64_t p0 = x0, m0 = y0, p1 = x1, m1 = y1;  // major and minor coordinates
  const bool steep = (m1 > m0 ? m1 - m0 : m0 - m1) >= (p1 > p0 ? p1 - p0 : p0 - p1);
  if (steep) {
    std::swap(p0, m0);
    std::swap(p1, m1);
  }
  if (p0 >= p1) {
    std::swap(p0, p1);
    std::swap(m0, m1);
  }
  const uint64_t major = static_cast<uint64_t>(p1 - p0);                          // below 2^32
  const uint64_t minorSpan = static_cast<uint64_t>(m1 > m0 ? m1 - m0 : m0 - m1);  // <= major
  const int64_t step = m0 < m1 ? 1 : -1;
  const int64_t majorCells = steep ? 50 : 80, minorCells = steep ? 80 : 50;

  uint16_t* run = points.PointList + RunStart(points);
  const uint32_t room = RunRoom(points);
  uint32_t n = 0;
  const int64_t first = p0 > 0 ? p0 : 0;
  const int64_t last = p1 < majorCells - 1 ? p1 : majorCells - 1;
  if (first <= last) {
    // Before position p0 + k the trace has taken floor((2 k e + d) / (2 d))
    // minor steps (e the minor span, d the major span) and its error is
    // k e less that many d. k e < 2^64, since k <= d < 2^32 and e <= d.
    int64_t minor = m0, error = 0;
    if (major != 0 && first != p0) {
      const uint64_t product = static_cast<uint64_t>(first - p0) * minorSpan;
      uint64_t steps = product / major;
      const uint64_t remainder = product % major;
      error = static_cast<int64_t>(remainder);
      if (2 * remainder >= major) {
        ++steps;
        error -= static_cast<int64_t>(major);
      }
      minor += step * static_cast<int64_t>(steps);
    }
    const int64_t d = static_cast<int64_t>(major), e = static_cast<int64_t>(minorSpan);
    for (int64_t pos = first; pos <= last; ++pos) {
      if (minor >= 0 && minor < minorCells && n < room)
        run[n++] = static_cast<uint16_t>(steep ? 80 * pos + minor : 80 * minor + pos);
      error += e;
      if (error >= 0 && 2 * error >= d) {
        minor += step;
        error -= d;
      }
    }
  }
  CloseLine(points, n);
}

}  // namespace cellshow
