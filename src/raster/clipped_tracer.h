#pragma once
// Traces a segment between any two signed 32-bit points and lists the cells
// that fall on the 80x50 grid, in increasing order along the major axis.
#include <cstdint>

#include "raster/point_list.h"

namespace cellshow {

// Appends the on-grid cells of the Bresenham trace of the segment (the same
// cells whichever end comes first), then closes the line; a segment that
// misses the grid adds an empty line. Any int32 end points are traced
// exactly, in time bounded by the grid, not by the segment's length.
void TraceClippedLine(Points& points, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

}  // namespace cellshow
