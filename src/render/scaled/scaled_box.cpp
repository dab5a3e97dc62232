#include "render/scaled/scaled_box.h"

#include <algorithm>

namespace cellshow {

ScaledBox FitScaledBox(int columns, int rows, bool halfBlocks) {
  ScaledBox box;
  if (columns < ScaledMinColumns || rows < ScaledMinRows) return box;
  // floor(2 * rows * 4 / 3) without overflow for any int rows: rows is
  // clamped first, far above what the width bound lets through.
  const int tallEnough = std::min(rows, 1 << 20) * 8 / 3;
  box.columns = std::min({columns, tallEnough, ScaledMaxColumns});
  box.halfBlocks = halfBlocks;
  if (halfBlocks) {
    box.pixelRows = (3 * box.columns + 2) / 4;  // round(3w / 4), halves up
    box.rows = (box.pixelRows + 1) / 2;
  } else {
    box.pixelRows = (3 * box.columns + 4) / 8;  // round(3w / 8), halves up
    box.rows = box.pixelRows;
  }
  box.left = (columns - box.columns) / 2;
  box.top = (rows - box.rows) / 2;
  return box;
}

}  // namespace cellshow
