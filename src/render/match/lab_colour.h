#pragma once
// OKLab in integers: the colour space the cell matcher measures its error
// in, with each channel rounded to 1/512. Integer error sums make the
// matcher's choice the same on every machine and every run (the default
// data is made through it and must not change by a byte), and the rounding
// is done once per colour, here.
//
// The conversion is IEEE double arithmetic with no library calls (the sRGB
// curve is a compile-time table, the cube root a Newton iteration), so the
// rounded values do not depend on the C library. The file is compiled
// without floating-point contraction (see CMakeLists.txt) for the same
// reason. Pure; any thread.
#include <cstdint>

#include "render/pixels/vga_palette.h"

namespace cellshow {

// Steps per unit of OKLab: L runs 0..512, a and b about -160..160.
constexpr int LabScale = 512;

struct LabColour {
  int32_t L = 0, a = 0, b = 0;
  friend constexpr bool operator==(LabColour, LabColour) = default;
};

// The OKLab colour of an 8-bit sRGB colour, each channel rounded to the
// nearest 1/LabScale (halves away from zero).
LabColour ToLabColour(Rgb c);

// The squared distance of two colours: the error of one pixel.
constexpr int32_t LabDistance(LabColour x, LabColour y) {
  const int32_t dL = x.L - y.L, da = x.a - y.a, db = x.b - y.b;
  return dL * dL + da * da + db * db;
}

// The 16 VGA colours, by console colour number.
const LabColour* VgaLabColours();

// The console colour (0..15) nearest to `c`; the lowest number on a tie.
int NearestVgaColour(Rgb c);

}  // namespace cellshow
