#include "raster/point_list.h"

namespace cellshow {

void CloseLine(Points& points, uint32_t cells) {
  uint32_t entry = points.PointListEnd / 2 + cells;
  points.PointList[entry] = LineEnd;
  ++entry;
  points.PointListEnd = entry * 2;
  points.PointList[entry] = ListEnd;
}

}  // namespace cellshow
