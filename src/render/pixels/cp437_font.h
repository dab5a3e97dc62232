#pragma once
// Stand-in until the pixel model lands: a made-up 8x8 font.
#include <array>
#include <cstdint>

namespace cellshow {

constexpr int GlyphSize = 8;
const std::array<uint8_t, 8>& GlyphRows(uint8_t code);
int GlyphCoverage(uint8_t code);

}  // namespace cellshow
