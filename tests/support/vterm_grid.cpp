#include "support/vterm_grid.h"

#include <cstdio>

#include "render/ansi/ascii_glyphs.h"
#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"

namespace cellshow::test {

namespace {

bool IsBlank(char32_t glyph) { return glyph == U' ' || glyph == U'\u00A0'; }
bool IsFullBlock(char32_t glyph) { return glyph == U'\u2588'; }

class Report {
 public:
  void Add(int row, int column, const std::string& what) {
    if (count_++ < 6) {
      char where[48];
      std::snprintf(where, sizeof where, "(row %d, column %d): ", row, column);
      text_ += where + what + "\n";
    }
  }
  std::string Finish() {
    if (count_ > 6) text_ += std::to_string(count_ - 6) + " more\n";
    return text_;
  }

 private:
  int count_ = 0;
  std::string text_;
};

std::string Glyph(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// `bold`: 0 not set, 1 set, -1 either.
void CompareCell(Report& report, int row, int column, const VtCell& got, char32_t glyph,
                 const VtColor* fg, const VtColor* bg, int bold = 0) {
  if (got.glyph != glyph) {
    report.Add(row, column, "glyph " + Glyph(got.glyph) + ", want " + Glyph(glyph));
  }
  if (fg != nullptr && !(got.fg == *fg)) {
    report.Add(row, column, "foreground " + Describe(got.fg) + ", want " + Describe(*fg));
  }
  if (bg != nullptr && !(got.bg == *bg)) {
    report.Add(row, column, "background " + Describe(got.bg) + ", want " + Describe(*bg));
  }
  if (got.blink || got.reverse) report.Add(row, column, "blink or reverse set");
  if (bold >= 0 && got.bold != (bold == 1)) {
    report.Add(row, column, bold ? "not bold" : "bold set");
  }
}

}  // namespace

VtColor ExpectedColor(int consoleColor, bool trueColor) {
  VtColor color;
  if (trueColor) {
    color.kind = VtColor::Rgb;
    color.r = VgaPalette[consoleColor].r;
    color.g = VgaPalette[consoleColor].g;
    color.b = VgaPalette[consoleColor].b;
  } else {
    color.kind = VtColor::Indexed;
    color.index = static_cast<uint8_t>(AnsiColor(consoleColor));
  }
  return color;
}

VtColor ExpectedColor(int consoleColor, ColorDepth depth, bool foreground) {
  if (depth != ColorDepth::Eight)
    return ExpectedColor(consoleColor, depth == ColorDepth::TrueColor);
  VtColor color;
  color.kind = VtColor::Indexed;
  color.index = static_cast<uint8_t>(
      AnsiColor(foreground ? consoleColor & 7 : NearestNormalColor(consoleColor)));
  return color;
}

std::string GridMismatch(const VtermScreen& terminal, const ScreenCells& screen, bool trueColor) {
  return GridMismatch(
      terminal, screen,
      TerminalCapabilities{trueColor ? ColorDepth::TrueColor : ColorDepth::Sixteen});
}

std::string GridMismatch(const VtermScreen& terminal, const ScreenCells& screen,
                         const TerminalCapabilities& capabilities) {
  Report report;
  const int top = (terminal.rows() - ScreenHeight) / 2;
  const int left = (terminal.columns() - ScreenWidth) / 2;
  const ColorDepth depth = capabilities.colors;
  const bool ascii = capabilities.glyphs == GlyphSet::Ascii;
  const VtColor black = ExpectedColor(0, depth, false);
  for (int row = 0; row < terminal.rows(); ++row) {
    for (int column = 0; column < terminal.columns(); ++column) {
      const VtCell got = terminal.At(row, column);
      const int gridRow = row - top, gridColumn = column - left;
      if (gridRow < 0 || gridRow >= ScreenHeight || gridColumn < 0 || gridColumn >= ScreenWidth) {
        CompareCell(report, row, column, got, U' ', nullptr, &black, -1);
        continue;
      }
      const Cell& cell = screen[gridRow * ScreenWidth + gridColumn];
      const uint8_t c = cell.Char & 0xFF;
      const int fgColor = cell.Attributes & 15, bgColor = cell.Attributes >> 4 & 15;
      const VtColor fg = ExpectedColor(fgColor, depth, true);
      if (ascii && c == FullBlock) {
        const VtColor blockColor = ExpectedColor(fgColor, depth, false);
        CompareCell(report, row, column, got, U' ', nullptr, &blockColor, -1);
        continue;
      }
      const VtColor bg = ExpectedColor(bgColor, depth, false);
      const char32_t unicode = Cp437CodePoints[c];
      const char32_t glyph = ascii ? static_cast<char32_t>(AsciiStandIns[c]) : unicode;
      const bool blank = IsBlank(unicode);
      // With 8 colours, bold is what makes a foreground bright.
      const int bold = blank ? -1 : depth == ColorDepth::Eight ? (fgColor & 8 ? 1 : 0) : 0;
      CompareCell(report, row, column, got, glyph, blank ? nullptr : &fg,
                  IsFullBlock(unicode) ? nullptr : &bg, bold);
    }
  }
  return report.Finish();
}

std::string AppearanceMismatch(const VtermScreen& a, const VtermScreen& b) {
  Report report;
  if (a.rows() != b.rows() || a.columns() != b.columns()) return "sizes differ\n";
  for (int row = 0; row < a.rows(); ++row) {
    for (int column = 0; column < a.columns(); ++column) {
      const VtCell x = a.At(row, column), y = b.At(row, column);
      CompareCell(report, row, column, x, y.glyph, IsBlank(y.glyph) ? nullptr : &y.fg,
                  IsFullBlock(y.glyph) ? nullptr : &y.bg, IsBlank(y.glyph) ? -1 : y.bold);
    }
  }
  return report.Finish();
}

}  // namespace cellshow::test
