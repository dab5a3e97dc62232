#pragma once
// OKLab, a colour space in which the straight distance between two colours
// follows how different they look: for choosing the nearest of a few
// colours (the terminal's, the VGA palette) and for the cell matcher's
// error. Pure, float.
#include <cstdint>

#include "render/pixels/vga_palette.h"

namespace cellshow {

struct OkLab {
  float L, a, b;  // lightness 0 (black) to 1 (white); a green-red; b blue-yellow
};

// The OKLab colour of an 8-bit sRGB colour (Björn Ottosson's matrices).
OkLab ToOkLab(Rgb c);
// The same of a colour in linear light, each channel in [0, 1].
OkLab LinearToOkLab(float r, float g, float b);

// Squared distance: the error measure of one pixel.
inline float DistanceSquared(OkLab x, OkLab y) {
  const float dL = x.L - y.L, da = x.a - y.a, db = x.b - y.b;
  return dL * dL + da * da + db * db;
}

// The 16 VGA colours in OKLab, by console colour number.
const OkLab* VgaOkLab();

}  // namespace cellshow
