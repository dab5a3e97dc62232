#pragma once
// The generator's pictures: 640x400 images in the 16 console colours, the
// size of the screen as the pixel model draws it, turned into cells by the
// exact cell matcher. Tones between two colours are dithered with the pixel
// patterns of the shade glyphs (176, 177, 178) laid on the cell grid, so an
// evenly shaded area comes back as those glyphs, and the edges of shapes,
// which fall anywhere inside a cell, come back as half blocks and the other
// glyphs whose pixels fit them best.
//
// Everything is integer arithmetic on colour numbers, and the matcher's
// choice is exact, so the cells are the same on every run and machine.
#include <cstdint>
#include <memory>

#include "canvas.h"

namespace cellshow::datagen {

constexpr int PictureWidth = Columns * 8;  // 640
constexpr int PictureHeight = Rows * 8;    // 400

// Steps of tone between two neighbouring colours of a ramp: 0 is the first
// colour, 64 the next; in between, the light, medium and dark shade patterns
// at 16, 32 and 48 (each tone rounds to the nearest of the five).
constexpr int ToneStep = 64;

// A ramp of console colours, darkest first; its tones run 0 to MaxTone().
struct Ramp {
  const uint8_t* colours;
  int count;
  int MaxTone() const { return (count - 1) * ToneStep; }
};

// The colour of pixel (x, y) at `tone` along `ramp` (clamped to the ramp).
uint8_t ShadeAt(const Ramp& ramp, int tone, int x, int y);

struct Picture {
  uint8_t pixels[PictureHeight][PictureWidth];  // console colours

  void Fill(uint8_t colour);
  void Set(int x, int y, uint8_t colour) {
    if (x >= 0 && x < PictureWidth && y >= 0 && y < PictureHeight) pixels[y][x] = colour;
  }
  void Shade(int x, int y, const Ramp& ramp, int tone) { Set(x, y, ShadeAt(ramp, tone, x, y)); }
};

// A convex polygon's corners in 1/256 pixel, in either winding.
struct Polygon {
  int64_t x[8], y[8];
  int count = 0;
};

// Calls paint(x, y) for every pixel whose centre lies inside `polygon`.
template <typename Paint>
void FillPolygon(const Polygon& p, Paint paint);

// A line `width` pixels across from (x0, y0) to (x1, y1), in whole pixels:
// paint(x, y, t) with t from 0 at the start to 256 at the end.
template <typename Paint>
void DrawLine(int x0, int y0, int x1, int y1, int width, Paint paint);

// Turns pictures into cells with the cell matcher, on two threads. Blocks
// seen before are looked up rather than matched again (animations repeat
// many blocks), so one matcher serves a whole file.
class PictureMatcher {
 public:
  PictureMatcher();
  ~PictureMatcher();
  PictureMatcher(const PictureMatcher&) = delete;
  PictureMatcher& operator=(const PictureMatcher&) = delete;

  // The 80x50 cells closest to `picture`.
  Frame Cells(const Picture& picture);
  // An overlay: the cells of rows 0 to OverlayRows - 1 in which `opaque`
  // marks any pixel are matched (the unmarked pixels there count as black);
  // every other cell is transparent, character 32. An opaque cell the
  // matcher leaves blank is written as character 255, which is drawn.
  Frame Overlay(const Picture& picture, const Picture& opaque);

 private:
  struct State;
  std::unique_ptr<State> top_, bottom_;  // the matcher and blocks of each half
};

// ---- Templates -----------------------------------------------------------

template <typename Paint>
void FillPolygon(const Polygon& p, Paint paint) {
  if (p.count < 3) return;
  int64_t area = 0, top = p.y[0], bottom = p.y[0], left = p.x[0], right = p.x[0];
  for (int i = 0; i < p.count; ++i) {
    const int j = (i + 1) % p.count;
    area += p.x[i] * p.y[j] - p.x[j] * p.y[i];
    top = top < p.y[i] ? top : p.y[i];
    bottom = bottom > p.y[i] ? bottom : p.y[i];
    left = left < p.x[i] ? left : p.x[i];
    right = right > p.x[i] ? right : p.x[i];
  }
  if (area == 0) return;
  const int64_t sign = area > 0 ? 1 : -1;
  const int64_t y0 = top >> 8 < 0 ? 0 : top >> 8;
  const int64_t y1 = bottom >> 8 >= PictureHeight ? PictureHeight - 1 : bottom >> 8;
  const int64_t x0 = left >> 8 < 0 ? 0 : left >> 8;
  const int64_t x1 = right >> 8 >= PictureWidth ? PictureWidth - 1 : right >> 8;
  for (int64_t y = y0; y <= y1; ++y)
    for (int64_t x = x0; x <= x1; ++x) {
      const int64_t cx = x * 256 + 128, cy = y * 256 + 128;
      bool inside = true;
      for (int i = 0; i < p.count && inside; ++i) {
        const int j = (i + 1) % p.count;
        inside =
            sign * ((p.x[j] - p.x[i]) * (cy - p.y[i]) - (p.y[j] - p.y[i]) * (cx - p.x[i])) >= 0;
      }
      if (inside) paint(static_cast<int>(x), static_cast<int>(y));
    }
}

template <typename Paint>
void DrawLine(int x0, int y0, int x1, int y1, int width, Paint paint) {
  const int dx = x1 - x0, dy = y1 - y0;
  const int steps =
      (dx < 0 ? -dx : dx) > (dy < 0 ? -dy : dy) ? (dx < 0 ? -dx : dx) : (dy < 0 ? -dy : dy);
  const int low = -(width - 1) / 2, high = width / 2;
  for (int i = 0; i <= steps; ++i) {
    const int t = steps == 0 ? 256 : i * 256 / steps;
    const int x = x0 + (steps == 0 ? 0 : dx * i / steps);
    const int y = y0 + (steps == 0 ? 0 : dy * i / steps);
    for (int oy = low; oy <= high; ++oy)
      for (int ox = low; ox <= high; ++ox) paint(x + ox, y + oy, t);
  }
}

}  // namespace cellshow::datagen
