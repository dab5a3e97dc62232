// Time to render one frame of the show to the 640x400 pixel image (RGBA and
// colour indices), next to the terminal encoder on the same frames, with the
// ratio printed at the end.
//
// Frames: the presents of the default show, recorded in-process from the
// data the build makes; CELLSHOW_RECORDING names another recording (made with
// `cellshow --record FILE`).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/ansi/frame_encoder.h"
#include "render/pixels/cell_image.h"
#include "support/show_frames.h"

namespace cellshow {
namespace {

const bench::ShowFrames& Frames() { return bench::DefaultShowFrames("pixels_bench"); }

// One iteration is one frame, walking the show in order.
template <typename Image, void (*Render)(const ScreenCells&, Image&)>
void BM_Render(benchmark::State& state) {
  const auto& frames = Frames();
  auto image = std::make_unique<Image>();
  size_t i = 0;
  for (auto _ : state) {
    Render(frames[i]->cells, *image);
    benchmark::DoNotOptimize(image->pixels);
    benchmark::ClobberMemory();
    if (++i == frames.size()) i = 0;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * sizeof(Image));
}
BENCHMARK(BM_Render<PixelImage, RenderCells>)->Name("RenderCells");
BENCHMARK(BM_Render<IndexImage, RenderCellIndices>)->Name("RenderCellIndices");

// The encoder as the terminal writer runs it: every frame against the one
// before, on an 80x50 terminal.
void BM_Encoder(benchmark::State& state) {
  const auto& frames = Frames();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  FrameEncoder encoder(state.range(0) != 0);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(encoder.Encode(frames[i]->cells, {80, 50}, out.data()));
    if (++i == frames.size()) i = 0;
  }
}
BENCHMARK(BM_Encoder)->ArgName("truecolor")->Arg(0)->Arg(1);

// Keeps each run's time per frame for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        perFrameNs[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> perFrameNs;
};

}  // namespace
}  // namespace cellshow

int main(int argc, char** argv) {
  using namespace cellshow;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf(
      "frames: %zu presents of %s\n", Frames().size(),
      std::getenv("CELLSHOW_RECORDING") ? std::getenv("CELLSHOW_RECORDING") : "the default show");
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.perFrameNs;
  for (const char* render : {"RenderCells", "RenderCellIndices"}) {
    for (const char* encoder : {"BM_Encoder/truecolor:0", "BM_Encoder/truecolor:1"}) {
      if (t.count(render) && t.count(encoder))
        std::printf("%s / %s: %.2f\n", render, encoder, t.at(render) / t.at(encoder));
    }
  }
  benchmark::Shutdown();
  return 0;
}
