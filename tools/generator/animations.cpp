// The three cell animations, all integer arithmetic:
// - img.txt: a tunnel flown through, swaying and turning; the show loops its
//   63 frames, so every motion completes whole periods in 63 frames and the
//   last frame leads into the first like any other;
// - hit.img: a starfield at rising warp speed, a white flash, and flames
//   that burn out of the flash;
// - bl.img: a lit, spinning cube over a turning, zooming checkerboard; its
//   motions repeat every 137 frames, the frames the show displays, so the
//   runs that follow each other at the end of the show join up.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace cellshow::datagen {
namespace {

// The angle of frame `f` of a loop of `period` frames: whole turns at the end.
int32_t LoopAngle(int f, int period) {
  return static_cast<int32_t>(int64_t{f} * FullTurn / period);
}

// ---- Tunnel -------------------------------------------------------------

constexpr uint8_t TunnelBlue[] = {Black, Blue, LightBlue, LightCyan, White};
constexpr uint8_t TunnelViolet[] = {Black, Magenta, LightMagenta, LightRed, Yellow};
constexpr Ramp TunnelRamps[2] = {{TunnelBlue, 5}, {TunnelViolet, 5}};

constexpr int Sub = 16;                   // positions in 1/16 of a column
constexpr int TexelBits = 8;              // texture coordinates in 1/256 of a ring or sector
constexpr int Sectors = 8;                // sectors around the tunnel
constexpr int RingsPerLoop = 4;           // rings flown through in one loop: two checker periods
constexpr int SectorsPerLoop = 2;         // sectors turned in one loop: one checker period
constexpr int64_t DepthScale = 80 * Sub;  // a radius of 80 columns is one ring deep

Frame TunnelFrame(int f) {
  const int32_t phase = LoopAngle(f, ImgFrameCount);
  // The far end sways in a figure of eight.
  const int64_t cx = 40 * Sub + MulSin(11 * Sub, phase);
  const int64_t cy = 25 * Sub + MulSin(5 * Sub, 2 * phase);
  const int64_t ringShift = int64_t{f} * (RingsPerLoop << TexelBits) / ImgFrameCount;
  const int64_t turnShift = int64_t{f} * (SectorsPerLoop << TexelBits) / ImgFrameCount;
  CellFrame frame;
  for (int y = 0; y < Rows; ++y)
    for (int x = 0; x < Columns; ++x) {
      const int64_t dx = x * Sub + Sub / 2 - cx;
      const int64_t dy = 2 * (y * Sub + Sub / 2 - cy);  // a row is two columns tall
      const int64_t r = std::max<int64_t>(ISqrt(dx * dx + dy * dy), 1);
      const int64_t depth = (DepthScale << TexelBits) / r;  // rings from the viewer
      const int64_t u = depth + ringShift;
      // A slight spiral: the sectors twist by half a sector per ring.
      const int64_t v = (int64_t{Atan2(dy, dx)} * (Sectors << TexelBits) >> 16) + turnShift + u / 2;
      const int checker = static_cast<int>(((u >> TexelBits) ^ (v >> TexelBits)) & 1);
      const Ramp& ramp = TunnelRamps[checker];
      // Near walls are bright, the far end fades to black; the seams between
      // rings and sectors are a little darker.
      int level = static_cast<int>((r - 5 * Sub) * (ramp.Levels() + 2) / (50 * Sub));
      const int64_t ringEdge = u & ((1 << TexelBits) - 1);
      const int64_t sectorEdge = v & ((1 << TexelBits) - 1);
      if (ringEdge < 28 || sectorEdge < 20) level -= 3;
      uint8_t character, attributes;
      RampCell(ramp, std::clamp(level, 0, ramp.Levels() - 1), character, attributes);
      frame.Put(x, y, character, attributes);
    }
  return frame.bytes();
}

// ---- Starfield and flames ------------------------------------------------

constexpr int StarCount = 320;
constexpr int StarFrames = 64;  // frames 0 to 63; frame 64 is the flash
constexpr int FlashFrame = 64;
constexpr int32_t FarZ = 1024;

struct Star {
  int32_t x, y, z;
};

void SpawnStar(Star& s, Random& random, int32_t z) {
  s.x = random.Below(2001) - 1000;
  s.y = random.Below(2001) - 1000;
  s.z = z;
}

int32_t WarpSpeed(int f) { return 5 + f * f / 14; }

bool ProjectStar(int32_t x, int32_t y, int32_t z, int& sx, int& sy) {
  if (z <= 0) return false;
  sx = 40 + x * 40 / z;
  sy = 25 + y * 20 / z;
  return sx >= -80 && sx < 160 && sy >= -50 && sy < 100;
}

// Traces the cells from (x0, y0) to (x1, y1) and calls paint(x, y, t) with t
// from 0 at the start to 256 at the end.
template <typename Paint>
void TraceCells(int x0, int y0, int x1, int y1, Paint paint) {
  const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  const int steps = std::max(dx, dy);
  for (int i = 0; i <= steps; ++i) {
    const int t = steps == 0 ? 256 : i * 256 / steps;
    const int x = x0 + (x1 - x0) * i / std::max(steps, 1);
    const int y = y0 + (y1 - y0) * i / std::max(steps, 1);
    paint(x, y, t);
  }
}

void DrawStars(std::vector<Star>& stars, Random& random, int f, CellFrame& frame) {
  const int32_t speed = WarpSpeed(f);
  for (size_t i = 0; i < stars.size(); ++i) {
    Star& s = stars[i];
    s.z -= speed;
    int sx, sy;
    if (!ProjectStar(s.x, s.y, s.z, sx, sy) || !frame.Inside(sx, sy)) {
      SpawnStar(s, random, FarZ - random.Below(speed + 1));
      continue;
    }
    // A streak back to where the star was a frame ago, drawn with the line
    // character of its direction, dim at its tail.
    int tx, ty;
    if (speed > 16 && ProjectStar(s.x, s.y, s.z + speed, tx, ty)) {
      const int dx = sx - tx, dy = 2 * (sy - ty);  // a row is two columns tall
      uint8_t line;
      if (std::abs(dy) * 5 < std::abs(dx) * 2)
        line = HorizontalLine;
      else if (std::abs(dx) * 5 < std::abs(dy) * 2)
        line = VerticalLine;
      else
        line = (dx > 0) == (dy > 0) ? '\\' : '/';
      const uint8_t tail = (i % 3 == 0) ? Blue : DarkGrey;
      TraceCells(tx, ty, sx, sy, [&](int x, int y, int t) {
        if (!frame.Inside(x, y) || frame.CharAt(x, y) != Space) return;
        const uint8_t near = t < 224 ? LightGrey : White;
        const uint8_t colour = t < 128 ? tail : near;
        frame.Put(x, y, line, Attr(colour, Black));
      });
    }
    uint8_t character, colour;
    if (s.z > 700) {
      character = SmallDot;
      colour = LightGrey;
    } else if (s.z > 420) {
      character = MiddleDot;
      colour = LightGrey;
    } else if (s.z > 180) {
      character = '*';
      colour = (i % 4 == 0) ? LightCyan : White;
    } else {
      character = (i % 2 == 0) ? Sun : SmallSquare;
      colour = (i % 5 == 0) ? Yellow : White;
    }
    frame.Put(sx, sy, character, Attr(colour, Black));
  }
}

// A bright light growing at the centre before the flash.
void DrawGlow(int f, CellFrame& frame) {
  static constexpr uint8_t Glow[] = {Black, Blue, LightBlue, LightCyan, White};
  static constexpr Ramp GlowRamp{Glow, 5};
  const int grow = f - (StarFrames - 12);
  if (grow <= 0) return;
  const int64_t radius = int64_t{grow} * grow * Sub / 4;  // columns, in 1/16
  for (int y = 0; y < Rows; ++y)
    for (int x = 0; x < Columns; ++x) {
      const int64_t dx = x * Sub + Sub / 2 - 40 * Sub, dy = 2 * (y * Sub + Sub / 2 - 25 * Sub);
      const int64_t d = ISqrt(dx * dx + dy * dy);
      if (d >= radius) continue;
      const int level = static_cast<int>((radius - d) * GlowRamp.Levels() / (radius + 4 * Sub));
      if (level <= 0) continue;
      uint8_t character, attributes;
      RampCell(GlowRamp, level, character, attributes);
      frame.Put(x, y, character, attributes);
    }
}

// Flames on the pixel canvas: heat 0 to 255 rises from two seed rows below
// the screen, each pixel the average of the pixels under it, less cooling.
// The cooling comes from a smooth random map that scrolls up with the
// flames, which tears them into tongues.
class Fire {
 public:
  static constexpr int Width = PixelCanvas::Width;
  static constexpr int Height = PixelCanvas::Height + 2;

