#pragma once
// Traces the line between two byte-coordinate cells into the point list, in
// either direction and with its first cells dropped.
#include <cstdint>

#include "raster/point_list.h"

namespace cellshow {

// Appends one run: the cells from the end with the smaller major coordinate
// to the other (keepOrder nonzero) or back (keepOrder 0), less the first
// `trim` of them. A trim past the end of the line leaves an empty line.
// Cells outside columns 0..79 and rows 0..61 are left out of the run, and
// cells past the list's room are dropped (see CloseLine).
void TraceCellLine(Points& points, uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1,
                   uint8_t keepOrder, uint8_t trim);

}  // namespace cellshow
