#pragma once
// How much of each pixel of the 640x400 cell image falls in each pixel of a
// smaller box, worked out once per box size.
//
// The weights are exact integers. Along a row of the box, box column x covers
// image columns [x * 640 / W, (x + 1) * 640 / W); measured in units of 1/W of
// an image pixel both ends are whole numbers, so image pixel i weighs the
// overlap of [i * W, (i + 1) * W) with [x * 640, (x + 1) * 640): W when it is
// wholly inside, less at a fractional edge, and every box column's weights
// add up to 640. Rows work the same way with 400 and the box's pixel rows H,
// so every box pixel's weights add up to 640 * 400.
//
// The image is made of 8x8 cells, so the weights are kept per piece: the part
// of one cell column (or row) that one box column (or row) covers.
#include <cstdint>

#include "render/scaled/scaled_box.h"

namespace cellshow {

constexpr int32_t BoxPixelArea = 640 * 400;

// The part of a cell column under a box column.
struct ColumnPiece {
  int16_t cell = 0;    // cell column, 0..79
  bool whole = false;  // all eight pixel columns are wholly inside
  int32_t sum = 0;     // the weights of its eight pixel columns added up
  // The weights of the set pixels of a glyph row (bit 7 leftmost), looked up
  // a nibble at a time, left[row >> 4] + right[row & 15]: small tables that
  // stay in the first-level cache. Each at most 4 * ScaledMaxColumns.
  int16_t left[16] = {};
  int16_t right[16] = {};
};

// The part of a cell row under a box pixel row.
struct RowPiece {
  int16_t cell = 0;  // cell row, 0..49
  bool whole = false;
  uint8_t first = 0, last = 0;  // the pixel rows with a weight, inclusive
  int32_t sum = 0;
  int32_t weight[8] = {};
};

class AreaWeights {
 public:
  // Works the pieces out for a box of columns x pixelRows (1..ScaledMaxColumns,
  // 1..ScaledMaxPixelRows).
  void Build(int columns, int pixelRows);

  int columns() const { return columns_; }
  int pixelRows() const { return pixelRows_; }
  // Weight of a whole image pixel across and down.
  int32_t wholeColumn() const { return columns_; }
  int32_t wholeRow() const { return pixelRows_; }
  const ColumnPiece* ColumnBegin(int x) const { return &columnPieces_[columnStart_[x]]; }
  const ColumnPiece* ColumnEnd(int x) const { return &columnPieces_[columnStart_[x + 1]]; }
  const RowPiece* RowBegin(int y) const { return &rowPieces_[rowStart_[y]]; }
  const RowPiece* RowEnd(int y) const { return &rowPieces_[rowStart_[y + 1]]; }

 private:
  // Every box column (row) covers at most a whole number of cells and the
  // parts of two more at its ends, so the pieces are at most the box's
  // columns plus the cell edges inside the image.
  static constexpr int MaxColumnPieces = ScaledMaxColumns + 80;
  static constexpr int MaxRowPieces = ScaledMaxPixelRows + 50;

  int columns_ = 0, pixelRows_ = 0;
  int columnStart_[ScaledMaxColumns + 1] = {};
  int rowStart_[ScaledMaxPixelRows + 1] = {};
  ColumnPiece columnPieces_[MaxColumnPieces];
  RowPiece rowPieces_[MaxRowPieces];
};

}  // namespace cellshow
