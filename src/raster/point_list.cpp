#include "raster/point_list.h"

namespace cellshow {

void CloseLine(Points& points, uint32_t cells) {
  uint32_t entry = RunStart(points);
  if (entry + 1 < PointListCapacity) {
    const uint32_t room = RunRoom(points);
    entry += cells < room ? cells : room;
    points.PointList[entry] = LineEnd;
    ++entry;
  }
  points.PointListEnd = entry * 2;
  points.PointList[entry] = ListEnd;
}

}  // namespace cellshow
