#pragma once
// Code page 437 drawn with ASCII alone, for terminals whose character set is
// not UTF-8 (a C or Latin-1 locale). Each glyph gets the printable ASCII
// character nearest in look: shades by density, bullets and faces by size and
// fill, arrows by direction, box lines by stroke, accented letters by their
// base letter. The full block is the one exact stand-in, and the encoder
// makes it: a blank whose background is the block's colour.
#include <array>

#include "render/ansi/cp437_glyphs.h"

namespace cellshow {

// clang-format off
inline constexpr std::array<char, 256> AsciiStandIns = {
    // 0x00: blank, faces, card suits, bullets and circles, gender signs,
    // notes, sun
    ' ', 'o', '@', 'v', '*', '%', '^', '*', '@', 'o', '@', 'o', '+', 'd', 'd', '*',
    // 0x10: triangles, arrows, double bang, pilcrow, section, bar, right angle
    '>', '<', '|', '!', 'P', 'S', '=', '|', '^', 'v', '>', '<', 'L', '-', '^', 'v',
    // 0x20..0x7E are ASCII; 0x7F is a house
    ' ', '!', '"', '#', '$', '%', '&', '\'', '(', ')', '*', '+', ',', '-', '.', '/',  //
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ':', ';', '<', '=', '>', '?',  //
    '@', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O',  //
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '[', '\\', ']', '^', '_',  //
    '`', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o',  //
    'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', '{', '|', '}', '~', '^',  //
    // 0x80: accented letters
    'C', 'u', 'e', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'i', 'i', 'i', 'A', 'A',
    // 0x90: accented letters, currency signs, florin
    'E', 'a', 'A', 'o', 'o', 'o', 'u', 'u', 'y', 'O', 'U', 'c', 'L', 'Y', 'P', 'f',
    // 0xA0: accented letters, ordinals, inverted marks, not signs, fractions,
    // guillemets
    'a', 'i', 'o', 'u', 'n', 'N', 'a', 'o', '?', '-', '-', '/', '/', '!', '<', '>',
    // 0xB0: light, medium and dark shade, then box drawing
    '.', ':', '#', '|', '+', '+', '+', '+', '+', '+', '|', '+', '+', '+', '+', '+',
    // 0xC0: box drawing (double horizontal lines as '=')
    '+', '+', '+', '+', '-', '+', '+', '+', '+', '+', '+', '+', '+', '=', '+', '+',
    // 0xD0: box drawing, full block (see above), lower, left, right, upper half
    '+', '+', '+', '+', '+', '+', '+', '+', '+', '+', '+', ' ', 'm', '[', ']', '"',
    // 0xE0: Greek letters, infinity, intersection
    'a', 'B', 'r', 'n', 'E', 'o', 'u', 't', 'O', 'O', 'O', 'd', '8', 'o', 'e', 'n',
    // 0xF0: identity, plus-minus, comparisons, integral halves, division,
    // approximation, degree, bullet operator, middle dot, root, superscripts,
    // small square, no-break space
    '=', '+', '>', '<', 'f', 'J', '/', '~', 'o', '.', '.', 'v', 'n', '2', '#', ' ',
};
// clang-format on

// The same table in the encoder's glyph form (one byte each).
inline constexpr std::array<Utf8Glyph, 256> AsciiGlyphs = [] {
  std::array<Utf8Glyph, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = EncodeUtf8(static_cast<char16_t>(AsciiStandIns[i]));
  return table;
}();

static_assert([] {
  for (int i = 0; i < 256; ++i) {
    const char c = AsciiStandIns[i];
    if (c < 0x20 || c > 0x7E) return false;  // printable ASCII only
    // Exactly the glyphs that show no foreground are blanks here.
    if ((c == ' ') != (IsBlankGlyph(static_cast<uint8_t>(i)) || i == FullBlock)) return false;
  }
  return true;
}());

}  // namespace cellshow
