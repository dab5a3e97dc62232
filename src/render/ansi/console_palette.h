#pragma once
// How a terminal is told to show the 16 console colours.
// Console colour bits: 1 blue, 2 green, 4 red, 8 bright. ANSI colour order
// has red and blue the other way round (1 red, 4 blue).
#include <array>
#include <cstdint>

#include "render/pixels/vga_palette.h"

namespace cellshow {

// The ANSI colour (0..7 normal, 8..15 bright) that shows a console colour.
constexpr int AnsiColor(int consoleColor) {
  return (consoleColor & 8) | (consoleColor & 1) << 2 | (consoleColor & 2) |
         (consoleColor & 4) >> 2;
}

// The normal colour (0..7) nearest to a console colour: itself for 0..7; for
// the bright ones the least squared distance in the palette, a tie going to
// its own normal colour. Terminals with 8 colours show backgrounds this way.
constexpr int NearestNormalColor(int consoleColor) {
  if (consoleColor < 8) return consoleColor;
  const Rgb c = VgaPalette[consoleColor];
  auto distance = [&c](int normal) {
    const Rgb n = VgaPalette[normal];
    const int r = c.r - n.r, g = c.g - n.g, b = c.b - n.b;
    return r * r + g * g + b * b;
  };
  int best = consoleColor & 7;
  for (int normal = 0; normal < 8; ++normal) {
    if (distance(normal) < distance(best)) best = normal;
  }
  return best;
}

// SGR parameters for a colour, without the CSI and the final 'm'.
struct SgrParameter {
  uint8_t size = 0;
  char text[16] = {};
};

namespace palette_detail {
constexpr void Append(SgrParameter& p, const char* s) {
  while (*s) p.text[p.size++] = *s++;
}
constexpr void AppendNumber(SgrParameter& p, int n) {
  if (n >= 100) p.text[p.size++] = static_cast<char>('0' + n / 100);
  if (n >= 10) p.text[p.size++] = static_cast<char>('0' + n / 10 % 10);
  p.text[p.size++] = static_cast<char>('0' + n % 10);
}
// 16 colours: 30-37 / 40-47, bright 90-97 / 100-107 (never bold or blink).
// 24-bit: 38;2;r;g;b / 48;2;r;g;b with the VGA palette.
constexpr std::array<SgrParameter, 16> MakeTable(bool background, bool trueColor) {
  std::array<SgrParameter, 16> table{};
  for (int c = 0; c < 16; ++c) {
    SgrParameter& p = table[c];
    if (trueColor) {
      Append(p, background ? "48;2;" : "38;2;");
      AppendNumber(p, VgaPalette[c].r);
      Append(p, ";");
      AppendNumber(p, VgaPalette[c].g);
      Append(p, ";");
      AppendNumber(p, VgaPalette[c].b);
    } else {
      const int ansi = AnsiColor(c);
      AppendNumber(p, (ansi & 8 ? (background ? 100 : 90) : (background ? 40 : 30)) + (ansi & 7));
    }
  }
  return table;
}
// 8 colours: a foreground sets its intensity as well (bold for the bright
// ones, 22 for normal), so every pen change stands alone; a background is the
// nearest normal colour.
constexpr std::array<SgrParameter, 16> MakeEightColorTable(bool background) {
  std::array<SgrParameter, 16> table{};
  for (int c = 0; c < 16; ++c) {
    SgrParameter& p = table[c];
    if (background) {
      AppendNumber(p, 40 + (AnsiColor(NearestNormalColor(c)) & 7));
    } else {
      Append(p, c & 8 ? "1;" : "22;");
      AppendNumber(p, 30 + (AnsiColor(c) & 7));
    }
  }
  return table;
}
}  // namespace palette_detail

inline constexpr std::array<SgrParameter, 16> AnsiForeground =
    palette_detail::MakeTable(false, false);
inline constexpr std::array<SgrParameter, 16> AnsiBackground =
    palette_detail::MakeTable(true, false);
inline constexpr std::array<SgrParameter, 16> TrueForeground =
    palette_detail::MakeTable(false, true);
inline constexpr std::array<SgrParameter, 16> TrueBackground =
    palette_detail::MakeTable(true, true);
inline constexpr std::array<SgrParameter, 16> EightForeground =
    palette_detail::MakeEightColorTable(false);
inline constexpr std::array<SgrParameter, 16> EightBackground =
    palette_detail::MakeEightColorTable(true);

}  // namespace cellshow
