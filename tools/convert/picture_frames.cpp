#include "picture_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "render/pixels/cp437_font.h"

namespace cellshow::convert {
namespace {

constexpr int OverlayRows = 8;
constexpr uint8_t Transparent = 32;  // the overlay's see-through character
constexpr uint8_t OpaqueBlank = 0;   // looks like 32, but is drawn

datagen::Frame FrameOf(const ScreenCells& cells) {
  datagen::Frame frame{};
  for (int i = 0; i < ScreenCellCount; ++i) {
    frame[2 * i] = static_cast<uint8_t>(cells[i].Char);
    frame[2 * i + 1] = static_cast<uint8_t>(cells[i].Attributes);
  }
  return frame;
}

struct Target {
  int index;
  double time;
};

// A grid on the heap (8,000 bytes).
struct Grid {
  ScreenCells cells;
};

// One frame being filled: the canvas of the picture held, and its cells
// once some target needs them.
struct Held {
  Canvas canvas;
  bool matched = false;
  std::unique_ptr<Grid> grid = std::make_unique<Grid>();
};

// One pass through the source: every target (sorted by time) gets the
// picture shown at its time. Targets past the end of the source are left
// in `left` (all are given the last picture when `last`); `end` is when
// the last picture ends.
bool Pass(const std::string& path, double start, Fit fit, const CellMatcher& matcher,
          std::vector<Target> targets, bool last, const Progress& progress, int& done,
          std::vector<datagen::Frame>& frames, std::vector<Target>& left, double& end,
          std::string& error) {
  PictureSource source;
  if (!source.Open(path, start, error)) return false;
  const double length = source.Length();
  if (length > 0 && start >= length) {
    char text[96];
    std::snprintf(text, sizeof text, "is %.3f s long: --start %.3f is past its end", length, start);
    error = text;
    return false;
  }
  Held held;
  held.canvas.width = 640;
  held.canvas.height = 400;
  held.canvas.pixels.resize(640 * 400);
  size_t next = 0;
  int pictures = 0;
  auto giveUntil = [&](double until, bool all) {
    for (; next < targets.size() && (all || targets[next].time < until); ++next) {
      if (!held.matched) {
        MatchCanvas(matcher, held.canvas, held.grid->cells);
        held.matched = true;
      }
      frames[targets[next].index] = FrameOf(held.grid->cells);
      if (progress) progress(++done, static_cast<int>(frames.size()));
    }
  };
  const AVFrame* picture = nullptr;
  double shownFrom = 0;
  while (next < targets.size() && source.Next(picture, shownFrom, error)) {
    if (pictures > 0) giveUntil(shownFrom, false);
    if (next == targets.size()) break;
    if (!source.FitInto(fit, PixelAspect, 0, held.canvas, error)) return false;
    held.matched = false;
    // Targets before the first picture get the first.
    if (pictures++ == 0) giveUntil(shownFrom, false);
  }
  if (!error.empty()) return false;
  if (pictures == 0) {
    error = "has no picture that can be decoded" + std::string(start > 0 ? " from --start on" : "");
    return false;
  }
  end = shownFrom + source.LastDuration();
  giveUntil(end, last || pictures == 1);
  left.assign(targets.begin() + static_cast<std::ptrdiff_t>(next), targets.end());
  return true;
}

}  // namespace

void MatchCanvas(const CellMatcher& matcher, const Canvas& canvas, ScreenCells& cells) {
  auto image = std::make_unique<PixelImage>();
  std::fill(std::begin(image->pixels), std::end(image->pixels), PackRgba(Rgb{0, 0, 0}));
  for (size_t i = 0; i < canvas.pixels.size(); ++i) {
    const uint32_t p = canvas.pixels[i];
    const uint32_t alpha = p >> 24;
    auto over = [&](int shift) { return ((p >> shift & 0xFF) * alpha + 127) / 255; };
    image->pixels[i] = PackRgba(Rgb{static_cast<uint8_t>(over(0)), static_cast<uint8_t>(over(8)),
                                    static_cast<uint8_t>(over(16))});
  }
  const int rows = canvas.height / GlyphSize;
  const int half = rows / 2;
  std::thread other([&] { matcher.MatchRows(*image, half, rows, cells); });
  matcher.MatchRows(*image, 0, half, cells);
  other.join();
}

bool PicturesToFrames(const std::string& path, const Timing& timing, Fit fit,
                      const CellMatcher& matcher, const Progress& progress,
                      std::vector<datagen::Frame>& frames, std::string& error) {
  frames.assign(static_cast<size_t>(timing.frames), datagen::Frame{});
  std::vector<Target> targets;
  for (int k = 0; k < timing.frames; ++k) targets.push_back({k, timing.start + k * timing.cadence});
  std::vector<Target> left;
  double end = 0;
  int done = 0;
  if (!Pass(path, timing.start, fit, matcher, targets, false, progress, done, frames, left, end,
            error))
    return false;
  if (left.empty()) return true;
  if (end <= timing.start) {
    char text[96];
    std::snprintf(text, sizeof text, "is %.3f s long: --start %.3f is past its end", end,
                  timing.start);
    error = text;
    return false;
  }
  // A source shorter than the animation plays again from the start.
  const double length = std::max(end - timing.start, 1e-3);
  for (Target& t : left) t.time = timing.start + std::fmod(t.time - timing.start, length);
  std::stable_sort(left.begin(), left.end(),
                   [](const Target& a, const Target& b) { return a.time < b.time; });
  std::vector<Target> none;
  return Pass(path, timing.start, fit, matcher, left, true, progress, done, frames, none, end,
              error);
}

bool PictureToOverlay(const std::string& path, double start, Fit fit, const CellMatcher& matcher,
                      datagen::Frame& overlay, std::string& error) {
  PictureSource source;
  if (!source.Open(path, start, error)) return false;
  const AVFrame* picture = nullptr;
  double shownFrom = 0, wanted = -1;
  Canvas strip;
  strip.width = 640;
  strip.height = OverlayRows * GlyphSize;
  strip.pixels.resize(static_cast<size_t>(strip.width) * strip.height);
  // The picture shown at `start`: the last one that starts by then, or the
  // first.
  while (source.Next(picture, shownFrom, error)) {
    if (wanted >= 0 && shownFrom > start) break;
    if (!source.FitInto(fit, PixelAspect, 0, strip, error)) return false;
    wanted = shownFrom;
  }
  if (!error.empty()) return false;
  if (wanted < 0) {
    error = "has no picture that can be decoded";
    return false;
  }
  auto grid = std::make_unique<Grid>();
  ScreenCells& cells = grid->cells;
  MatchCanvas(matcher, strip, cells);
  for (int i = 0; i < ScreenCellCount; ++i) {
    Cell& cell = cells[i];
    if (i >= OverlayRows * ScreenWidth) {
      cell = {Transparent, 0};
      continue;
    }
    int clear = 0;
    const int x0 = i % ScreenWidth * GlyphSize, y0 = i / ScreenWidth * GlyphSize;
    for (int y = 0; y < GlyphSize; ++y)
      for (int x = 0; x < GlyphSize; ++x)
        clear += (strip.pixels[(y0 + y) * strip.width + x0 + x] >> 24) < 128;
    if (clear * 2 > GlyphSize * GlyphSize) {
      cell = {Transparent, 0};
    } else if (cell.Char == Transparent) {
      cell.Char = OpaqueBlank;
    }
  }
  overlay = FrameOf(cells);
  return true;
}

}  // namespace cellshow::convert
