// img.txt: a tunnel flown through, swaying and turning, drawn as pictures.
// Its walls are a checker of blue and violet tiles, lit brightest nearest the
// viewer and fading into the dark far end through the shade patterns; the
// seams between the tiles are darker. The show loops the 63 frames, so every
// motion completes whole periods in 63 frames and the last frame leads into
// the first like any other.
#include <algorithm>
#include <vector>

#include "picture.h"

namespace cellshow::datagen {
namespace {

constexpr uint8_t TunnelBlue[] = {Black, Blue, LightBlue, LightCyan, White};
constexpr uint8_t TunnelViolet[] = {Black, Magenta, LightMagenta, LightRed, Yellow};
constexpr Ramp TunnelRamps[2] = {{TunnelBlue, 5}, {TunnelViolet, 5}};

// Texture coordinates in 1/252 of a ring or sector: 252 = 4 x 63, so the
// tunnel moves by the same whole step on every frame, the wrap included.
constexpr int64_t Texel = 252;
constexpr int Sectors = 8;         // sectors around the tunnel
constexpr int RingsPerLoop = 4;    // rings flown through in one loop: two checker periods
constexpr int SectorsPerLoop = 2;  // sectors turned in one loop: one checker period
// Distances in half pixels across: a radius of 80 columns is one ring deep.
constexpr int64_t DepthScale = 80 * 16;
constexpr int64_t Near = 5 * 16, Far = 50 * 16;  // the radii the fade runs over

// The far end sways by up to 88 pixels across and 40 down.
constexpr int SwayX = 88, SwayY = 40;
constexpr int SpanX = PictureWidth / 2 + SwayX + 1, SpanY = PictureHeight / 2 + SwayY + 1;

// The radius (half pixels) and angle of every offset from the far end that a
// frame can need, worked out once. A pixel is 1.2 times as tall as it is
// wide on a 4:3 screen, so rows count 6/5.
struct Polar {
  std::vector<int32_t> radius, angle;
  Polar() : radius(4 * SpanX * SpanY), angle(4 * SpanX * SpanY) {
    for (int dy = -SpanY; dy < SpanY; ++dy)
      for (int dx = -SpanX; dx < SpanX; ++dx) {
        const int64_t x = 10 * dx + 5, y = 12 * dy + 6;  // pixel centres, in tenths
        const size_t at = static_cast<size_t>((dy + SpanY) * 2 * SpanX + dx + SpanX);
        radius[at] = static_cast<int32_t>(std::max<int64_t>(ISqrt(x * x + y * y) / 5, 1));
        angle[at] = Atan2(y, x);
      }
  }
};

int32_t LoopAngle(int f, int period) {
  return static_cast<int32_t>(int64_t{f} * FullTurn / period);
}

void DrawTunnel(const Polar& polar, int f, Picture& picture) {
  const int32_t phase = LoopAngle(f, ImgFrameCount);
  // The far end sways in a figure of eight, rounded to the nearest pixel so
  // that it moves alike either side of frame 0, where it turns back across.
  const int cx =
      PictureWidth / 2 + static_cast<int>((int64_t{SwayX} * Cos(phase) + Unit / 2) >> 16);
  const int cy =
      PictureHeight / 2 + static_cast<int>((int64_t{SwayY} * Sin(2 * phase) + Unit / 2) >> 16);
  const int64_t ringShift = f * RingsPerLoop * Texel / ImgFrameCount;
  const int64_t turnShift = f * SectorsPerLoop * Texel / ImgFrameCount;
  for (int y = 0; y < PictureHeight; ++y) {
    const size_t rowAt = static_cast<size_t>((y - cy + SpanY) * 2 * SpanX - cx + SpanX);
    for (int x = 0; x < PictureWidth; ++x) {
      const int64_t r = polar.radius[rowAt + x];
      const int64_t u = DepthScale * Texel / r + ringShift;  // rings from the viewer
      // A slight spiral: the sectors twist by half a sector per ring.
      const int64_t v = (polar.angle[rowAt + x] * Sectors * Texel >> 16) + turnShift + u / 2;
      const Ramp& ramp = TunnelRamps[(u / Texel ^ v / Texel) & 1];
      // Near walls are bright, the far end fades to black; each tile is a
      // little brighter at its leading edge, and the seams are dark.
      int tone = static_cast<int>((r - Near) * (ramp.MaxTone() + 40) / (Far - Near));
      const int64_t ring = u % Texel, sector = v % Texel;
      tone -= static_cast<int>(ring * 24 / Texel);
      if (ring < 24 || sector < 16) tone -= 56;
      picture.Shade(x, y, ramp, std::clamp(tone, 0, ramp.MaxTone()));
    }
  }
}

}  // namespace

std::vector<Frame> MakeTunnelFrames() {
  const Polar polar;
  auto picture = std::make_unique<Picture>();
  PictureMatcher matcher;
  std::vector<Frame> frames;
  for (int f = 0; f < ImgFrameCount; ++f) {
    DrawTunnel(polar, f, *picture);
    frames.push_back(matcher.Cells(*picture));
  }
  return frames;
}

}  // namespace cellshow::datagen
