#include "render/match/lab_colour.h"

#include <array>
#include <bit>

namespace cellshow {
namespace {

// x^(1/5) for x in (0, 1], by Newton's iteration from above (it converges
// from any start above the root, and 1 is one).
constexpr double FifthRoot(double x) {
  double y = 1.0;
  for (int i = 0; i < 80; ++i) {
    const double y4 = (y * y) * (y * y);
    y = (4.0 * y + x / y4) / 5.0;
  }
  return y;
}

// IEC 61966-2-1: linear light of an 8-bit sRGB value; x^2.4 is
// x^2 * (x^2)^(1/5).
constexpr std::array<double, 256> MakeLinear() {
  std::array<double, 256> table{};
  for (int v = 0; v < 256; ++v) {
    const double s = v / 255.0;
    if (s <= 0.04045) {
      table[v] = s / 12.92;
    } else {
      const double x = (s + 0.055) / 1.055;
      const double x2 = x * x;
      table[v] = x2 * FifthRoot(x2);
    }
  }
  return table;
}
constexpr std::array<double, 256> Linear = MakeLinear();
static_assert(Linear[0] == 0.0 && Linear[255] > 0.9999999 && Linear[255] < 1.0000001);

// The cube root of x >= 0: a first guess from the exponent bits (within a
// few per cent), then Halley's iteration, which triples the correct digits
// each step: two steps give some 14.
double CubeRoot(double x) {
  if (!(x > 0.0)) return 0.0;
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  double y = std::bit_cast<double>(bits / 3 + uint64_t{0x2A9F7893782DA1CE});
  for (int i = 0; i < 2; ++i) {
    const double y3 = y * y * y;
    y = y * (y3 + 2.0 * x) / (2.0 * y3 + x);
  }
  return y;
}

// Rounds half away from zero, with no library call.
int32_t Round(double v) { return static_cast<int32_t>(v >= 0.0 ? v + 0.5 : v - 0.5); }

}  // namespace

LabColour ToLabColour(Rgb c) {
  const double r = Linear[c.r], g = Linear[c.g], b = Linear[c.b];
  // Björn Ottosson's OKLab matrices.
  const double l = CubeRoot(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
  const double m = CubeRoot(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
  const double s = CubeRoot(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
  const double L = 0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s;
  const double A = 1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s;
  const double B = 0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s;
  return {Round(L * LabScale), Round(A * LabScale), Round(B * LabScale)};
}

const LabColour* VgaLabColours() {
  static const struct Table {
    LabColour colours[16];
    Table() {
      for (int i = 0; i < 16; ++i) colours[i] = ToLabColour(VgaPalette[i]);
    }
  } table;
  return table.colours;
}

int NearestVgaColour(Rgb c) {
  const LabColour lab = ToLabColour(c);
  const LabColour* palette = VgaLabColours();
  int best = 0;
  for (int i = 1; i < 16; ++i)
    if (LabDistance(lab, palette[i]) < LabDistance(lab, palette[best])) best = i;
  return best;
}

}  // namespace cellshow
