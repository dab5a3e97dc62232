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

bool ShownColor(const VtColor& color, ColorDepth depth, Rgb& out) {
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
      out = VgaPalette[AnsiColor(color.index)];
      return depth == ColorDepth::Sixteen || (depth == ColorDepth::Eight && color.index < 8);
  }
  return false;
}

std::string ColourGridMismatch(const VtermScreen& terminal, const RgbCell* cells, GridPlace place,
                               const TerminalCapabilities& capabilities, bool margins) {
  const ColorDepth depth = capabilities.colors;
  std::string report;
  int count = 0;
  auto add = [&](int row, int column, const std::string& what) {
    if (count++ < 6) {
      report += "(row " + std::to_string(row) + ", column " + std::to_string(column) +
                "): " + what + "\n";
    }
  };
  auto check = [&](int row, int column, const char* which, const VtColor& got, Rgb want) {
    Rgb shown{};
    if (!ShownColor(got, depth, shown)) {
      add(row, column, std::string(which) + " " + Describe(got) + ", want " + Text(want));
    } else if (!(shown == want)) {
      add(row, column, std::string(which) + " " + Text(shown) + ", want " + Text(want));
    }
  };
  for (int row = 0; row < terminal.rows(); ++row) {
    for (int column = 0; column < terminal.columns(); ++column) {
      const int r = row - place.top, c = column - place.left;
      const bool inside = r >= 0 && r < place.rows && c >= 0 && c < place.columns;
      if (!inside && !margins) continue;
      const VtCell got = terminal.At(row, column);
      if (got.bold || got.blink || got.reverse) add(row, column, "bold, blink or reverse");
      RgbCell want{BlankGlyph, {}, {0, 0, 0}};
      if (inside) want = cells[r * place.columns + c];
      char32_t glyph = capabilities.glyphs == GlyphSet::Ascii
                           ? static_cast<char32_t>(AsciiStandIns[want.glyph])
                           : Cp437CodePoints[want.glyph];
      if (want.glyph == 0 || want.glyph == 0x20 || want.glyph == 0xFF) {
        glyph = U' ';
      } else if (want.glyph == FullBlock) {
        glyph = U' ';
        want.bg = want.fg;
      } else if (want.glyph == UpperHalfBlock && want.fg == want.bg) {
        glyph = U' ';
      }
      if (got.glyph != glyph) {
        char text[48];
        std::snprintf(text, sizeof text, "glyph U+%04X, want U+%04X",
                      static_cast<unsigned>(got.glyph), static_cast<unsigned>(glyph));
        add(row, column, text);
        continue;
      }
      if (glyph != U' ') check(row, column, "foreground", got.fg, want.fg);
      check(row, column, "background", got.bg, want.bg);
    }
  }
  if (count > 6) report += std::to_string(count - 6) + " more\n";
  return report;
}

}  // namespace cellshow::test
