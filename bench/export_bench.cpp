// Whole-show exports by the program, each in a child process of its own:
// wall time as a multiple of real time (the show lasts 64.14 s), CPU time,
// and peak memory (the child's largest resident set).
//
// Next to the MP4, the ffmpeg program encodes the same frames, the pixel
// model's images doubled to 1280x800 RGBA and piped to it raw, with the same
// settings (libx264 veryfast, CRF 16, tune psnr, yuv420p by swscale's area
// averaging with accurate rounding, 1000/17 fps, no sound, as `--mute`).
// The ratio of the two is printed at the end. Set CELLSHOW_FFMPEG to use
// another ffmpeg program than /usr/bin/ffmpeg.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "export/export_run.h"
#include "platform/headless/headless_run.h"
#include "render/pixels/cell_image.h"

namespace cellshow {
namespace {

constexpr double ShowSeconds = 64.14;

struct ChildRun {
  double seconds = 0, cpuSeconds = 0, peakMb = 0;
  int status = -1;
};

// Runs `args` with stdin from `feed` (when given: it writes to the pipe it
// is passed) and stdout and stderr to /dev/null.
ChildRun RunChild(const std::vector<std::string>& args,
                  const std::function<void(int)>& feed = nullptr) {
  int pipeFds[2] = {-1, -1};
  if (feed && pipe(pipeFds) != 0) return {};
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(feed ? pipeFds[0] : null, 0);
    dup2(null, 1);
    dup2(null, 2);
    if (feed) close(pipeFds[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (feed) {
    close(pipeFds[0]);
    signal(SIGPIPE, SIG_IGN);
    feed(pipeFds[1]);
    close(pipeFds[1]);
  }
  ChildRun run;
  rusage usage{};
  wait4(pid, &run.status, 0, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return run;
}

std::string Output(const char* name) { return "/tmp/cellshow-export-bench-" + std::string(name); }

void Report(benchmark::State& state, const ChildRun& run) {
  if (run.status != 0) state.SkipWithError("the program failed");
  state.SetIterationTime(run.seconds);
  state.counters["x_realtime"] = ShowSeconds / run.seconds;
  state.counters["cpu_s"] = run.cpuSeconds;
  state.counters["peak_MB"] = run.peakMb;
}

void BM_Export(benchmark::State& state, const char* name, std::vector<std::string> extra) {
  for (auto _ : state) {
    std::vector<std::string> args = {CELLSHOW_BINARY, "--data", CELLSHOW_DATA_DIR, "--export",
                                     Output(name)};
    args.insert(args.end(), extra.begin(), extra.end());
    Report(state, RunChild(args));
  }
  std::remove(Output(name).c_str());
}

// Every frame's screen of the whole show, as the export sees them.
class Screens : public ExportSink {
 public:
  ExportStatus Begin(const ShowTimeline&, const std::string&) override { return {}; }
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override {
    while (frames.size() <= tick) frames.emplace_back(frames.empty() ? Grid{} : frames.back());
    std::copy(cells, cells + ScreenCellCount, frames.back().cells);
    return {};
  }
  ExportStatus Finish() override { return {}; }
  struct Grid {
    Cell cells[ScreenCellCount];
  };
  std::vector<Grid> frames;
};

void BM_FfmpegProgram(benchmark::State& state) {
  Screens screens;
  SinkFeed feed(screens, -1);
  const uint32_t last = PlayHeadless(CELLSHOW_DATA_DIR, -1, feed);
  (void)feed.Flush();
  while (screens.frames.size() <= last) screens.frames.push_back(screens.frames.back());
  const char* program = std::getenv("CELLSHOW_FFMPEG");
  const std::vector<std::string> args = {program != nullptr ? program : "/usr/bin/ffmpeg",
                                         "-nostdin",
                                         "-y",
                                         "-f",
                                         "rawvideo",
                                         "-pix_fmt",
                                         "rgba",
                                         "-s",
                                         "1280x800",
                                         "-framerate",
                                         "1000/17",
                                         "-i",
                                         "pipe:0",
                                         "-sws_flags",
                                         "area+accurate_rnd",
                                         "-pix_fmt",
                                         "yuv420p",
                                         "-c:v",
                                         "libx264",
                                         "-preset",
                                         "veryfast",
                                         "-crf",
                                         "16",
                                         "-tune",
                                         "psnr",
                                         "-aspect",
                                         "4:3",
                                         Output("ffmpeg.mp4")};
  for (auto _ : state) {
    Report(state, RunChild(args, [&](int fd) {
             auto image = std::make_unique<PixelImage>();
             std::vector<uint32_t> doubled(1280 * 800);
             for (const Screens::Grid& grid : screens.frames) {
               RenderCells(grid.cells, *image);
               for (int y = 0; y < 800; ++y)
                 for (int x = 0; x < 1280; ++x)
                   doubled[y * 1280 + x] = image->pixels[(y / 2) * ImageWidth + x / 2];
               const char* bytes = reinterpret_cast<const char*>(doubled.data());
               for (size_t left = doubled.size() * 4; left > 0;) {
                 const ssize_t n = write(fd, bytes, left);
                 if (n <= 0) return;
                 bytes += n;
                 left -= static_cast<size_t>(n);
               }
             }
           }));
  }
  std::remove(Output("ffmpeg.mp4").c_str());
}

#define EXPORT_BENCH(label, file, ...)                                             \
  BENCHMARK_CAPTURE(BM_Export, label, file, std::vector<std::string>{__VA_ARGS__}) \
      ->Iterations(1)                                                              \
      ->UseManualTime()                                                            \
      ->Unit(benchmark::kSecond)

EXPORT_BENCH(mp4, "show.mp4");
EXPORT_BENCH(mp4_mute, "mute.mp4", "--mute");
BENCHMARK(BM_FfmpegProgram)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
EXPORT_BENCH(mkv, "show.mkv");
EXPORT_BENCH(webm, "show.webm");
EXPORT_BENCH(gif, "show.gif");
EXPORT_BENCH(png, "show.png", "--at", "40");
EXPORT_BENCH(cast, "show.cast");

class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace
}  // namespace cellshow

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cellshow::TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& t = reporter.seconds;
  const auto ours = t.find("BM_Export/mp4_mute/iterations:1/manual_time");
  const auto theirs = t.find("BM_FfmpegProgram/iterations:1/manual_time");
  if (ours != t.end() && theirs != t.end())
    std::printf("mp4 (--mute) / ffmpeg program on the same frames: %.2f\n",
                ours->second / theirs->second);
  benchmark::Shutdown();
  return 0;
}
