#pragma once
// The 16 colours of the VGA text mode as exact 8-bit RGB, by console colour
// number (bits: 1 blue, 2 green, 4 red, 8 bright; colour 6 is brown, not dark
// yellow). The one palette of the program: the pixel image, the exports and
// the terminal's 24-bit colours all use it.
#include <array>
#include <bit>
#include <cstdint>

namespace cellshow {

struct Rgb {
  uint8_t r, g, b;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

inline constexpr std::array<Rgb, 16> VgaPalette = {{
    {0x00, 0x00, 0x00},  // black
    {0x00, 0x00, 0xAA},  // blue
    {0x00, 0xAA, 0x00},  // green
    {0x00, 0xAA, 0xAA},  // cyan
    {0xAA, 0x00, 0x00},  // red
    {0xAA, 0x00, 0xAA},  // magenta
    {0xAA, 0x55, 0x00},  // brown
    {0xAA, 0xAA, 0xAA},  // light grey
    {0x55, 0x55, 0x55},  // dark grey
    {0x55, 0x55, 0xFF},  // light blue
    {0x55, 0xFF, 0x55},  // light green
    {0x55, 0xFF, 0xFF},  // light cyan
    {0xFF, 0x55, 0x55},  // light red
    {0xFF, 0x55, 0xFF},  // light magenta
    {0xFF, 0xFF, 0x55},  // yellow
    {0xFF, 0xFF, 0xFF},  // white
}};

// A pixel as a 32-bit word whose bytes in memory are R, G, B, A (255): the
// layout of SDL_PIXELFORMAT_RGBA32, canvas ImageData and AV_PIX_FMT_RGBA.
static_assert(std::endian::native == std::endian::little,
              "PackRgba lays out bytes for a little-endian machine");
constexpr uint32_t PackRgba(Rgb c) {
  return uint32_t{c.r} | uint32_t{c.g} << 8 | uint32_t{c.b} << 16 | uint32_t{0xFF} << 24;
}

}  // namespace cellshow
