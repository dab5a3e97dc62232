// Cost of the scenes' drawing ticks, with a platform that does nothing.
#include <benchmark/benchmark.h>

#include <memory>

#include "show/show.h"

namespace cellshow {
namespace {

class NullPlatform : public Host {
 public:
  void PrepareConsole() override {}
  void PresentScreen(const ScreenCells& screen) override { benchmark::DoNotOptimize(screen[0]); }
  FileHandle OpenFile(const char*) override { return InvalidFile; }
  uint32_t ReadFile(FileHandle, void*, uint32_t) override { return 0; }
  void RewindFile(FileHandle) override {}
  void CloseFile(FileHandle) override {}
  void SendMediaCommand(const char*) override {}
  uint32_t StartTimer(int32_t, int32_t, TickCallback, void*) override { return 1; }
  void KillTimer(uint32_t) override {}
  int32_t KeyHit() override { return 0; }
  void KeepTicksOut() override {}
  void AwaitExit() override {}
  void ExitProcess(int) override {}
};

// One drawn plasma frame: the tick on which the divider reaches 3.
void BM_PlasmaFrame(benchmark::State& state) {
  NullPlatform host;
  auto show = std::make_unique<Show>(host);
  StartUp(*show);
  for (auto _ : state) {
    show->seq.SceneClock = 600;  // both ray groups and the middle picture
    show->seq.PlasmaDivider = 2;
    PlasmaScene(*show);
  }
}
BENCHMARK(BM_PlasmaFrame);

// One frame of the two spinning models: 18 vertex moves, 36 projections and
// 9 traces, then the paint.
void BM_WireframeFrame(benchmark::State& state) {
  NullPlatform host;
  auto show = std::make_unique<Show>(host);
  StartUp(*show);
  // A cube's worth of edges in front of the pivot.
  for (int i = 0; i < ModelAVertices; ++i)
    show->assets.ModelA[i] = {(10 + 3 * i) * 1024, (5 + 4 * (i % 5)) * 1024, (i % 3) * 4096};
  for (int i = 0; i < ModelBVertices; ++i)
    show->assets.ModelB[i] = {(50 + 2 * i) * 1024, (10 + 3 * i) * 1024, (i % 4) * 2048};
  for (auto _ : state) {
    show->seq.TickPhase = 3;
    show->seq.FrameCount = 1;
    SpinScene(*show);
  }
}
BENCHMARK(BM_WireframeFrame);

// The whole show from start-up to its own shutdown, presents discarded.
void BM_WholeShowTicks(benchmark::State& state) {
  class TickingPlatform : public NullPlatform {
   public:
    TickCallback tick = nullptr;
    void* context = nullptr;
    bool ended = false;
    uint32_t StartTimer(int32_t, int32_t, TickCallback t, void* c) override {
      tick = t;
      context = c;
      return 1;
    }
    void ExitProcess(int) override { ended = true; }
  };
  for (auto _ : state) {
    TickingPlatform host;
    auto show = std::make_unique<Show>(host);
    StartUp(*show);
    while (!host.ended) host.tick(host.context);
  }
}
BENCHMARK(BM_WholeShowTicks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cellshow