  explicit Fire(Random& random) : random_(random) {
    // Random values, blurred three times and stretched back to 0..255.
    for (auto& row : coolMap_)
      for (int32_t& c : row) c = random_.Below(256);
    for (int pass = 0; pass < 3; ++pass) {
      int32_t blurred[MapHeight][Width];
      for (int y = 0; y < MapHeight; ++y)
        for (int x = 0; x < Width; ++x) {
          int32_t sum = 0;
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
              sum += coolMap_[(y + dy + MapHeight) % MapHeight][(x + dx + Width) % Width];
          blurred[y][x] = sum / 9;
        }
      std::copy(&blurred[0][0], &blurred[0][0] + MapHeight * Width, &coolMap_[0][0]);
    }
    int32_t low = 255, high = 0;
    for (const auto& row : coolMap_)
      for (const int32_t c : row) {
        low = std::min(low, c);
        high = std::max(high, c);
      }
    for (auto& row : coolMap_)
      for (int32_t& c : row) c = (c - low) * 255 / std::max(high - low, 1);
  }

  void Ignite() {
    for (auto& row : heat_)
      for (int32_t& h : row) h = 255;
  }

  // fuel: how many of 256 seed pixels burn. fading: extra cooling that is
  // strongest at the top, so that a white screen burns down into flames.
  void Step(int fuel, int fading) {
    for (int y = Height - 2; y < Height; ++y)
      for (int x = 0; x < Width; ++x) heat_[y][x] = random_.Below(256) < fuel ? 255 : 0;
    ++scroll_;
    for (int y = 0; y < Height - 2; ++y)
      for (int x = 0; x < Width; ++x) {
        const int32_t sum = heat_[y + 1][(x + Width - 1) % Width] + heat_[y + 1][x] +
                            heat_[y + 1][(x + 1) % Width] + heat_[y + 2][x];
        const int32_t cooling =
            coolMap_[(y + scroll_) % MapHeight][x] * 7 / 256 + fading * (Height - y) / Height;
        heat_[y][x] = std::max(sum / 4 - cooling, 0);
      }
  }

