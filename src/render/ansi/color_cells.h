#pragma once
// How GridEncoder's cells are written: the CellWriter adapter for cells
// given by a glyph and two colours as the terminal is told them (24-bit RGB
// or a palette index, by the colour depth). Both colours go in one SGR, and
// a blank keeps whatever foreground the pen has. With 8 colours a
// foreground is any of the 16 console colours, a bright one in bold (which
// such terminals show bright), and its intensity (bold, or 22 for normal) is
// written with it whenever it changes or is not known.
#include <array>
#include <cstdint>

#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/ansi/escape_writer.h"
#include "render/ansi/terminal_capabilities.h"
#include "render/scaled/rgb_cell.h"

namespace cellshow {

namespace color_cells_detail {
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
inline constexpr std::array<Decimal, 256> Decimals = MakeDecimals();
}  // namespace color_cells_detail

struct ColorCells {
  // What a cell looks like: glyph << 48 | foreground << 24 | background; a
  // blank carries its colour in both.
  using Key = uint64_t;
  static constexpr uint32_t UnknownColor = 0xFFFFFFFF;
  struct Pen {
    uint32_t fg = UnknownColor, bg = UnknownColor;
  };
  // Unchanged cells are written through only forward on the cursor's row,
  // at most MaxThroughCells of them.
  static constexpr int ForwardThroughCells = MaxThroughCells;
  static constexpr bool ThroughAfterMoves = false;

  ColorDepth depth;
  const Utf8Glyph* glyphs;  // by glyph: what is printed for it

  static constexpr Key Compose(uint8_t glyph, uint32_t upper, uint32_t lower) {
    return uint64_t{glyph} << 48 | uint64_t{upper} << 24 | lower;
  }
  static constexpr uint8_t GlyphOf(Key key) { return static_cast<uint8_t>(key >> 48); }
  static constexpr uint32_t UpperOf(Key key) { return static_cast<uint32_t>(key >> 24 & 0xFFFFFF); }
  static constexpr uint32_t LowerOf(Key key) { return static_cast<uint32_t>(key & 0xFFFFFF); }

  // The pen `key` is written with from `pen`: a blank's foreground and a
  // full block's background are unseen, so they keep the pen's. (Full
  // blocks come only in UTF-8, where the glyph is printed as it is.)
  static constexpr Pen PenFor(const Pen& pen, Key key) {
    const uint8_t glyph = GlyphOf(key);
    return {glyph == BlankGlyph ? pen.fg : UpperOf(key),
            glyph == FullBlock ? pen.bg : LowerOf(key)};
  }

  // The bytes of the intensity a foreground `to` needs after `from`.
  static constexpr int IntensityCost(uint32_t from, uint32_t to) {
    if (from != UnknownColor && (from & 8) == (to & 8)) return 0;
    return to & 8 ? sizeof escape::BoldParameter - 1 : sizeof escape::NormalIntensityParameter - 1;
  }

  // The SGR parameters of `color`, set after the pen's `from`.
  CELLSHOW_HOT_INLINE int ColorCost(uint32_t color, bool background, uint32_t from) const {
    using color_cells_detail::Decimals;
    switch (depth) {
      case ColorDepth::TrueColor:
        return 7 + Decimals[color >> 16 & 0xFF].size + Decimals[color >> 8 & 0xFF].size +
               Decimals[color & 0xFF].size;
      case ColorDepth::Xterm256:
        return 5 + Decimals[color & 0xFF].size;
      case ColorDepth::Eight:
        return background ? 2 : 2 + IntensityCost(from, color);
      case ColorDepth::Sixteen:
        break;
    }
    return background && (AnsiColor(static_cast<int>(color)) & 8) ? 3 : 2;
  }

  CELLSHOW_HOT_INLINE int Stroke(Pen& pen, Key key) const {
    const Pen next = PenFor(pen, key);
    const bool setFg = next.fg != pen.fg, setBg = next.bg != pen.bg;
    const int sgr = setFg || setBg
                        ? 3 + (setFg ? ColorCost(next.fg, false, pen.fg) : 0) +
                              (setBg ? ColorCost(next.bg, true, pen.bg) : 0) + (setFg && setBg)
                        : 0;
    pen = next;
    return sgr + glyphs[GlyphOf(key)].size;
  }

  // The SGR parameters of one colour, set after the pen's `from`.
  CELLSHOW_HOT_INLINE void PutColor(EscapeWriter& w, uint32_t color, bool background,
                                    uint32_t from) const {
    switch (depth) {
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
        if (!background && IntensityCost(from, color) != 0) {
          if (color & 8) {
            w.Put(escape::BoldParameter);
          } else {
            w.Put(escape::NormalIntensityParameter);
          }
        }
        w.Number((background ? 40 : 30) + (AnsiColor(static_cast<int>(color)) & 7));
        return;
      case ColorDepth::Sixteen:
        break;
    }
    const int ansi = AnsiColor(static_cast<int>(color));
    w.Number((ansi & 8 ? (background ? 100 : 90) : (background ? 40 : 30)) + (ansi & 7));
  }

  CELLSHOW_HOT_INLINE void SetPen(EscapeWriter& w, Pen& pen, Key key) const {
    const Pen next = PenFor(pen, key);
    const bool setFg = next.fg != pen.fg && next.fg != UnknownColor;
    const bool setBg = next.bg != pen.bg && next.bg != UnknownColor;
    if (!setFg && !setBg) return;
    w.Put(escape::Csi);
    if (setFg) PutColor(w, next.fg, false, pen.fg);
    if (setFg && setBg) w.Put(';');
    if (setBg) PutColor(w, next.bg, true, pen.bg);
    w.Put(escape::SetRendition);
    if (setFg) pen.fg = next.fg;
    if (setBg) pen.bg = next.bg;
  }

  CELLSHOW_HOT_INLINE void PutGlyph(EscapeWriter& w, Key key) const {
    const Utf8Glyph& glyph = glyphs[GlyphOf(key)];
    w.Put(glyph.bytes, glyph.size);
  }

  void PutBackground(EscapeWriter& w, const Pen& pen) const {
    PutColor(w, pen.bg, true, UnknownColor);
  }

 private:
  static void PutByte(EscapeWriter& w, uint32_t n) {
    const color_cells_detail::Decimal& d = color_cells_detail::Decimals[n & 0xFF];
    w.PutPadded(d.text, sizeof d.text, d.size);
  }
};

}  // namespace cellshow
