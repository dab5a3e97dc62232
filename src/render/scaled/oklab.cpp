#include "render/scaled/oklab.h"

#include <cmath>

#include "render/scaled/srgb.h"

namespace cellshow {

OkLab ToOkLab(Rgb c) {
  return LinearToOkLab(SrgbToLinear(c.r), SrgbToLinear(c.g), SrgbToLinear(c.b));
}

OkLab LinearToOkLab(float r, float g, float b) {
  const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
  const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
  const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
  return OkLab{0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
               1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
               0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

const OkLab* VgaOkLab() {
  static const struct Table {
    OkLab colors[16];
    Table() {
      for (int i = 0; i < 16; ++i) colors[i] = ToOkLab(VgaPalette[i]);
    }
  } table;
  return table.colors;
}

}  // namespace cellshow
