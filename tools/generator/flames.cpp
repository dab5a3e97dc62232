// hit.img: a starfield at rising warp speed drawn as pictures, a glow that
// grows out of its centre into a white flash, and flames that burn out of
// the flash. Stars are dots that grow as they near, with streaks behind them
// once the warp is fast; the glow and the flames are smooth gradients,
// dithered with the shade patterns.
#include <algorithm>
#include <vector>

#include "picture.h"

namespace cellshow::datagen {
namespace {

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

// The star's pixel; false when it is behind the viewer or far off screen.
bool ProjectStar(int32_t x, int32_t y, int32_t z, int& sx, int& sy) {
  if (z <= 0) return false;
  sx = PictureWidth / 2 + x * 320 / z;
  sy = PictureHeight / 2 + y * 160 / z;
  return sx >= -640 && sx < 1280 && sy >= -400 && sy < 800;
}

bool OnPicture(int x, int y) { return x >= 0 && x < PictureWidth && y >= 0 && y < PictureHeight; }

void DrawStars(std::vector<Star>& stars, Random& random, int f, Picture& picture) {
  const int32_t speed = WarpSpeed(f);
  for (size_t i = 0; i < stars.size(); ++i) {
    Star& s = stars[i];
    s.z -= speed;
    int sx, sy;
    if (!ProjectStar(s.x, s.y, s.z, sx, sy) || !OnPicture(sx, sy)) {
      SpawnStar(s, random, FarZ - random.Below(speed + 1));
      continue;
    }
    // A streak back to where the star was a frame ago: dim at its tail,
    // bright at its head, wider for near stars.
    int tx, ty;
    if (speed > 16 && ProjectStar(s.x, s.y, s.z + speed, tx, ty)) {
      const uint8_t tail = (i % 3 == 0) ? Blue : DarkGrey;
      DrawLine(tx, ty, sx, sy, s.z < 300 ? 2 : 1, [&](int x, int y, int t) {
        if (OnPicture(x, y) && picture.pixels[y][x] == Black)
          picture.Set(x, y, t < 128 ? tail : uint8_t{t < 224 ? LightGrey : White});
      });
    }
    // The star itself: a dot of two pixels square (the least that a glyph
    // shows) that grows to a small cross as it nears.
    const int size = s.z > 420 ? 2 : s.z > 180 ? 3 : 5;
    const uint8_t colour = s.z > 700   ? LightGrey
                           : s.z > 180 ? ((i % 4 == 0) ? LightCyan : White)
                                       : ((i % 5 == 0) ? Yellow : White);
    for (int dy = 0; dy < size; ++dy)
      for (int dx = 0; dx < size; ++dx) {
        const bool corner = size == 5 && (dx == 0 || dx == 4) && (dy == 0 || dy == 4);
        if (!corner) picture.Set(sx - size / 2 + dx, sy - size / 2 + dy, colour);
      }
  }
}

// A bright light growing at the centre before the flash.
void DrawGlow(int f, Picture& picture) {
  static constexpr uint8_t Glow[] = {Black, Blue, LightBlue, LightCyan, White};
  static constexpr Ramp GlowRamp{Glow, 5};
  const int grow = f - (StarFrames - 12);
  if (grow <= 0) return;
  const int64_t radius = int64_t{grow} * grow * 2;  // pixels across
  for (int y = 0; y < PictureHeight; ++y)
    for (int x = 0; x < PictureWidth; ++x) {
      const int64_t dx = 2 * x + 1 - PictureWidth, dy = (2 * y + 1 - PictureHeight) * 6 / 5;
      const int64_t d = ISqrt(dx * dx + dy * dy) / 2;
      if (d >= radius) continue;
      const int tone = static_cast<int>((radius - d) * GlowRamp.MaxTone() / (radius + 32));
      if (tone >= ToneStep / 8) picture.Shade(x, y, GlowRamp, tone);
    }
}

// Flames: heat 0 to 255 on an 80x100 grid rises from two seed rows below the
// screen, each point the average of the points under it, less cooling. The
// cooling comes from a smooth random map that scrolls up with the flames,
// which tears them into tongues. The picture takes the heat between the grid
// points, so the flames are smooth at every scale.
class Fire {
 public:
  static constexpr int Width = Columns;
  static constexpr int Height = 2 * Rows + 2;

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

  // fuel: how many of 256 seed points burn. fading: extra cooling that is
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

  // A grid point covers 8 by 4 pixels; the heat between points is
  // interpolated from the four around.
  void Draw(Picture& picture) const {
    static constexpr uint8_t Palette[] = {Black, Red, LightRed, Yellow, White};
    static constexpr Ramp FireRamp{Palette, 5};
    for (int y = 0; y < PictureHeight; ++y) {
      const int gy = std::max(y - 2, 0) / 4, fy = std::max(y - 2, 0) % 4;  // quarters
      for (int x = 0; x < PictureWidth; ++x) {
        const int gx = std::max(x - 4, 0) / 8, fx = std::max(x - 4, 0) % 8;  // eighths
        const int gx1 = std::min(gx + 1, Width - 1);
        const int32_t top = heat_[gy][gx] * (8 - fx) + heat_[gy][gx1] * fx;
        const int32_t bottom = heat_[gy + 1][gx] * (8 - fx) + heat_[gy + 1][gx1] * fx;
        const int32_t heat = (top * (4 - fy) + bottom * fy) / 32;  // 0 to 255
        // Cool gas stays black; the rest runs up the ramp a little faster
        // than the heat, so the cores burn white.
        const int tone = std::max(0, heat - 24) * (FireRamp.MaxTone() + 24) / 231;
        picture.Shade(x, y, FireRamp, tone);
      }
    }
  }

 private:
  static constexpr int MapHeight = 128;
  Random& random_;
  int32_t heat_[Height][Width] = {};
  int32_t coolMap_[MapHeight][Width] = {};
  int scroll_ = 0;
};

}  // namespace

std::vector<Frame> MakeStarsAndFlamesFrames() {
  std::vector<Frame> frames;
  Random random(20240917);
  std::vector<Star> stars(StarCount);
  for (Star& s : stars) SpawnStar(s, random, 1 + random.Below(FarZ));
  auto picture = std::make_unique<Picture>();
  PictureMatcher matcher;
  for (int f = 0; f < StarFrames; ++f) {
    picture->Fill(Black);
    DrawStars(stars, random, f, *picture);
    DrawGlow(f, *picture);
    frames.push_back(matcher.Cells(*picture));
  }
  auto fire = std::make_unique<Fire>(random);
  fire->Ignite();
  for (int f = FlashFrame; f < HitFrameCount; ++f) {
    if (f > FlashFrame) {
      // The flash cools into flames; the fire dies down a little at the end.
      const int fuel = f < HitFrameCount - 24 ? 190 : 190 - (f - (HitFrameCount - 24)) * 4;
      const int fading = std::max(0, 12 - (f - FlashFrame)) * 3;
      for (int step = 0; step < 2; ++step) fire->Step(fuel, fading);
    }
    fire->Draw(*picture);
    frames.push_back(matcher.Cells(*picture));
  }
  return frames;
}

}  // namespace cellshow::datagen
