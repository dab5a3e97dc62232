#include "render/scaled/palette_match.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "render/scaled/oklab.h"
#include "render/scaled/srgb.h"

namespace cellshow {
namespace {

constexpr uint8_t CubeLevels[6] = {0, 95, 135, 175, 215, 255};

// The nearest cube level to each channel value: halfway points 47.5, 115,
// 155, 195 and 235 (a tie goes to the lower level).
constexpr std::array<uint8_t, 256> MakeCubeSteps() {
  std::array<uint8_t, 256> steps{};
  for (int v = 0; v < 256; ++v) {
    steps[v] = v < 48 ? 0 : v <= 115 ? 1 : v <= 155 ? 2 : v <= 195 ? 3 : v <= 235 ? 4 : 5;
  }
  return steps;
}
constexpr auto CubeStep = MakeCubeSteps();

constexpr int Square(int v) { return v * v; }

constexpr int Distance(Rgb a, Rgb b) {
  return Square(a.r - b.r) + Square(a.g - b.g) + Square(a.b - b.b);
}

// The 4x4 Bayer matrix, thresholds 0..15.
constexpr int Bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// How much a mix of two colours is charged for how far apart they are, at
// its most even (a lopsided mix is charged up to twice that): the charge
// keeps a colour near one palette colour from becoming a pattern, and a
// colour between two near ones from becoming a pattern of two far ones.
// Hue and colourfulness count three times as much as lightness, so that a
// grey is mixed of greys (a mid grey is as near cyan and brown, which mix
// to it, as it is to the greys around it). Both figures were chosen on the
// default show's mean OKLab error, per pixel and per 4x4 tile (the scaled
// bench prints it).
constexpr float SpreadCharge = 0.1f;
constexpr float ChromaWeight = 3.0f;
float Spread(OkLab x, OkLab y) {
  const float dL = x.L - y.L, da = x.a - y.a, db = x.b - y.b;
  return dL * dL + ChromaWeight * (da * da + db * db);
}

// One mix the dither may show: (16 - k) pixels of `a` and k of `b` in 16.
struct Mix {
  uint8_t a, b, k;
  OkLab look;    // the mix in OKLab
  float charge;  // for the distance between a and b
};

struct Mixes {
  Mix mix[16 + 120 * 15];
  int count = 0;
  explicit Mixes(int colours) {
    const OkLab* lab = VgaOkLab();
    float linear[16][3];
    for (int i = 0; i < colours; ++i) {
      linear[i][0] = SrgbToLinear(VgaPalette[i].r);
      linear[i][1] = SrgbToLinear(VgaPalette[i].g);
      linear[i][2] = SrgbToLinear(VgaPalette[i].b);
    }
    for (int a = 0; a < colours; ++a) {
      mix[count++] = {static_cast<uint8_t>(a), static_cast<uint8_t>(a), 0, lab[a], 0.0f};
      for (int b = a + 1; b < colours; ++b) {
        for (int k = 1; k < 16; ++k) {
          const float t = static_cast<float>(k) / 16;
          auto channel = [&](int c) { return linear[a][c] * (1 - t) + linear[b][c] * t; };
          const float lopsided = std::abs(t - 0.5f) + 0.5f;
          mix[count++] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(k),
                          LinearToOkLab(channel(0), channel(1), channel(2)),
                          SpreadCharge * Spread(lab[a], lab[b]) * lopsided};
        }
      }
    }
  }
};

const Mixes& MixesOf(bool normalOnly) {
  static const Mixes sixteen(16), eight(8);
  return normalOnly ? eight : sixteen;
}

// 8-bit channel values to 6 bits and back: 0x00, 0x55, 0xAA and 0xFF are
// 0, 21, 42 and 63, and come back exactly.
constexpr int ToLevel(uint8_t v) { return (v * 63 + 127) / 255; }
constexpr uint8_t FromLevel(int level) { return static_cast<uint8_t>((level * 255 + 31) / 63); }
static_assert(FromLevel(ToLevel(0x55)) == 0x55 && FromLevel(ToLevel(0xAA)) == 0xAA);
static_assert(FromLevel(ToLevel(0xFF)) == 0xFF && FromLevel(ToLevel(0x00)) == 0x00);

// A mix packed in a table entry: found, a, b and k, four bits each.
constexpr uint16_t Found = 0x8000;
constexpr uint16_t Pack(const Mix& m) {
  return static_cast<uint16_t>(Found | m.a << 8 | m.b << 4 | m.k);
}

}  // namespace

uint8_t NearestXterm256(Rgb c) {
  const int r = CubeStep[c.r], g = CubeStep[c.g], b = CubeStep[c.b];
  const Rgb cube{CubeLevels[r], CubeLevels[g], CubeLevels[b]};
  // Grey ramp 232 + k is 8 + 10k: the nearest to (v, v, v) for the whole
  // colour is the nearest to the mean of its channels.
  const int sum = c.r + c.g + c.b;  // 3 * mean
  const int k = std::clamp((sum - 24 + 15) / 30, 0, 23);
  const uint8_t level = static_cast<uint8_t>(8 + 10 * k);
  const Rgb grey{level, level, level};
  if (Distance(c, grey) < Distance(c, cube)) return static_cast<uint8_t>(232 + k);
  return static_cast<uint8_t>(16 + 36 * r + 6 * g + b);
}

