// The converter, in one run:
// - matching a 640x400 frame, one thread and two (half the rows each),
//   against trying all 65,536 choices for a sample of its cells (the same
//   cells, checked here), on the sample photographs; the ratio is printed;
// - `cellshow-data convert` of a 10 s video into hit.img (142 frames shown),
//   decoding included, by the program;
// - picture quality against chafa 1.12 with the same 16 colours and only
//   glyphs code page 437 has, at 80x50 on the same 640x400 pixels, both
//   rendered back through the pixel model: PSNR over sRGB and over OKLab,
//   chafa's best of a few settings (its own glyph shapes or the VGA font,
//   RGB or DIN99d colour matching, with and without its preprocessing).
//
// Needs: the sample photographs (make bench fetches them into
// build/sample-images; CELLSHOW_SAMPLE_IMAGES names another folder) and
// chafa (make bench installs it) for the last part.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "picture_frames.h"
#include "render/match/cell_matcher.h"
#include "support/convert_pictures.h"

namespace cellshow {
namespace {

using bench::SamplePictures;

struct Grid {
  ScreenCells cells;
};

std::unique_ptr<PixelImage> ImageOf(const convert::Canvas& canvas) {
  auto image = std::make_unique<PixelImage>();
  for (int i = 0; i < ImagePixels; ++i) image->pixels[i] = canvas.pixels[i] | 0xFF000000u;
  return image;
}

const CellMatcher& Matcher() {
  static const CellMatcher matcher;
  return matcher;
}

// One frame an iteration, over the sample pictures in turn.
void BM_MatchFrame(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  std::vector<std::unique_ptr<PixelImage>> images;
  for (const auto& p : SamplePictures()) images.push_back(ImageOf(p.canvas));
  auto grid = std::make_unique<Grid>();
  size_t next = 0;
  for (auto _ : state) {
    const PixelImage& image = *images[next++ % images.size()];
    if (threads == 1) {
      Matcher().MatchRows(image, 0, ScreenHeight, grid->cells);
    } else {
      std::thread other([&] { Matcher().MatchRows(image, 25, ScreenHeight, grid->cells); });
      Matcher().MatchRows(image, 0, 25, grid->cells);
      other.join();
    }
    benchmark::DoNotOptimize(grid->cells[0]);
  }
}
BENCHMARK(BM_MatchFrame)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// One cell an iteration by trying every choice, over a sample of 50 cells
// of each picture; ms_per_frame is the time for 4000. Every result is held
// to the matcher's.
void BM_TryEveryChoice(benchmark::State& state) {
  std::vector<LabBlock> blocks;
  for (const auto& p : SamplePictures()) {
    const auto image = ImageOf(p.canvas);
    for (int k = 0; k < 50; ++k) {
      LabBlock block;
      BlockAt(*image, (k * 37) % ScreenWidth, (k * 13) % ScreenHeight, block);
      blocks.push_back(block);
    }
  }
  size_t next = 0, differ = 0;
  for (auto _ : state) {
    const LabBlock& block = blocks[next++ % blocks.size()];
    const CellChoice tried = MatchByTrying(block);
    differ += !(tried == Matcher().Match(block));
  }
  // The elapsed seconds x 4000 x 1000 / iterations.
  state.counters["ms_per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / 4e6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["cells_differ"] = static_cast<double>(differ);
}
BENCHMARK(BM_TryEveryChoice)->Iterations(250)->UseRealTime()->Unit(benchmark::kMillisecond);

// The program converting a 10 s video into hit.img.
void BM_VideoToAnimation(benchmark::State& state) {
  const std::string video = "/tmp/cellshow-convert-bench.mp4";
  const std::string folder = "/tmp/cellshow-convert-bench";
  const std::string dest = folder + "/hit.img";
  std::system(("mkdir -p " + folder).c_str());
  if (!bench::WritePanningVideo(video, 10)) {
    state.SkipWithError("cannot write the test video");
    return;
  }
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(
        ("'" + std::string(CELLSHOW_DATA_TOOL) + "' convert " + video + " " + dest + " >/dev/null")
            .c_str());
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (status != 0) state.SkipWithError("cellshow-data convert failed");
  }
  std::remove(video.c_str());
  std::remove(dest.c_str());
  std::remove(folder.c_str());
}
BENCHMARK(BM_VideoToAnimation)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

void PrintQuality() {
  const std::string png = "/tmp/cellshow-convert-bench.png";
  const std::string bdf = "/tmp/cellshow-convert-bench-vga.bdf";
  const bool haveFont = bench::WriteVgaBdf(bdf);
  std::printf(
      "\nquality at 80x50, rendered through the pixel model (PSNR, dB; higher is better)\n");
  std::printf("  %-18s %9s %9s   %9s %9s   %s\n", "picture", "ours RGB", "chafa RGB", "ours OKLab",
              "chafa OKLab", "chafa's best settings");
  const std::vector<std::vector<std::string>> settings = {
      {"-w", "9"},
      {"-w", "9", "--color-space", "din99d"},
      {"-w", "9", "-p", "off"},
      {"-w", "9", "--color-space", "din99d", "-p", "off"},
  };
  for (const auto& picture : SamplePictures()) {
    auto grid = std::make_unique<Grid>();
    auto image = std::make_unique<PixelImage>();
    convert::MatchCanvas(Matcher(), picture.canvas, grid->cells);
    RenderCells(grid->cells, *image);
    const double oursRgb = bench::PsnrRgb(*image, picture.canvas);
    const double oursLab = bench::PsnrOkLab(*image, picture.canvas);
    double chafaRgb = 0, chafaLab = 0;
    std::string best = "chafa failed or is missing";
    if (bench::WritePng(png, picture.canvas)) {
      for (int font = 0; font < (haveFont ? 2 : 1); ++font)
        for (std::vector<std::string> s : settings) {
          if (font == 1) s.insert(s.end(), {"--glyph-file", bdf});
          if (!bench::ChafaCells(png, s, grid->cells)) continue;
          RenderCells(grid->cells, *image);
          const double rgb = bench::PsnrRgb(*image, picture.canvas);
          if (rgb > chafaRgb) {
            chafaRgb = rgb;
            chafaLab = bench::PsnrOkLab(*image, picture.canvas);
            best.clear();
            for (const std::string& word : s)
              best += (best.empty() ? "" : " ") + (word == bdf ? "VGA.bdf" : word);
          }
        }
    }
    std::printf("  %-18s %9.2f %9.2f   %9.2f %9.2f   %s\n", picture.name.c_str(), oursRgb, chafaRgb,
                oursLab, chafaLab, best.c_str());
  }
  std::remove(png.c_str());
  std::remove(bdf.c_str());
}

class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      seconds[run.benchmark_name()] = run.GetAdjustedRealTime();
      for (const auto& [name, counter] : run.counters)
        counters[run.benchmark_name() + "/" + name] = counter;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds, counters;
};

}  // namespace
}  // namespace cellshow

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cellshow::TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.seconds;
  const auto one = t.find("BM_MatchFrame/1/real_time");
  const auto two = t.find("BM_MatchFrame/2/real_time");
  const auto tried =
      reporter.counters.find("BM_TryEveryChoice/iterations:250/real_time/ms_per_frame");
  if (one != t.end() && two != t.end() && tried != reporter.counters.end()) {
    std::printf(
        "matching a frame: %.1f ms (one thread), %.1f ms (two); trying every choice: %.0f ms\n",
        one->second, two->second, tried->second);
    std::printf("  faster than trying every choice: %.0fx (one thread), %.0fx (two)\n",
                tried->second / one->second, tried->second / two->second);
  }
  if (std::getenv("CELLSHOW_BENCH_NO_QUALITY") == nullptr) cellshow::PrintQuality();
  benchmark::Shutdown();
  return 0;
}
