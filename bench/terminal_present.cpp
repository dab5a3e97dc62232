// What a present costs the tick: the hand-over to the writer thread (a copy
// of the grid, one atomic exchange and a wake-up), with the writer encoding
// and writing to /dev/null meanwhile.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "platform/terminal/frame_writer.h"

namespace cellshow {
namespace {

constexpr char Enter[] = "";

void BM_PresentHandOver(benchmark::State& state) {
  const int fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  auto writer = std::make_unique<FrameWriter>(fd, state.range(0) != 0);
  writer->Start();
  writer->Resume(Enter, 0);
  static ScreenCells screen;
  uint16_t n = 0;
  for (auto _ : state) {
    screen[n % ScreenCellCount] =
        Cell{static_cast<uint16_t>(n & 0xFF), static_cast<uint16_t>(n >> 8 & 0xFF)};
    ++n;
    writer->Present(screen);
  }
  writer->Finish(Enter, 0, 1000);
  const WriterStats stats = writer->Stats();
  state.counters["skipped_share"] =
      stats.presented ? static_cast<double>(stats.skipped) / static_cast<double>(stats.presented)
                      : 0;
  close(fd);
}
BENCHMARK(BM_PresentHandOver)->Arg(0)->Arg(1)->ArgNames({"truecolor"});

}  // namespace
}  // namespace cellshow