Rgb Xterm256Color(uint8_t index) {
  if (index >= 232) {
    const uint8_t v = static_cast<uint8_t>(8 + 10 * (index - 232));
    return {v, v, v};
  }
  const int i = std::max(index - 16, 0);
  return {CubeLevels[i / 36], CubeLevels[i / 6 % 6], CubeLevels[i % 6]};
}

int NearestNormalVga(Rgb c) {
  // The normal colours are the cube of 0x00 and 0xAA on every channel but
  // for brown (AA5500) in place of dark yellow (AAAA00): the nearest corner
  // is found channel by channel. Where that is dark yellow, the nearest of
  // the rest of the cube is one channel away from it (red, green or light
  // grey). Brown is weighed with them.
  const int corner = (c.r >= 85) * 4 + (c.g >= 85) * 2 + (c.b >= 85);
  int best = corner == 6 ? 4 : corner;
  auto weigh = [&](int i) {
    if (Distance(c, VgaPalette[i]) < Distance(c, VgaPalette[best])) best = i;
  };
  if (corner == 6) {
    weigh(2);
    weigh(7);
  }
  weigh(6);
  return best;
}

int NearestVga(Rgb c) {
  // The bright colours are the cube of 0x55 and 0xFF on every channel: the
  // nearest corner is found channel by channel, then weighed against the
  // nearest normal colour (a tie goes to the bright one).
  const int bright = 8 + (c.r >= 170) * 4 + (c.g >= 170) * 2 + (c.b >= 170);
  const int normal = NearestNormalVga(c);
  return Distance(c, VgaPalette[normal]) < Distance(c, VgaPalette[bright]) ? normal : bright;
}

VgaDither::VgaDither(bool normalOnly)
    : normalOnly_(normalOnly), mixes_(std::make_unique<uint16_t[]>(Levels * Levels * Levels)) {}

uint16_t VgaDither::Find(int index) const {
  const Rgb c{FromLevel(index / (Levels * Levels)), FromLevel(index / Levels % Levels),
              FromLevel(index % Levels)};
  const OkLab target = ToOkLab(c);
  const Mixes& mixes = MixesOf(normalOnly_);
  const Mix* best = &mixes.mix[0];
  float bestCost = DistanceSquared(target, best->look) + best->charge;
  for (int i = 1; i < mixes.count; ++i) {
    const Mix& m = mixes.mix[i];
    const float cost = DistanceSquared(target, m.look) + m.charge;
    if (cost < bestCost) {
      bestCost = cost;
      best = &m;
    }
  }
  return Pack(*best);
}

int VgaDither::Pick(Rgb c, int x, int y) {
  const int index = (ToLevel(c.r) * Levels + ToLevel(c.g)) * Levels + ToLevel(c.b);
  uint16_t& entry = mixes_[index];
  if (entry == 0) entry = Find(index);
  const int k = entry & 15;
  return Bayer[y & 3][x & 3] < k ? entry >> 4 & 15 : entry >> 8 & 15;
}

PaletteReducer::PaletteReducer() = default;

void PaletteReducer::ReduceRow(ColorDepth depth, int y, const uint8_t* pick, Rgb* row, int width) {
  switch (depth) {
    case ColorDepth::TrueColor:
      return;
    case ColorDepth::Xterm256:
      for (int x = 0; x < width; ++x) {
        if (pick[x]) row[x] = Xterm256Color(NearestXterm256(row[x]));
      }
      return;
    case ColorDepth::Sixteen:
    case ColorDepth::Eight: {
      VgaDither& dither = depth == ColorDepth::Eight ? eight_ : sixteen_;
      for (int x = 0; x < width; ++x) {
        if (pick[x]) row[x] = VgaPalette[dither.Pick(row[x], x, y)];
      }
      return;
    }
  }
}

void PaletteReducer::ReduceHalfBlockRows(int y, const uint8_t* pick, Rgb* upper, Rgb* lower,
                                         int width) {
  const OkLab* lab = VgaOkLab();
  for (int x = 0; x < width; ++x) {
    if (!pick[x]) continue;
    int top = sixteen_.Pick(upper[x], x, y);
    int bottom = lower ? sixteen_.Pick(lower[x], x, y + 1) : 0;
    if (top >= 8 && bottom >= 8 && top != bottom) {
      // Only the foreground can be bright: one of the two gives way, to its
      // colour among the eight normal ones or to the other's bright colour
      // (white beside light cyan looks more like light cyan than light
      // grey), whichever looks nearest the colour it replaces.
      const int top8 = eight_.Pick(upper[x], x, y), bottom8 = eight_.Pick(lower[x], x, y + 1);
      int* const pixel[4] = {&top, &top, &bottom, &bottom};
      const int to[4] = {top8, bottom, bottom8, top};
      int best = 0;
      float bestCost = 9;
      for (int i = 0; i < 4; ++i) {
        const float cost = DistanceSquared(lab[to[i]], lab[*pixel[i]]);
        if (cost < bestCost) {
          bestCost = cost;
          best = i;
        }
      }
      *pixel[best] = to[best];
    }
    upper[x] = VgaPalette[top];
    if (lower) lower[x] = VgaPalette[bottom];
  }
}

}  // namespace cellshow
