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

#include "platform/headless/headless_platform.h"
#include "platform/headless/recording.h"
#include "render/ansi/frame_encoder.h"
#include "render/pixels/cell_image.h"
#include "show/show.h"

namespace cellshow {
namespace {

struct Frame {
  Cell cells[ScreenCellCount];
};

std::vector<Frame> LoadFrames() {
  std::vector<Record> records;
  std::string error;
  const char* path = std::getenv("CELLSHOW_RECORDING");
  if (path != nullptr && *path != 0) {
    if (!ReadRecordingFile(path, records, error)) {
      std::fprintf(stderr, "pixels_bench: %s: %s\n", path, error.c_str());
      std::exit(2);
    }
  } else {
    std::FILE* file = std::tmpfile();
    {
      RecordingWriter writer(file);
      HeadlessPlatform host(CELLSHOW_DATA_DIR, writer, -1);
      auto show = std::make_unique<Show>(host);
      Start(*show);
    }
    std::vector<uint8_t> bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
    if (!ParseRecording(bytes, records, error)) {
      std::fprintf(stderr, "pixels_bench: %s\n", error.c_str());
      std::exit(2);
    }
  }
  std::vector<Frame> frames;
  for (const Record& r : records) {
    if (r.kind != PresentRecord) continue;
    Frame& f = frames.emplace_back();
    for (int k = 0; k < ScreenCellCount; ++k) f.cells[k] = {r.cells[2 * k], r.cells[2 * k + 1]};
  }
  return frames;
}

const std::vector<Frame>& Frames() {
  static const std::vector<Frame> frames = LoadFrames();
  return frames;
}

// One iteration is one frame, walking the show in order.
template <typename Image, void (*Render)(const ScreenCells&, Image&)>
void BM_Render(benchmark::State& state) {
  const auto& frames = Frames();
  auto image = std::make_unique<Image>();
  size_t i = 0;
  for (auto _ : state) {
    Render(frames[i].cells, *image);
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
    benchmark::DoNotOptimize(encoder.Encode(frames[i].cells, {80, 50}, out.data()));
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
