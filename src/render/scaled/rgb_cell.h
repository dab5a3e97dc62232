#pragma once
// A terminal cell given by its colours: what the scaled view makes and the
// grid encoder writes.
#include <cstdint>

#include "render/pixels/vga_palette.h"

namespace cellshow {

// Code page 437 glyphs of the scaled view.
constexpr uint8_t UpperHalfBlock = 0xDF;  // fg above, bg below
constexpr uint8_t BlankGlyph = 0x20;      // bg only
constexpr uint8_t LowerHalfBlock = 0xDC;  // bg above, fg below

struct RgbCell {
  uint8_t glyph = BlankGlyph;  // code page 437
  Rgb fg{}, bg{};
  friend bool operator==(const RgbCell&, const RgbCell&) = default;
};

}  // namespace cellshow
