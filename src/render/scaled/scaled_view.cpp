#include "render/scaled/scaled_view.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "render/pixels/cp437_font.h"
#include "render/scaled/srgb.h"

// The per-pixel sum is the inner loop of every frame.
#if defined(__GNUC__)
#define CELLSHOW_SCALED_INLINE [[gnu::always_inline]] inline
#else
#define CELLSHOW_SCALED_INLINE inline
#endif

namespace cellshow {
ScaledView::ScaledView() {
  for (int i = 0; i < 16; ++i) {
    const Rgb c = VgaPalette[i];
    linear_[i] = {SrgbToLinear(c.r), SrgbToLinear(c.g), SrgbToLinear(c.b)};
  }
  for (int c = 0; c < 256; ++c) coverage_[c] = GlyphCoverage(static_cast<uint8_t>(c));
}

const ScaledBox& ScaledView::Fit(int columns, int rows, bool halfBlocks) {
  const ScaledBox box = FitScaledBox(columns, rows, halfBlocks);
  if (!box.empty() &&
      (box.columns != weights_.columns() || box.pixelRows != weights_.pixelRows())) {
    weights_.Build(box.columns, box.pixelRows);
    // The box pixels each cell column and row reaches: from the first box
    // column (row) with a piece of it to the last.
    auto reach = [](Span& span, int at) {
      if (span.last < 0) span.first = static_cast<int16_t>(at);
      span.last = static_cast<int16_t>(at);
    };
    std::fill(std::begin(cellColumns_), std::end(cellColumns_), Span{});
    std::fill(std::begin(cellPixelRows_), std::end(cellPixelRows_), Span{});
    for (int x = 0; x < box.columns; ++x) {
      for (const ColumnPiece* c = weights_.ColumnBegin(x); c != weights_.ColumnEnd(x); ++c) {
        reach(cellColumns_[c->cell], x);
      }
    }
    for (int y = 0; y < box.pixelRows; ++y) {
      for (const RowPiece* r = weights_.RowBegin(y); r != weights_.RowEnd(y); ++r) {
        reach(cellPixelRows_[r->cell], y);
      }
    }
    pixelsValid_ = false;
  }
  box_ = box;
  return box_;
}

// The weights of the image pixels each VGA colour covers in the box pixel
// are summed exactly in integers, then mixed in linear light.
CELLSHOW_SCALED_INLINE Rgb ScaledView::ExactPixel(const ScreenCells& cells, int x, int y) const {
  // The weight of a cell wholly inside the box pixel.
  const int32_t wholeCell = weights_.wholeColumn() * weights_.wholeRow();
  int32_t weight[16] = {};
  unsigned used = 0;  // bit i: colour i has a weight
  for (const RowPiece* row = weights_.RowBegin(y); row != weights_.RowEnd(y); ++row) {
    const Cell* cellRow = &cells[row->cell * ScreenWidth];
    for (const ColumnPiece* column = weights_.ColumnBegin(x); column != weights_.ColumnEnd(x);
         ++column) {
      const Cell& cell = cellRow[column->cell];
      const int fg = cell.Attributes & 15, bg = cell.Attributes >> 4 & 15;
      const int32_t area = row->sum * column->sum;
      const uint8_t glyph = static_cast<uint8_t>(cell.Char);
      const int32_t coverage = coverage_[glyph];
      // The weight of the glyph's set pixels in this piece.
      int32_t set = 0;
      if (fg == bg || coverage == 0) {
        set = 0;
      } else if (coverage == 64) {
        set = area;
      } else if (row->whole && column->whole) {
        set = coverage * wholeCell;
      } else {
        const uint8_t* glyphRows = GlyphRows(glyph).data();
        for (int k = row->first; k <= row->last; ++k) {
          set +=
              row->weight[k] * (column->left[glyphRows[k] >> 4] + column->right[glyphRows[k] & 15]);
        }
      }
      weight[bg] += area - set;
      weight[fg] += set;
      used |= 1u << bg | 1u << fg;
    }
  }
  float r = 0, g = 0, b = 0;
  for (; used != 0; used &= used - 1) {
    const int colour = std::countr_zero(used);
    const float w = static_cast<float>(weight[colour]);
    r += linear_[colour].r * w;
    g += linear_[colour].g * w;
    b += linear_[colour].b * w;
  }
  constexpr float PerArea = 1.0f / BoxPixelArea;
  return {LinearToSrgb(r * PerArea), LinearToSrgb(g * PerArea), LinearToSrgb(b * PerArea)};
}

Rgb ScaledView::Pixel(const ScreenCells& cells, int x, int y) const {
  return ExactPixel(cells, x, y);
}

void ScaledView::RenderPixels(const ScreenCells& cells, ColorDepth depth) {
  const int width = box_.columns;
  const int count = width * box_.pixelRows;
  if (!pixelsValid_ || depth != pixelsDepth_) {
    std::fill_n(dirty_, count, uint8_t{1});
  } else {
    std::fill_n(dirty_, count, uint8_t{0});
    for (int cy = 0; cy < ScreenHeight; ++cy) {
      const Cell* now = &cells[cy * ScreenWidth];
      const Cell* before = &previous_[cy * ScreenWidth];
      for (int cx = 0; cx < ScreenWidth; ++cx) {
        if (std::memcmp(&now[cx], &before[cx], sizeof(Cell)) == 0) continue;
        const Span columns = cellColumns_[cx];
        for (int y = cellPixelRows_[cy].first; y <= cellPixelRows_[cy].last; ++y) {
          uint8_t* dirty = &dirty_[y * width];
          for (int x = columns.first; x <= columns.last; ++x) dirty[x] = 1;
        }
      }
    }
  }
  std::copy(cells, cells + ScreenCellCount, previous_);
  pixelsValid_ = true;
  pixelsDepth_ = depth;
  // With 8 colours a half-block cell's two pixels are reduced together (only
  // one may be bright): both are worked out when either is.
  const bool pairs = depth == ColorDepth::Eight && box_.halfBlocks;
  if (pairs) {
    for (int y = 0; y + 1 < box_.pixelRows; y += 2) {
      uint8_t* upper = &dirty_[y * width];
      uint8_t* lower = upper + width;
      for (int x = 0; x < width; ++x) upper[x] = lower[x] = upper[x] | lower[x];
    }
  }

  for (int y = 0; y < box_.pixelRows; ++y) {
    Rgb* line = &pixels_[y * width];
    const uint8_t* dirty = &dirty_[y * width];
    for (int x = 0; x < width; ++x) {
      if (dirty[x]) line[x] = ExactPixel(cells, x, y);
    }
    if (!pairs) {
      reducer_.ReduceRow(depth, y, dirty, line, width);
    } else if (y % 2 == 1) {
      reducer_.ReduceHalfBlockRows(y - 1, dirty, line - width, line, width);
    } else if (y + 1 == box_.pixelRows) {
      reducer_.ReduceHalfBlockRows(y, dirty, line, nullptr, width);
    }
  }
}

void ScaledView::Render(const ScreenCells& cells, ColorDepth depth, RgbCell* out) {
  if (box_.empty()) return;
  RenderPixels(cells, depth);
  const int width = box_.columns;
  for (int row = 0; row < box_.rows; ++row) {
    RgbCell* line = &out[row * width];
    if (!box_.halfBlocks) {
      const Rgb* pixels = &pixels_[row * width];
      for (int x = 0; x < width; ++x) line[x] = {BlankGlyph, pixels[x], pixels[x]};
      continue;
    }
    const Rgb* upper = &pixels_[2 * row * width];
    const Rgb* lower = 2 * row + 1 < box_.pixelRows ? upper + width : nullptr;
    for (int x = 0; x < width; ++x) {
      line[x] = {UpperHalfBlock, upper[x], lower ? lower[x] : Rgb{0, 0, 0}};
    }
  }
}

}  // namespace cellshow
