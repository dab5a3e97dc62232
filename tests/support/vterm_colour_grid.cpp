#include "support/vterm_colour_grid.h"

#include <cstdio>

#include "render/ansi/ascii_glyphs.h"
#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/scaled/palette_match.h"

namespace cellshow::test {
namespace {

std::string Text(Rgb c) {
  char text[24];
  std::snprintf(text, sizeof text, "%d,%d,%d", c.r, c.g, c.b);
  return text;
}

}  // namespace

bool ShownColor(const VtColor& color, ColorDepth depth, bool bold, Rgb& out) {
  switch (color.kind) {
    case VtColor::Default:
      return false;
    case VtColor::Rgb:
      out = {color.r, color.g, color.b};
      return depth == ColorDepth::TrueColor;
    case VtColor::Indexed:
      if (color.index >= 16) {
        out = Xterm256Color(color.index);
        return depth == ColorDepth::Xterm256;
      }
      if (depth == ColorDepth::Eight) {
        out = VgaPalette[AnsiColor(color.index) | (bold ? 8 : 0)];
        return color.index < 8;
      }
      out = VgaPalette[AnsiColor(color.index)];
      return depth == ColorDepth::Sixteen;
  }
  return false;
}

namespace {

// What a cell looks like: a block (a blank, a full or a half block) by the
// colours of its upper and lower halves, or a glyph in two colours.
struct Look {
  bool block = true;
  char32_t glyph = U' ';
  Rgb fg{}, bg{};  // a block: upper and lower
};

// The nearest of the eight normal colours to a VGA colour (itself if normal).
Rgb Normal(Rgb c) {
  for (int i = 8; i < 16; ++i) {
    if (VgaPalette[i] == c) return VgaPalette[NearestNormalColor(i)];
  }
  return c;
}
bool Bright(Rgb c) { return !(Normal(c) == c); }

// How a terminal of `capabilities` shows a cell of the scaled view's kind.
// With 8 colours what shows as a background is normal; in UTF-8 a bright
// colour can still be a block's foreground, but one block cannot show two.
Look Want(RgbCell cell, const TerminalCapabilities& capabilities) {
  const bool unicode = capabilities.glyphs == GlyphSet::Unicode;
  Look look;
  if (cell.glyph == 0 || cell.glyph == 0x20 || cell.glyph == 0xFF) {
    look.fg = look.bg = cell.bg;
  } else if (cell.glyph == FullBlock || (cell.glyph == UpperHalfBlock && cell.fg == cell.bg)) {
    look.fg = look.bg = cell.fg;
  } else if (cell.glyph == UpperHalfBlock && unicode) {
    look.fg = cell.fg;
    look.bg = cell.bg;
  } else if (cell.glyph == LowerHalfBlock && unicode) {
    look.fg = cell.bg;
    look.bg = cell.fg;
  } else {
    look.block = false;
    look.glyph =
        unicode ? Cp437CodePoints[cell.glyph] : static_cast<char32_t>(AsciiStandIns[cell.glyph]);
    look.fg = cell.fg;
    look.bg = cell.bg;
  }
  if (capabilities.colors != ColorDepth::Eight) return look;
  if (!look.block || !unicode) {
    look.bg = Normal(look.bg);
    if (look.block) look.fg = look.bg;
  } else if (!(look.fg == look.bg) && Bright(look.fg) && Bright(look.bg)) {
    look.bg = Normal(look.bg);
  }
  return look;
}

}  // namespace

std::string ColourGridMismatch(const VtermScreen& terminal, const RgbCell* cells, GridPlace place,
                               const TerminalCapabilities& capabilities, bool margins) {
  const ColorDepth depth = capabilities.colors;
  const bool unicode = capabilities.glyphs == GlyphSet::Unicode;
  std::string report;
  int count = 0;
  auto add = [&](int row, int column, const std::string& what) {
    if (count++ < 6) {
      report += "(row " + std::to_string(row) + ", column " + std::to_string(column) +
                "): " + what + "\n";
    }
  };
  for (int row = 0; row < terminal.rows(); ++row) {
    for (int column = 0; column < terminal.columns(); ++column) {
      const int r = row - place.top, c = column - place.left;
      const bool inside = r >= 0 && r < place.rows && c >= 0 && c < place.columns;
      if (!inside && !margins) continue;
      const VtCell got = terminal.At(row, column);
      // Bold only makes a foreground bright, with 8 colours.
      if (got.blink || got.reverse || (got.bold && depth != ColorDepth::Eight)) {
        add(row, column, "bold, blink or reverse");
      }
      const Look want = Want(
          inside ? cells[r * place.columns + c] : RgbCell{BlankGlyph, {}, {0, 0, 0}}, capabilities);
      // What the terminal shows, in the same terms.
      Rgb fg{}, bg{};
      const bool fgShown = ShownColor(got.fg, depth, got.bold, fg);
      const bool bgShown = ShownColor(got.bg, depth, false, bg);
      Look seen;
      bool readable = bgShown;
      if (got.glyph == U' ') {
        seen.fg = seen.bg = bg;
      } else if (unicode && got.glyph == U'\u2588') {
        seen.fg = seen.bg = fg;
        readable = fgShown;
      } else if (unicode && (got.glyph == U'\u2580' || got.glyph == U'\u2584')) {
        const bool upper = got.glyph == U'\u2580';
        seen.fg = upper ? fg : bg;
        seen.bg = upper ? bg : fg;
        readable = fgShown && bgShown;
      } else {
        seen.block = false;
        seen.glyph = got.glyph;
        seen.fg = fg;
        seen.bg = bg;
        readable = fgShown && bgShown;
      }
      char text[96];
      if (!readable) {
        add(row, column, "colours " + Describe(got.fg) + " on " + Describe(got.bg));
      } else if (seen.block != want.block || (!want.block && seen.glyph != want.glyph)) {
        std::snprintf(text, sizeof text, "glyph U+%04X, want U+%04X",
                      static_cast<unsigned>(got.glyph), static_cast<unsigned>(want.glyph));
        add(row, column, text);
      } else if (!(seen.fg == want.fg) || !(seen.bg == want.bg)) {
        add(row, column,
            (want.block ? "upper/lower " : "fg/bg ") + Text(seen.fg) + " / " + Text(seen.bg) +
                ", want " + Text(want.fg) + " / " + Text(want.bg));
      }
    }
  }
  if (count > 6) report += std::to_string(count - 6) + " more\n";
  return report;
}

}  // namespace cellshow::test
