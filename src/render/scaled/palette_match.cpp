#include "render/scaled/palette_match.h"

#include <algorithm>
#include <array>

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

// The offset added to every channel at each place: (t - 7.5) * 85 / 16,
// rounded, so that it stays under half the distance (42.5) between the VGA
// levels 0x00, 0x55, 0xAA and 0xFF.
constexpr std::array<std::array<int, 4>, 4> MakeOffsets() {
  std::array<std::array<int, 4>, 4> offsets{};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const int twice = (2 * Bayer[y][x] - 15) * 85;  // 32 times the offset
      offsets[y][x] = twice >= 0 ? (twice + 16) / 32 : -((-twice + 16) / 32);
    }
  return offsets;
}
constexpr auto DitherOffsets = MakeOffsets();
static_assert(DitherOffsets[3][0] == 40 && DitherOffsets[0][0] == -40);

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

int DitheredVga(Rgb c, int x, int y) {
  const int offset = DitherOffsets[y & 3][x & 3];
  auto nudge = [offset](uint8_t v) { return static_cast<uint8_t>(std::clamp(v + offset, 0, 255)); };
  return NearestVga({nudge(c.r), nudge(c.g), nudge(c.b)});
}

// The eight are the cube of 0x00 and 0xAA with brown (AA5500) in place of
// dark yellow: a nudge big enough to mix black and grey would reach brown
// from black. Instead each channel is dithered on its own between its two
// levels, red and blue between 0x00 and 0xAA, green between 0x00 and the
// green of the corner that red and blue chose (0x55 for red and brown,
// 0xAA otherwise), so that all eight stay themselves.
int DitheredNormalVga(Rgb c, int x, int y) {
  const int threshold = 2 * Bayer[y & 3][x & 3] + 1;  // (t + 0.5) / 16, in 32nds
  auto on = [threshold](int value, int level) {
    return 32 * std::min(value, level) > threshold * level;
  };
  const bool red = on(c.r, 0xAA), blue = on(c.b, 0xAA);
  const bool green = on(c.g, red && !blue ? 0x55 : 0xAA);
  return red * 4 + green * 2 + blue;
}

void ReduceRow(ColorDepth depth, int y, const uint8_t* pick, Rgb* row, int width) {
  switch (depth) {
    case ColorDepth::TrueColor:
      return;
    case ColorDepth::Xterm256:
      for (int x = 0; x < width; ++x) {
        if (pick[x]) row[x] = Xterm256Color(NearestXterm256(row[x]));
      }
      return;
    case ColorDepth::Sixteen:
      for (int x = 0; x < width; ++x) {
        if (pick[x]) row[x] = VgaPalette[DitheredVga(row[x], x, y)];
      }
      return;
    case ColorDepth::Eight:
      for (int x = 0; x < width; ++x) {
        if (pick[x]) row[x] = VgaPalette[DitheredNormalVga(row[x], x, y)];
      }
      return;
  }
}

}  // namespace cellshow
