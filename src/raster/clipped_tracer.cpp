#include "raster/clipped_tracer.h"

#include <utility>

namespace cellshow {

// Straightforward version: visits every major position of the segment.
void TraceClippedLine(Points& points, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  int64_t ax0 = x0, ay0 = y0, ax1 = x1, ay1 = y1;
  const bool steep = (ay1 > ay0 ? ay1 - ay0 : ay0 - ay1) >= (ax1 > ax0 ? ax1 - ax0 : ax0 - ax1);
  if (steep) {
    std::swap(ax0, ay0);
    std::swap(ax1, ay1);
  }
  if (ax0 >= ax1) {
    std::swap(ax0, ax1);
    std::swap(ay0, ay1);
  }
  const int64_t major = ax1 - ax0;
  const int64_t minorSpan = ay1 > ay0 ? ay1 - ay0 : ay0 - ay1;
  const int64_t step = ay0 < ay1 ? 1 : -1;
  int64_t minor = ay0, error = 0;
  uint16_t* run = points.PointList + RunStart(points);
  const uint32_t room = RunRoom(points);
  uint32_t n = 0;
  for (int64_t pos = ax0; pos <= ax1; ++pos) {
    const int64_t row = steep ? pos : minor, column = steep ? minor : pos;
    if (row >= 0 && row < 50 && column >= 0 && column < 80 && n < room)
      run[n++] = static_cast<uint16_t>(80 * row + column);
    error += minorSpan;
    if (error >= 0 && 2 * error >= major) {
      minor += step;
      error -= major;
    }
  }
  CloseLine(points, n);
}

}  // namespace cellshow