  void Draw(PixelCanvas& canvas) const {
    static constexpr uint8_t Palette[] = {Black, Red, Brown, LightRed, Yellow, White};
    constexpr int Steps = 5;  // colours after black
    for (int y = 0; y < PixelCanvas::Height; ++y)
      for (int x = 0; x < Width; ++x) {
        const int position = heat_[y][x] * Steps * 16 / 255 + Bayer(x, y);
        canvas.Set(x, y, Palette[std::min(position / 16, Steps)]);
      }
  }

 private:
  static constexpr int MapHeight = 128;
  Random& random_;
  int32_t heat_[Height][Width] = {};
  int32_t coolMap_[MapHeight][Width] = {};
  int scroll_ = 0;
};

// ---- Cube ----------------------------------------------------------------

constexpr int CubePeriod = BlFrameCount - 1;  // frames shown per run

struct Point3 {
  int64_t x, y, z;  // 1/65536 units
};

Point3 Rotate(const Point3& p, int32_t yaw, int32_t pitch) {
  const int64_t x = (p.x * Cos(yaw) - p.z * Sin(yaw)) >> 16;
  const int64_t z = (p.x * Sin(yaw) + p.z * Cos(yaw)) >> 16;
  const int64_t y = (p.y * Cos(pitch) - z * Sin(pitch)) >> 16;
  return {x, y, (p.y * Sin(pitch) + z * Cos(pitch)) >> 16};
}

void DrawCheckerboard(int f, PixelCanvas& canvas) {
  const int32_t phase = LoopAngle(f, CubePeriod);
  const int32_t turn = -phase;
  const int64_t zoom = Unit + MulSin(Unit * 2 / 5, phase);  // 0.6 to 1.4
  const int64_t driftX = MulCos(24 << 16, phase), driftY = MulSin(24 << 16, 2 * phase);
  const int64_t c = Cos(turn) * zoom >> 16, s = Sin(turn) * zoom >> 16;
  for (int y = 0; y < PixelCanvas::Height; ++y)
    for (int x = 0; x < PixelCanvas::Width; ++x) {
      const int64_t dx = 2 * x + 1 - PixelCanvas::Width, dy = 2 * y + 1 - PixelCanvas::Height;
      const int64_t u = (dx * c - dy * s) / 2 + driftX;
      const int64_t v = (dx * s + dy * c) / 2 + driftY;
      const bool dark = (((u >> 20) ^ (v >> 20)) & 1) != 0;  // squares of 16 pixels
      canvas.Set(x, y, dark ? Black : Blue);
    }
}

struct Face {
  int corners[4];
  Point3 normal;
  const uint8_t* ramp;
};

constexpr uint8_t CubeRed[] = {Red, LightRed, Yellow, White};
constexpr uint8_t CubeGreen[] = {Green, LightGreen, Yellow, White};
constexpr uint8_t CubeCyan[] = {Blue, Cyan, LightCyan, White};

void DrawCube(int f, PixelCanvas& canvas) {
  const int32_t phase = LoopAngle(f, CubePeriod);
  constexpr int64_t S = Unit;  // half the edge
  const Point3 corners[8] = {{-S, -S, -S}, {S, -S, -S}, {S, S, -S}, {-S, S, -S},
                             {-S, -S, S},  {S, -S, S},  {S, S, S},  {-S, S, S}};
  const Face faces[6] = {
      {{0, 1, 2, 3}, {0, 0, -S}, CubeRed},   {{5, 4, 7, 6}, {0, 0, S}, CubeRed},
      {{4, 0, 3, 7}, {-S, 0, 0}, CubeGreen}, {{1, 5, 6, 2}, {S, 0, 0}, CubeGreen},
      {{4, 5, 1, 0}, {0, -S, 0}, CubeCyan},  {{3, 2, 6, 7}, {0, S, 0}, CubeCyan},
  };
  const int32_t yaw = phase, pitch = phase + FullTurn / 12;
  // Projected corners in 1/256 pixel; the cube also bobs up and down.
  constexpr int64_t Distance = 9 * Unit / 2, Focal = 72;
  const int64_t bob = MulSin(6 << 8, 2 * phase);
  int64_t px[8], py[8];
  for (int i = 0; i < 8; ++i) {
    const Point3 p = Rotate(corners[i], yaw, pitch);
    px[i] = 40 * 256 + p.x * Focal * 256 / (p.z + Distance);
    py[i] = 50 * 256 + bob + p.y * Focal * 256 / (p.z + Distance);
  }
  // Light from the upper left, in front.
  const Point3 light{-30000, -36000, -44000};  // about unit length, in 1/65536
  for (const Face& face : faces) {
    const int* k = face.corners;
    const int64_t area = (px[k[1]] - px[k[0]]) * (py[k[2]] - py[k[0]]) -
                         (py[k[1]] - py[k[0]]) * (px[k[2]] - px[k[0]]);
    if (area <= 0) continue;  // facing away
    const Point3 n = Rotate(face.normal, yaw, pitch);
    const int64_t lit = std::max<int64_t>((n.x * light.x + n.y * light.y + n.z * light.z) >> 16, 0);
    const int64_t brightness = Unit / 6 + lit * 3 / 4;  // about 0.17 to 0.92
    int64_t left = px[k[0]], right = left, top = py[k[0]], bottom = top;
    for (int i = 1; i < 4; ++i) {
      left = std::min(left, px[k[i]]);
      right = std::max(right, px[k[i]]);
      top = std::min(top, py[k[i]]);
      bottom = std::max(bottom, py[k[i]]);
    }
    for (int64_t y = std::max<int64_t>(top >> 8, 0); y <= std::min<int64_t>(bottom >> 8, 99); ++y)
      for (int64_t x = std::max<int64_t>(left >> 8, 0); x <= std::min<int64_t>(right >> 8, 79);
           ++x) {
        const int64_t cx = x * 256 + 128, cy = y * 256 + 128;
        bool inside = true;
        for (int i = 0; i < 4 && inside; ++i) {
          const int a = k[i], b = k[(i + 1) % 4];
          inside = (px[b] - px[a]) * (cy - py[a]) - (py[b] - py[a]) * (cx - px[a]) >= 0;
        }
        if (!inside) continue;
        const int position = static_cast<int>(brightness * 3 * 16 / Unit) +
                             Bayer(static_cast<int>(x), static_cast<int>(y));
        canvas.Set(static_cast<int>(x), static_cast<int>(y), face.ramp[std::min(position / 16, 3)]);
      }
  }
}

}  // namespace

