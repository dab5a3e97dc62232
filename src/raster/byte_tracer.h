#pragma once
// Traces the line between two byte-coordinate cells into the point list, in
// either direction and with its first cells dropped.
#include <cstdint>

#include "raster/point_list.h"

namespace cellshow {

void TraceCellLine(Points& points, uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1,
                   uint8_t keepOrder, uint8_t trim);

}  // namespace cellshow
