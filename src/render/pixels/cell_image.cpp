#include "render/pixels/cell_image.h"

#include <array>
#include <cstring>

#include "render/pixels/cp437_font.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {
namespace {

static_assert(GlyphSize == 8 && ImageWidth == ScreenWidth * GlyphSize);

// A glyph row byte as eight lanes, leftmost pixel first: all ones where the
// pixel is set. A pixel is then bg ^ ((fg ^ bg) & lane), with no branch.
struct RowLanes {
  alignas(32) uint32_t lane[8];
};
constexpr std::array<RowLanes, 256> MakeLanes() {
  std::array<RowLanes, 256> table{};
  for (int bits = 0; bits < 256; ++bits)
    for (int x = 0; x < 8; ++x) table[bits].lane[x] = bits >> (7 - x) & 1 ? ~0u : 0u;
  return table;
}
constexpr std::array<RowLanes, 256> Lanes = MakeLanes();

// The same for one-byte pixels: byte x of the word (in memory order) is
// 0xFF where pixel x is set.
constexpr std::array<uint64_t, 256> MakeByteLanes() {
  std::array<uint64_t, 256> table{};
  for (int bits = 0; bits < 256; ++bits)
    for (int x = 0; x < 8; ++x)
      if (bits >> (7 - x) & 1) table[bits] |= uint64_t{0xFF} << (8 * x);
  return table;
}
constexpr std::array<uint64_t, 256> ByteLanes = MakeByteLanes();
static_assert(ByteLanes[0x80] == 0xFF && ByteLanes[0x01] == uint64_t{0xFF} << 56);

constexpr std::array<uint32_t, 16> MakePacked() {
  std::array<uint32_t, 16> packed{};
  for (int i = 0; i < 16; ++i) packed[i] = PackRgba(VgaPalette[i]);
  return packed;
}
constexpr std::array<uint32_t, 16> PackedPalette = MakePacked();

// What one row of cells needs for its eight pixel rows.
template <typename Pixel>
struct CellRow {
  Pixel background[ScreenWidth];
  Pixel difference[ScreenWidth];  // foreground ^ background
  const uint8_t* glyph[ScreenWidth];
};

template <typename Pixel, typename Colour>
void LoadRow(const Cell* line, CellRow<Pixel>& row, Colour colour) {
  for (int column = 0; column < ScreenWidth; ++column) {
    const unsigned attributes = line[column].Attributes & 0xFF;
    const Pixel fg = colour(attributes & 15), bg = colour(attributes >> 4);
    row.background[column] = bg;
    row.difference[column] = fg ^ bg;
    row.glyph[column] = Cp437Font[line[column].Char & 0xFF].data();
  }
}

}  // namespace

void RenderCells(const ScreenCells& cells, PixelImage& out) {
  CellRow<uint32_t> row;
  for (int cellRow = 0; cellRow < ScreenHeight; ++cellRow) {
    LoadRow(&cells[cellRow * ScreenWidth], row, [](unsigned c) { return PackedPalette[c]; });
    // Pixel rows in memory order: each is written front to back.
    for (int y = 0; y < GlyphSize; ++y) {
      uint32_t* pixels = &out.pixels[(cellRow * GlyphSize + y) * ImageWidth];
      for (int column = 0; column < ScreenWidth; ++column) {
        const uint32_t* lane = Lanes[row.glyph[column][y]].lane;
        const uint32_t bg = row.background[column], difference = row.difference[column];
        uint32_t* cell = pixels + column * GlyphSize;
        for (int x = 0; x < GlyphSize; ++x) cell[x] = bg ^ (difference & lane[x]);
      }
    }
  }
}

void RenderCellIndices(const ScreenCells& cells, IndexImage& out) {
  constexpr uint64_t EveryByte = 0x0101010101010101;
  CellRow<uint64_t> row;
  for (int cellRow = 0; cellRow < ScreenHeight; ++cellRow) {
    LoadRow(&cells[cellRow * ScreenWidth], row, [](unsigned c) { return c * EveryByte; });
    for (int y = 0; y < GlyphSize; ++y) {
      uint8_t* pixels = &out.pixels[(cellRow * GlyphSize + y) * ImageWidth];
      for (int column = 0; column < ScreenWidth; ++column) {
        const uint64_t eight =
            row.background[column] ^ (row.difference[column] & ByteLanes[row.glyph[column][y]]);
        std::memcpy(pixels + column * GlyphSize, &eight, sizeof eight);
      }
    }
  }
}

}  // namespace cellshow