std::vector<Frame> MakeTunnelFrames() {
  std::vector<Frame> frames;
  for (int f = 0; f < ImgFrameCount; ++f) frames.push_back(TunnelFrame(f));
  return frames;
}

std::vector<Frame> MakeStarsAndFlamesFrames() {
  std::vector<Frame> frames;
  Random random(20240917);
  std::vector<Star> stars(StarCount);
  for (Star& s : stars) SpawnStar(s, random, 1 + random.Below(FarZ));
  for (int f = 0; f < StarFrames; ++f) {
    CellFrame frame;
    DrawStars(stars, random, f, frame);
    DrawGlow(f, frame);
    frames.push_back(frame.bytes());
  }
  Fire fire(random);
  fire.Ignite();
  PixelCanvas canvas;
  for (int f = FlashFrame; f < HitFrameCount; ++f) {
    if (f > FlashFrame) {
      // The flash cools into flames; the fire dies down a little at the end.
      const int fuel = f < HitFrameCount - 24 ? 190 : 190 - (f - (HitFrameCount - 24)) * 4;
      const int fading = std::max(0, 12 - (f - FlashFrame)) * 3;
      for (int step = 0; step < 2; ++step) fire.Step(fuel, fading);
    }
    fire.Draw(canvas);
    CellFrame frame;
    canvas.ToCells(frame);
    frames.push_back(frame.bytes());
  }
  return frames;
}

std::vector<Frame> MakeCubeFrames() {
  std::vector<Frame> frames;
  PixelCanvas canvas;
  for (int f = 0; f < BlFrameCount; ++f) {
    DrawCheckerboard(f, canvas);
    DrawCube(f, canvas);
    CellFrame frame;
    canvas.ToCells(frame);
    frames.push_back(frame.bytes());
  }
  return frames;
}

}  // namespace cellshow::datagen
