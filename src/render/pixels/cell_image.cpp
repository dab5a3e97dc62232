// Stand-in until the pixel model lands.
#include "render/pixels/cell_image.h"

#include <bit>

#include "render/pixels/cp437_font.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {

const std::array<uint8_t, 8>& GlyphRows(uint8_t code) {
  static const auto table = [] {
    std::array<std::array<uint8_t, 8>, 256> t{};
    for (int c = 0; c < 256; ++c)
      for (int r = 0; r < 8; ++r)
        t[c][r] = c == 0 || c == 32 ? 0 : c == 219 ? 0xFF : static_cast<uint8_t>(c * 37 + r * 91);
    return t;
  }();
  return table[code];
}

int GlyphCoverage(uint8_t code) {
  int n = 0;
  for (uint8_t row : GlyphRows(code)) n += std::popcount(row);
  return n;
}

void RenderCellIndices(const ScreenCells& cells, IndexImage& out) {
  for (int cy = 0; cy < ScreenHeight; ++cy)
    for (int cx = 0; cx < ScreenWidth; ++cx) {
      const Cell& cell = cells[cy * ScreenWidth + cx];
      const auto& rows = GlyphRows(static_cast<uint8_t>(cell.Char));
      const uint8_t fg = cell.Attributes & 15, bg = cell.Attributes >> 4 & 15;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          out.pixels[(cy * 8 + y) * ImageWidth + cx * 8 + x] = rows[y] >> (7 - x) & 1 ? fg : bg;
    }
}

void RenderCells(const ScreenCells& cells, PixelImage& out) {
  static IndexImage indices;
  RenderCellIndices(cells, indices);
  for (int i = 0; i < ImagePixels; ++i) out.pixels[i] = PackRgba(VgaPalette[indices.pixels[i]]);
}

}  // namespace cellshow
