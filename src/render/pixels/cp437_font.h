#pragma once
// The 8x8 glyphs of code page 437 as the VGA text mode drew them: taken at
// build time from the Linux console font Uni2-VGA8 (Debian's
// console-setup-linux; public domain) by each character's code point, the
// rest drawn in drawn_glyphs.h. Codes 0, 32 and 255 are blank.
#include <array>
#include <cstdint>

namespace cellshow {

constexpr int GlyphSize = 8;

// Row 0 at the top; bit 7 is the leftmost pixel. Generated in the build tree
// by tools/font.
extern const std::array<std::array<uint8_t, GlyphSize>, 256> Cp437Font;

inline const std::array<uint8_t, GlyphSize>& GlyphRows(uint8_t code) { return Cp437Font[code]; }

// The glyph's set pixels out of 64: how much of the cell shows the
// foreground, for blending a cell into one colour.
int GlyphCoverage(uint8_t code);

}  // namespace cellshow
