// .ANS from a screen: every row written whole (80 glyphs, so the line wraps
// by itself and no CR LF follows), a colour change written where the
// attribute changes, with bold for a bright foreground and blink for a
// bright background (iCE colours).
#include <array>
#include <bit>
#include <string>

#include "render/art/art_codecs.h"
#include "render/pixels/cp437_font.h"

namespace cellshow::art {
namespace {

constexpr bool IsControl(int code) {
  return code == 9 || code == 10 || code == 13 || code == 26 || code == 27;
}

// What each byte is written as: itself, or for the five controls the glyph
// that looks most like it.
std::array<uint8_t, 256> Writable() {
  std::array<uint8_t, 256> table{};
  for (int code = 0; code < 256; ++code) {
    table[code] = static_cast<uint8_t>(code);
    if (!IsControl(code)) continue;
    int fewest = 65;
    for (int other = 0; other < 256; ++other) {
      if (IsControl(other)) continue;
      int differ = 0;
      for (int r = 0; r < GlyphSize; ++r)
        differ += std::popcount(static_cast<unsigned>(GlyphRows(static_cast<uint8_t>(code))[r] ^
                                                      GlyphRows(static_cast<uint8_t>(other))[r]));
      if (differ < fewest) {
        fewest = differ;
        table[code] = static_cast<uint8_t>(other);
      }
    }
  }
  return table;
}

// Console colours (1 blue, 4 red) as ANSI colour numbers (1 red, 4 blue).
constexpr int AnsiColour(int console) {
  return (console & 2) | (console & 1) << 2 | (console & 4) >> 2;
}

void Append(std::vector<uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::vector<uint8_t> WriteAnsi(const ScreenCells& cells) {
  static const std::array<uint8_t, 256> writable = Writable();
  std::vector<uint8_t> out;
  Append(out, "\x1b[0m");
  int pen = 0x07;
  for (const Cell& cell : cells) {
    const int attribute = cell.Attributes & 0xFF;
    if (attribute != pen) {
      const int fg = attribute & 15, bg = attribute >> 4;
      std::string sgr = "\x1b[0;";
      if (fg & 8) sgr += "1;";
      if (bg & 8) sgr += "5;";
      sgr += std::to_string(30 + AnsiColour(fg & 7)) + ";" +
             std::to_string(40 + AnsiColour(bg & 7)) + "m";
      Append(out, sgr);
      pen = attribute;
    }
    out.push_back(writable[cell.Char & 0xFF]);
  }
  Append(out, "\x1b[0m");
  return out;
}

}  // namespace cellshow::art
