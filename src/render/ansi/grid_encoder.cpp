#include "render/ansi/grid_encoder.h"

#include <algorithm>
#include <array>

#include "render/ansi/ascii_glyphs.h"
#include "render/scaled/palette_match.h"

namespace cellshow {
namespace {

// Bytes of one frame at most: every cell reached by the dearest movement,
// with both colours changed in 24-bit form and a 3-byte glyph, the last-cell
// insert, and 256 for the fixed sequences.
constexpr size_t WorstCaseFrameBytes = (GridEncoder::MaxCells + 2) * WorstCellBytes + 256;
// The margins of a terminal without `bce`, written at a full redraw: a space
// per cell and an absolute move per run of them, two runs per row at most
// (a row has at least two columns, so there are at most half as many rows
// as cells), and the last-cell insert.
constexpr size_t WorstMarginBytes =
    size_t{GridEncoder::MaxFilledTerminalCells} +
    (size_t{GridEncoder::MaxFilledTerminalCells} + 1) * AbsoluteMoveCost(65535, 65535) + 64;
static_assert(WorstCaseFrameBytes + WorstMarginBytes <= GridEncoder::MaxFrameBytes);

constexpr ColorCells::Key Compose(uint8_t glyph, uint32_t upper, uint32_t lower) {
  return ColorCells::Compose(glyph, upper, lower);
}

// The VGA colour with exactly these channels, by their levels (0x00, 0x55,
// 0xAA, 0xFF as 0..3, red * 16 + green * 4 + blue); -1 for none.
constexpr std::array<int8_t, 64> MakeVgaByLevels() {
  std::array<int8_t, 64> table{};
  table.fill(-1);
  for (int i = 0; i < 16; ++i) {
    const Rgb c = VgaPalette[i];
    table[(c.r / 0x55) * 16 + (c.g / 0x55) * 4 + c.b / 0x55] = static_cast<int8_t>(i);
  }
  return table;
}
constexpr auto VgaByLevels = MakeVgaByLevels();
constexpr int VgaLevel(uint8_t v) { return v % 0x55 == 0 ? v / 0x55 : -1; }

// The step (0..5) of each xterm cube level, -1 for other channel values.
constexpr std::array<int8_t, 256> MakeCubeSteps() {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  const int levels[6] = {0, 95, 135, 175, 215, 255};
  for (int i = 0; i < 6; ++i) table[levels[i]] = static_cast<int8_t>(i);
  return table;
}
constexpr auto CubeStep = MakeCubeSteps();

}  // namespace

GridEncoder::GridEncoder(const TerminalCapabilities& capabilities)
    : capabilities_(capabilities),
      depth_(capabilities.colors),
      black_(ColorOf(Rgb{0, 0, 0})),
      blackBlank_(Compose(BlankGlyph, black_, black_)),
      out_(ColorCells{capabilities.colors, capabilities.glyphs == GlyphSet::Ascii
                                               ? AsciiGlyphs.data()
                                               : Cp437Utf8.data()}),
      shown_(std::make_unique<Key[]>(MaxCells)),
      keys_(std::make_unique<Key[]>(MaxCells)) {}

void GridEncoder::Invalidate() { valid_ = false; }

CELLSHOW_HOT_INLINE uint32_t GridEncoder::ColorOf(Rgb c) const {
  switch (depth_) {
    case ColorDepth::TrueColor:
      break;
    case ColorDepth::Xterm256: {
      // The scaled view gives palette colours: found by their channels.
      const int r = CubeStep[c.r], g = CubeStep[c.g], b = CubeStep[c.b];
      if (r >= 0 && g >= 0 && b >= 0) return static_cast<uint32_t>(16 + 36 * r + 6 * g + b);
      if (c.r == c.g && c.g == c.b && c.r % 10 == 8 && c.r <= 238) return 232u + c.r / 10u;
      return NearestXterm256(c);
    }
    case ColorDepth::Sixteen:
    case ColorDepth::Eight: {
      const int r = VgaLevel(c.r), g = VgaLevel(c.g), b = VgaLevel(c.b);
      const int exact = r < 0 || g < 0 || b < 0 ? -1 : VgaByLevels[r * 16 + g * 4 + b];
      return static_cast<uint32_t>(exact >= 0 ? exact : NearestVga(c));
    }
  }
  return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
}

// With 8 colours a background is one of the eight normal colours.
CELLSHOW_HOT_INLINE uint32_t GridEncoder::Background(uint32_t color) const {
  return depth_ == ColorDepth::Eight
             ? static_cast<uint32_t>(NearestNormalColor(static_cast<int>(color)))
             : color;
}

// A cell of one colour: a blank in it; with 8 colours a bright one is a full
// block in it (in UTF-8; with ASCII, whose full block is a blank, a blank in
// the nearest normal colour).
CELLSHOW_HOT_INLINE GridEncoder::Key GridEncoder::Solid(uint32_t color) const {
  if (depth_ == ColorDepth::Eight && color >= 8) {
    if (capabilities_.glyphs == GlyphSet::Unicode) return Compose(FullBlock, color, 0);
    color = Background(color);
  }
  return Compose(BlankGlyph, color, color);
}

// A cell whose upper half shows `top` and lower half `bottom`.
CELLSHOW_HOT_INLINE GridEncoder::Key GridEncoder::HalfBlocks(uint32_t top, uint32_t bottom) const {
  if (top == bottom) return Solid(top);
  // With 8 colours only a foreground is bright: a bright lower half under a
  // normal upper one is the foreground of a lower half block.
  if (depth_ == ColorDepth::Eight && capabilities_.glyphs == GlyphSet::Unicode && bottom >= 8 &&
      top < 8) {
    return Compose(LowerHalfBlock, bottom, top);
  }
  return Compose(UpperHalfBlock, top, Background(bottom));
}

CELLSHOW_HOT_INLINE GridEncoder::Key GridEncoder::KeyOf(const RgbCell& cell) const {
  switch (cell.glyph) {
    case 0x00:
    case BlankGlyph:
    case 0xFF:
      return Solid(ColorOf(cell.bg));
    case FullBlock:
      return Solid(ColorOf(cell.fg));
    case UpperHalfBlock:
      return HalfBlocks(ColorOf(cell.fg), ColorOf(cell.bg));
    case LowerHalfBlock:
      // In UTF-8 it is the same look as the upper one with the colours
      // swapped; an ASCII stand-in is a glyph of its own.
      if (capabilities_.glyphs == GlyphSet::Unicode) {
        return HalfBlocks(ColorOf(cell.bg), ColorOf(cell.fg));
      }
      [[fallthrough]];
    default:
      return Compose(cell.glyph, ColorOf(cell.fg), Background(ColorOf(cell.bg)));
  }
}

size_t GridEncoder::Encode(const RgbCell* cells, GridPlace place, TerminalSize size, char* out) {
  last_ = {};
  size.columns = std::clamp(size.columns, 0, FrameEncoder::MaxTerminalSide);
  size.rows = std::clamp(size.rows, 0, FrameEncoder::MaxTerminalSide);
  if (size != size_ || place != place_) {
    valid_ = false;
    size_ = size;
    place_ = place;
  }
  const bool fits = place.columns >= 2 && place.rows >= 1 && place.left >= 0 && place.top >= 0 &&
                    place.columns * place.rows <= MaxCells &&
                    place.left + place.columns <= size.columns &&
                    place.top + place.rows <= size.rows;
  if (!fits) {
    valid_ = false;
    return 0;
  }
  const int count = place.columns * place.rows;
  for (int i = 0; i < count; ++i) keys_[i] = KeyOf(cells[i]);

  out_.Start(out, size.columns, size.rows);
  out_.Put(escape::SyncBegin);
  if (!valid_) {
    Redraw();
    last_.fullRedraw = true;
  } else if (ClearPays(keys_.get())) {
    // Most of the frame turns black: erase the screen, then write the rest.
    out_.SetPen(blackBlank_);
    out_.Put(escape::EraseScreen);
    out_.ForgetCursor();
    std::fill_n(shown_.get(), count, blackBlank_);
    last_.cleared = true;
  }
  char* const body = out_.p;
  for (int row = 0; row < place.rows; ++row) DrawRow(row, &keys_[row * place.columns]);
  last_.cellsWritten = out_.printed();
  if (out_.p == body && !last_.fullRedraw && !last_.cleared) return 0;
  out_.Put(escape::SyncEnd);
  last_.bytes = static_cast<size_t>(out_.p - out);
  return last_.bytes;
}

// Puts back the modes the bytes rely on (autowrap on, insert mode off, no
// scrolling region) and clears the screen to black: the margins stay so,
// and only the grid's cells that are not black are written. Without `bce`
// the erase leaves the terminal's own background: the margins are written
// black at once, and every grid cell after.
void GridEncoder::Redraw() {
  out_.Reset({ColorCells::UnknownColor, black_});
  const int count = place_.columns * place_.rows;
  if (capabilities_.backgroundColorErase) {
    std::fill_n(shown_.get(), count, blackBlank_);
  } else {
    std::fill_n(shown_.get(), count, UnknownKey);
    if (int64_t{size_.columns} * size_.rows <= MaxFilledTerminalCells) {
      WriteMargins(out_, size_.columns, size_.rows, place_.left, place_.top, place_.columns,
                   place_.rows);
    }
  }
  out_.ForgetCursor();
  valid_ = true;
}

// Erasing pays when it leaves fewer cells to write than there are changed
// cells, and only when the erase fills with black (`bce`).
bool GridEncoder::ClearPays(const Key* keys) const {
  if (!capabilities_.backgroundColorErase) return false;
  const int count = place_.columns * place_.rows;
  int changed = 0, rest = 0;
  for (int i = 0; i < count; ++i) {
    changed += keys[i] != shown_[i];
    rest += keys[i] != blackBlank_;
  }
  return rest + 16 < changed;
}

void GridEncoder::DrawRow(int row, const Key* keys) {
  Key* shown = &shown_[row * place_.columns];
  const int terminalRow = place_.top + row;
  const bool lastCellIsTerminals =
      terminalRow == size_.rows - 1 && place_.left + place_.columns == size_.columns;
  out_.SetRow(keys, place_.left);
  for (int column = 0; column < place_.columns; ++column) {
    const Key key = keys[column];
    if (key == shown[column]) continue;
    if (lastCellIsTerminals && column == place_.columns - 1) {
      // Its move is priced with the cell that ends up where it lands.
      out_.WriteLastCell(key, keys[column - 1], keys[column - 1]);
      shown[column - 1] = keys[column - 1];
      shown[column] = key;
      continue;
    }
    out_.MoveTo(terminalRow, place_.left + column, key);
    out_.Write(key);
    shown[column] = key;
  }
}

}  // namespace cellshow
