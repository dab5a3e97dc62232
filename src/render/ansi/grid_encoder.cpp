#include "render/ansi/grid_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "render/ansi/ascii_glyphs.h"
#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/scaled/palette_match.h"

// The per-cell steps are small and hot: they belong inside the loops.
#if defined(__GNUC__)
#define CELLSHOW_GRID_INLINE [[gnu::always_inline]] inline
#else
#define CELLSHOW_GRID_INLINE inline
#endif

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

constexpr uint64_t Compose(uint8_t glyph, uint32_t upper, uint32_t lower) {
  return uint64_t{glyph} << 48 | uint64_t{upper} << 24 | lower;
}
constexpr uint8_t GlyphOf(uint64_t key) { return static_cast<uint8_t>(key >> 48); }
constexpr uint32_t UpperOf(uint64_t key) { return static_cast<uint32_t>(key >> 24 & 0xFFFFFF); }
constexpr uint32_t LowerOf(uint64_t key) { return static_cast<uint32_t>(key & 0xFFFFFF); }

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

// The decimal digits of 0..255, for the colour parameters.
struct Decimal {
  uint8_t size;
  char text[3];
};
constexpr std::array<Decimal, 256> MakeDecimals() {
  std::array<Decimal, 256> table{};
  for (int n = 0; n < 256; ++n) {
    Decimal& d = table[n];
    if (n >= 100) d.text[d.size++] = static_cast<char>('0' + n / 100);
    if (n >= 10) d.text[d.size++] = static_cast<char>('0' + n / 10 % 10);
    d.text[d.size++] = static_cast<char>('0' + n % 10);
  }
  return table;
}
constexpr auto Decimals = MakeDecimals();

void PutByte(EscapeWriter& w, uint32_t n) {
  const Decimal& d = Decimals[n & 0xFF];
  std::memcpy(w.p, d.text, sizeof d.text);  // the room past the end is written over next
  w.p += d.size;
}

}  // namespace

GridEncoder::GridEncoder(const TerminalCapabilities& capabilities)
    : capabilities_(capabilities),
      depth_(capabilities.colors),
      glyphs_(capabilities.glyphs == GlyphSet::Ascii ? AsciiGlyphs.data() : Cp437Utf8.data()),
      black_(ColorOf(Rgb{0, 0, 0})),
      shown_(std::make_unique<Key[]>(MaxCells)),
      keys_(std::make_unique<Key[]>(MaxCells)) {}

void GridEncoder::Invalidate() { valid_ = false; }

CELLSHOW_GRID_INLINE uint32_t GridEncoder::ColorOf(Rgb c) const {
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
      if (depth_ == ColorDepth::Eight) {
        return static_cast<uint32_t>(exact >= 0 && exact < 8 ? exact : NearestNormalVga(c));
      }
      return static_cast<uint32_t>(exact >= 0 ? exact : NearestVga(c));
    }
  }
  return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
}

