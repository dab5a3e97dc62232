#include "render/scaled/area_weights.h"

#include <algorithm>

namespace cellshow {
namespace {

// The weights of the image pixels [8 * cell, 8 * cell + 8) under the box
// pixel [begin, end), all in units of 1/`box` image pixel (one image pixel
// is `box` units long).
void PixelWeights(int cell, int64_t begin, int64_t end, int box, int32_t (&weight)[8]) {
  for (int k = 0; k < 8; ++k) {
    const int64_t from = int64_t{8 * cell + k} * box, to = from + box;
    weight[k] =
        static_cast<int32_t>(std::max<int64_t>(0, std::min(to, end) - std::max(from, begin)));
  }
}

}  // namespace

void AreaWeights::Build(int columns, int pixelRows) {
  columns_ = std::clamp(columns, 1, ScaledMaxColumns);
  pixelRows_ = std::clamp(pixelRows, 1, ScaledMaxPixelRows);

  int count = 0;
  for (int x = 0; x < columns_; ++x) {
    columnStart_[x] = count;
    const int64_t begin = int64_t{x} * 640, end = begin + 640;
    for (int cell = static_cast<int>(begin / (8 * columns_));
         cell < 80 && int64_t{cell} * 8 * columns_ < end; ++cell) {
      ColumnPiece& piece = columnPieces_[count++];
      int32_t weight[8];
      PixelWeights(cell, begin, end, columns_, weight);
      piece.cell = static_cast<int16_t>(cell);
      piece.sum = 0;
      piece.whole = true;
      for (int k = 0; k < 8; ++k) {
        piece.sum += weight[k];
        piece.whole = piece.whole && weight[k] == columns_;
      }
      for (int nibble = 0; nibble < 16; ++nibble) {
        int32_t left = 0, right = 0;
        for (int k = 0; k < 4; ++k) {
          if (nibble & (8 >> k)) {
            left += weight[k];
            right += weight[4 + k];
          }
        }
        piece.left[nibble] = static_cast<int16_t>(left);
        piece.right[nibble] = static_cast<int16_t>(right);
      }
    }
  }
  columnStart_[columns_] = count;

  count = 0;
  for (int y = 0; y < pixelRows_; ++y) {
    rowStart_[y] = count;
    const int64_t begin = int64_t{y} * 400, end = begin + 400;
    for (int cell = static_cast<int>(begin / (8 * pixelRows_));
         cell < 50 && int64_t{cell} * 8 * pixelRows_ < end; ++cell) {
      RowPiece& piece = rowPieces_[count++];
      PixelWeights(cell, begin, end, pixelRows_, piece.weight);
      piece.cell = static_cast<int16_t>(cell);
      piece.sum = 0;
      piece.whole = true;
      piece.first = 8;
      piece.last = 0;
      for (int k = 0; k < 8; ++k) {
        piece.sum += piece.weight[k];
        piece.whole = piece.whole && piece.weight[k] == pixelRows_;
        if (piece.weight[k] != 0) {
          piece.first = std::min<uint8_t>(piece.first, static_cast<uint8_t>(k));
          piece.last = static_cast<uint8_t>(k);
        }
      }
    }
  }
  rowStart_[pixelRows_] = count;
}

}  // namespace cellshow
