// The scaled view on the default show's recorded frames: the time of a
// scaled frame (transform plus encode) and its bytes per present at 80x24,
// against today's glyph grid at 80x50, in one run; and how far each colour
// depth's picture is from the 24-bit one, in OKLab.
//
// Frames: the presents of the recording named by CELLSHOW_RECORDING, else a
// recording made now by the built program with the default data.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "render/ansi/frame_encoder.h"
#include "render/ansi/grid_encoder.h"
#include "render/ansi/terminal_view.h"
#include "render/scaled/oklab.h"
#include "render/scaled/scaled_view.h"
#include "render/scaled/srgb.h"
#include "support/show_frames.h"

namespace cellshow {
namespace {

using Frames = bench::ShowFrames;
const Frames& ShowFrames() { return bench::DefaultShowFrames("scaled_bench"); }

// Bytes over one pass of the show.
size_t ViewBytes(TerminalSize size, const TerminalCapabilities& capabilities) {
  auto view = std::make_unique<TerminalView>(capabilities, FitMode::Auto);
  std::vector<char> out(TerminalView::MaxFrameBytes);
  size_t bytes = 0;
  for (const auto& f : ShowFrames()) bytes += view->Encode(f->cells, size, out.data());
  return bytes;
}

void PrintBytes() {
  const double presents = static_cast<double>(ShowFrames().size());
  const double glyphs16 = static_cast<double>(ViewBytes({80, 50}, {ColorDepth::Sixteen}));
  const double glyphs24 = static_cast<double>(ViewBytes({80, 50}, {ColorDepth::TrueColor}));
  std::printf("bytes per present over %.0f presents\n", presents);
  std::printf("  %-34s %10.1f\n", "glyph grid 80x50, 16 colours", glyphs16 / presents);
  std::printf("  %-34s %10.1f\n", "glyph grid 80x50, 24-bit", glyphs24 / presents);
  struct Row {
    const char* name;
    TerminalSize size;
    TerminalCapabilities capabilities;
  };
  const Row rows[] = {
      {"scaled 80x24, 24-bit", {80, 24}, {ColorDepth::TrueColor}},
      {"scaled 80x24, 24-bit, no bce", {80, 24}, {ColorDepth::TrueColor, GlyphSet::Unicode, false}},
      {"scaled 80x24, 256 colours", {80, 24}, {ColorDepth::Xterm256}},
      {"scaled 80x24, 16 colours", {80, 24}, {ColorDepth::Sixteen}},
      {"scaled 80x24, 8 colours, no bce", {80, 24}, {ColorDepth::Eight, GlyphSet::Unicode, false}},
      {"scaled 80x24, 24-bit, ASCII", {80, 24}, {ColorDepth::TrueColor, GlyphSet::Ascii}},
      {"scaled 120x40, 24-bit", {120, 40}, {ColorDepth::TrueColor}},
      {"scaled 40x12, 24-bit", {40, 12}, {ColorDepth::TrueColor}},
  };
  for (const Row& row : rows) {
    const double bytes = static_cast<double>(ViewBytes(row.size, row.capabilities)) / presents;
    std::printf("  %-34s %10.1f  (%.3f of the 80x50 16-colour grid)\n", row.name, bytes,
                bytes / (glyphs16 / presents));
  }
  std::fflush(stdout);
}

// The mean OKLab distance of each colour depth's scaled picture (80x24, half
// blocks, every present) from the 24-bit one: pixel by pixel, and over the
// 4x4 tiles of the ordered dither (each tile's pixels averaged in linear
// light, as the eye mixes them from a little way off).
void PrintOkLabError() {
  constexpr int Tile = 4;
  struct Light {
    double r = 0, g = 0, b = 0;
  };
  const auto add = [](Light& sum, Rgb c) {
    sum.r += SrgbToLinear(c.r);
    sum.g += SrgbToLinear(c.g);
    sum.b += SrgbToLinear(c.b);
  };
  const auto lab = [](const Light& sum, double n) {
    return LinearToOkLab(static_cast<float>(sum.r / n), static_cast<float>(sum.g / n),
                         static_cast<float>(sum.b / n));
  };
  std::printf("mean OKLab distance from the 24-bit picture, scaled 80x24\n");
  std::printf("  %-14s %10s %10s\n", "", "per pixel", "4x4 tiles");
  const ColorDepth depths[] = {ColorDepth::Xterm256, ColorDepth::Sixteen, ColorDepth::Eight};
  const char* const names[] = {"256 colours", "16 colours", "8 colours"};
  for (int d = 0; d < 3; ++d) {
    auto exact = std::make_unique<ScaledView>();
    auto reduced = std::make_unique<ScaledView>();
    const ScaledBox& box = exact->Fit(80, 24, true);
    reduced->Fit(80, 24, true);
    const int width = box.columns, height = box.rows * 2;
    std::vector<RgbCell> a(static_cast<size_t>(box.columns * box.rows)), b(a.size());
    std::vector<Rgb> pa(static_cast<size_t>(width * height)), pb(pa.size());
    double pixelSum = 0, tileSum = 0;
    size_t pixels = 0, tiles = 0;
    for (const auto& f : ShowFrames()) {
      exact->Render(f->cells, ColorDepth::TrueColor, a.data());
      reduced->Render(f->cells, depths[d], b.data());
      for (int i = 0; i < box.columns * box.rows; ++i) {
        const int x = i % width, y = i / width * 2;
        pa[y * width + x] = a[i].fg;
        pa[(y + 1) * width + x] = a[i].bg;
        pb[y * width + x] = b[i].fg;
        pb[(y + 1) * width + x] = b[i].bg;
      }
      for (size_t i = 0; i < pa.size(); ++i)
        pixelSum += std::sqrt(DistanceSquared(ToOkLab(pa[i]), ToOkLab(pb[i])));
      pixels += pa.size();
      for (int ty = 0; ty + Tile <= height; ty += Tile) {
        for (int tx = 0; tx + Tile <= width; tx += Tile) {
          Light sa, sb;
          for (int y = ty; y < ty + Tile; ++y) {
            for (int x = tx; x < tx + Tile; ++x) {
              add(sa, pa[y * width + x]);
              add(sb, pb[y * width + x]);
            }
          }
          tileSum += std::sqrt(DistanceSquared(lab(sa, Tile * Tile), lab(sb, Tile * Tile)));
          ++tiles;
        }
      }
    }
    std::printf("  %-14s %10.4f %10.4f\n", names[d], pixelSum / static_cast<double>(pixels),
                tileSum / static_cast<double>(tiles));
  }
  std::fflush(stdout);
}

ColorDepth DepthArg(int64_t arg) {
  return arg == 24    ? ColorDepth::TrueColor
         : arg == 256 ? ColorDepth::Xterm256
         : arg == 16  ? ColorDepth::Sixteen
                      : ColorDepth::Eight;
}

// One iteration is one present at 80x24, walking the show in order:
// transform and encode, as the terminal writer does them.
void BM_ScaledFrame(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  auto view =
      std::make_unique<TerminalView>(TerminalCapabilities{DepthArg(state.range(0))}, FitMode::Auto);
  std::vector<char> out(TerminalView::MaxFrameBytes);
  size_t i = 0, bytes = 0;
  for (auto _ : state) {
    bytes += view->Encode(frames[i]->cells, {80, 24}, out.data());
    benchmark::DoNotOptimize(out.data());
    if (++i == frames.size()) i = 0;
  }
  state.counters["bytes/present"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ScaledFrame)->ArgName("colors")->Arg(24)->Arg(256)->Arg(16)->Arg(8);

// The transform alone, and the encode alone of frames transformed beforehand.
void BM_ScaledTransform(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  auto view = std::make_unique<ScaledView>();
  const ScaledBox& box = view->Fit(80, 24, true);
  std::vector<RgbCell> cells(static_cast<size_t>(box.columns * box.rows));
  size_t i = 0;
  for (auto _ : state) {
    view->Render(frames[i]->cells, ColorDepth::TrueColor, cells.data());
    benchmark::DoNotOptimize(cells.data());
    if (++i == frames.size()) i = 0;
  }
}
BENCHMARK(BM_ScaledTransform);

void BM_ScaledEncode(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  auto view = std::make_unique<ScaledView>();
  const ScaledBox& box = view->Fit(80, 24, true);
  const size_t perFrame = static_cast<size_t>(box.columns * box.rows);
  std::vector<RgbCell> cells(perFrame * frames.size());
  for (size_t k = 0; k < frames.size(); ++k) {
    view->Render(frames[k]->cells, ColorDepth::TrueColor, &cells[k * perFrame]);
  }
  auto encoder = std::make_unique<GridEncoder>(TerminalCapabilities{ColorDepth::TrueColor});
  std::vector<char> out(GridEncoder::MaxFrameBytes);
  const GridPlace place{box.columns, box.rows, box.left, box.top};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(encoder->Encode(&cells[i * perFrame], place, {80, 24}, out.data()));
    if (++i == frames.size()) i = 0;
  }
}
BENCHMARK(BM_ScaledEncode);

// Today's glyph grid at 80x50 in 16 colours, for the ratio.
void BM_GlyphFrame(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  auto encoder = std::make_unique<FrameEncoder>(false);
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(encoder->Encode(frames[i]->cells, {80, 50}, out.data()));
    if (++i == frames.size()) i = 0;
  }
}
BENCHMARK(BM_GlyphFrame);

}  // namespace
}  // namespace cellshow

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cellshow::PrintBytes();
  cellshow::PrintOkLabError();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