CELLSHOW_GRID_INLINE GridEncoder::Key GridEncoder::KeyOf(const RgbCell& cell) const {
  switch (cell.glyph) {
    case 0x00:
    case BlankGlyph:
    case 0xFF: {
      const uint32_t bg = ColorOf(cell.bg);
      return Compose(BlankGlyph, bg, bg);
    }
    case FullBlock: {
      const uint32_t fg = ColorOf(cell.fg);
      return Compose(BlankGlyph, fg, fg);
    }
    case UpperHalfBlock: {
      const uint32_t top = ColorOf(cell.fg), bottom = ColorOf(cell.bg);
      return top == bottom ? Compose(BlankGlyph, top, top) : Compose(UpperHalfBlock, top, bottom);
    }
    default:
      return Compose(cell.glyph, ColorOf(cell.fg), ColorOf(cell.bg));
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

  EscapeWriter w{out};
  w.Put(SyncBegin);
  if (!valid_) {
    Redraw(w);
    last_.fullRedraw = true;
  } else if (ClearPays(keys_.get())) {
    // Most of the frame turns black: erase the screen, then write the rest.
    SetPen(w, penFg_, black_);
    w.Put("\x1b[2J");
    cursorRow_ = cursorColumn_ = -1;
    wrapPending_ = false;
    std::fill_n(shown_.get(), count, Compose(BlankGlyph, black_, black_));
    last_.cleared = true;
  }
  char* const body = w.p;
  for (int row = 0; row < place.rows; ++row) DrawRow(w, row, &keys_[row * place.columns]);
  if (w.p == body && !last_.fullRedraw && !last_.cleared) return 0;
  w.Put(SyncEnd);
  last_.bytes = static_cast<size_t>(w.p - out);
  return last_.bytes;
}

// Puts back the modes the bytes rely on (autowrap on, insert mode off, no
// scrolling region) and clears the screen to black: the margins stay so,
// and only the grid's cells that are not black are written. Without `bce`
// the erase leaves the terminal's own background: the margins are written
// black at once, and every grid cell after.
void GridEncoder::Redraw(EscapeWriter& w) {
  w.Put("\x1b[?7h\x1b[4l\x1b[r\x1b[0;");
  PutColor(w, black_, true);
  w.Put("m\x1b[2J");
  penFg_ = UnknownColor;
  penBg_ = black_;
  const int count = place_.columns * place_.rows;
  if (capabilities_.backgroundColorErase) {
    std::fill_n(shown_.get(), count, Compose(BlankGlyph, black_, black_));
  } else {
    std::fill_n(shown_.get(), count, UnknownKey);
    if (int64_t{size_.columns} * size_.rows <= MaxFilledTerminalCells) {
      WriteMargins(w, size_.columns, size_.rows, place_.left, place_.top, place_.columns,
                   place_.rows);
    }
  }
  cursorRow_ = cursorColumn_ = -1;
  wrapPending_ = false;
  valid_ = true;
}

// Erasing pays when it leaves fewer cells to write than there are changed
// cells, and only when the erase fills with black (`bce`).
bool GridEncoder::ClearPays(const Key* keys) const {
  if (!capabilities_.backgroundColorErase) return false;
  const Key black = Compose(BlankGlyph, black_, black_);
  const int count = place_.columns * place_.rows;
  int changed = 0, rest = 0;
  for (int i = 0; i < count; ++i) {
    changed += keys[i] != shown_[i];
    rest += keys[i] != black;
  }
  return rest + 16 < changed;
}

void GridEncoder::DrawRow(EscapeWriter& w, int row, const Key* keys) {
  Key* shown = &shown_[row * place_.columns];
  const int terminalRow = place_.top + row;
  const bool lastCellIsTerminals =
      terminalRow == size_.rows - 1 && place_.left + place_.columns == size_.columns;
  for (int column = 0; column < place_.columns; ++column) {
    const Key key = keys[column];
    if (key == shown[column]) continue;
    if (lastCellIsTerminals && column == place_.columns - 1) {
      WriteLastCell(w, keys);
      shown[column - 1] = keys[column - 1];
      shown[column] = key;
      continue;
    }
    MoveTo(w, terminalRow, place_.left + column, keys);
    WriteCell(w, key);
    shown[column] = key;
  }
}

// Printing in the terminal's last cell would make a terminal without delayed
// wrapping scroll. Instead the last cell is printed one to the left and
// pushed into place by inserting a cell before it, which is then written
// with the cell that belongs there.
void GridEncoder::WriteLastCell(EscapeWriter& w, const Key* keys) {
  MoveTo(w, size_.rows - 1, size_.columns - 2, keys);
  WriteCell(w, keys[place_.columns - 1]);
  w.Put("\x1b[D\x1b[@");
  cursorColumn_ = size_.columns - 2;
  WriteCell(w, keys[place_.columns - 2]);
}

CELLSHOW_GRID_INLINE int GridEncoder::ColorCost(uint32_t color, bool background) const {
  switch (depth_) {
    case ColorDepth::TrueColor:
      return 7 + Decimals[color >> 16 & 0xFF].size + Decimals[color >> 8 & 0xFF].size +
             Decimals[color & 0xFF].size;
    case ColorDepth::Xterm256:
      return 5 + Decimals[color & 0xFF].size;
    case ColorDepth::Eight:
      return 2;
    case ColorDepth::Sixteen:
      break;
  }
  return background && (AnsiColor(static_cast<int>(color)) & 8) ? 3 : 2;
}

// The glyph and colours that write `key` with the pen at (fg, bg), and what
// that costs in bytes.
CELLSHOW_GRID_INLINE GridEncoder::Stroke GridEncoder::Plan(Key key, uint32_t fg,
                                                           uint32_t bg) const {
  const uint8_t glyph = GlyphOf(key);
  // A blank's foreground is unseen: whatever the pen has.
  const Stroke stroke{glyph, glyph == BlankGlyph ? fg : UpperOf(key), LowerOf(key), 0};
  const bool setFg = stroke.fg != fg, setBg = stroke.bg != bg;
  const int sgr = setFg || setBg ? 3 + (setFg ? ColorCost(stroke.fg, false) : 0) +
                                       (setBg ? ColorCost(stroke.bg, true) : 0) + (setFg && setBg)
                                 : 0;
  return {stroke.glyph, stroke.fg, stroke.bg, sgr + glyphs_[glyph].size};
}

CELLSHOW_GRID_INLINE void GridEncoder::WriteCell(EscapeWriter& w, Key key) {
  const Stroke stroke = Plan(key, penFg_, penBg_);
  SetPen(w, stroke.fg, stroke.bg);
  const Utf8Glyph& glyph = glyphs_[stroke.glyph];
  w.Put(glyph.bytes, glyph.size);
  ++last_.cellsWritten;
  AdvanceAfterPrint(cursorRow_, cursorColumn_, wrapPending_, size_.columns, size_.rows);
}

// Moves the cursor to a terminal position by the cheapest of: an absolute
// move; a relative vertical move, then a relative or absolute horizontal one;
// a carriage return with line feeds or a vertical move, then a horizontal
// one; or, on the same row, writing the unchanged cells between through.
// `keys` is the row being drawn. After a print in the last column only an
// absolute move is safe.
void GridEncoder::MoveTo(EscapeWriter& w, int row, int column, const Key* keys) {
  if (cursorRow_ == row && cursorColumn_ == column) return;  // printing lands there
  RowMove vertical = RowMove::Absolute;
  ColumnMove horizontal = ColumnMove::None;
  int best = AbsoluteMoveCost(row, column);
  auto consider = [&](int cost, RowMove v, ColumnMove h) {
    if (cost < best) {
      best = cost;
      vertical = v;
      horizontal = h;
    }
  };
  // The horizontal part from `from` to `column`, added to `cost`.
  auto across = [&](int cost, RowMove v, int from) {
    if (from == column) {
      consider(cost, v, ColumnMove::None);
      return;
    }
    consider(cost + RelativeMoveCost(from < column ? column - from : from - column), v,
             ColumnMove::Step);
    consider(cost + ColumnMoveCost(column), v, ColumnMove::ToColumn);
  };
  if (!wrapPending_ && cursorRow_ >= 0) {
    const int down = row - cursorRow_;
    across(RelativeMoveCost(down >= 0 ? down : -down),
           down == 0 ? RowMove::Stay : RowMove::Relative, cursorColumn_);
    across(1 + (down >= 0 ? std::min(down, RelativeMoveCost(down)) : RelativeMoveCost(-down)),
           RowMove::CarriageReturn, 0);
    if (down == 0 && column > cursorColumn_ && cursorColumn_ >= place_.left &&
        column - cursorColumn_ <= MaxThroughCells) {
      // Writing the cells between through, against stepping over them: both
      // counted with what the changed cell then costs.
      const Key target = keys[column - place_.left];
      const int stepped = best + Plan(target, penFg_, penBg_).bytes;
      uint32_t fg = penFg_, bg = penBg_;
      int through = 0;
      for (int c = cursorColumn_; c < column && through < stepped; ++c) {
        const Stroke s = Plan(keys[c - place_.left], fg, bg);
        through += s.bytes;
        fg = s.fg;
        bg = s.bg;
      }
      through += Plan(target, fg, bg).bytes;
      if (through < stepped) {
        for (int c = cursorColumn_; c < column; ++c) WriteCell(w, keys[c - place_.left]);
        return;
      }
    }
  }

  WriteMove(w, vertical, horizontal, cursorRow_, cursorColumn_, row, column);
  cursorRow_ = row;
  cursorColumn_ = column;
  wrapPending_ = false;
}

CELLSHOW_GRID_INLINE void GridEncoder::PutColor(EscapeWriter& w, uint32_t color,
                                                bool background) const {
  switch (depth_) {
    case ColorDepth::TrueColor:
      w.Put(background ? "48;2;" : "38;2;");
      PutByte(w, color >> 16);
      w.Put(';');
      PutByte(w, color >> 8);
      w.Put(';');
      PutByte(w, color);
      return;
    case ColorDepth::Xterm256:
      w.Put(background ? "48;5;" : "38;5;");
      PutByte(w, color);
      return;
    case ColorDepth::Eight:
      w.Number((background ? 40 : 30) + (AnsiColor(static_cast<int>(color)) & 7));
      return;
    case ColorDepth::Sixteen:
      break;
  }
  const int ansi = AnsiColor(static_cast<int>(color));
  w.Number((ansi & 8 ? (background ? 100 : 90) : (background ? 40 : 30)) + (ansi & 7));
}

CELLSHOW_GRID_INLINE void GridEncoder::SetPen(EscapeWriter& w, uint32_t fg, uint32_t bg) {
  const bool setFg = fg != penFg_ && fg != UnknownColor;
  const bool setBg = bg != penBg_ && bg != UnknownColor;
  if (!setFg && !setBg) return;
  w.Put("\x1b[");
  if (setFg) PutColor(w, fg, false);
  if (setFg && setBg) w.Put(';');
  if (setBg) PutColor(w, bg, true);
  w.Put('m');
  if (setFg) penFg_ = fg;
  if (setBg) penBg_ = bg;
}

}  // namespace cellshow
