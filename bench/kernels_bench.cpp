// The integer kernels: the clipped tracer on short and extreme segments, and
// the kernel work of one wireframe frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "math3d/fixed_point.h"
#include "raster/clipped_tracer.h"
#include "raster/point_list.h"

namespace cellshow {
namespace {

void TraceOne(benchmark::State& state, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  auto points = std::make_unique<Points>();
  for (auto _ : state) {
    ResetPointList(*points);
    TraceClippedLine(*points, x0, y0, x1, y1);
    benchmark::DoNotOptimize(points->PointList);
    benchmark::ClobberMemory();
  }
}

// A typical projected edge, wholly on the grid.
void BM_TraceClippedLine_WireframeEdge(benchmark::State& state) { TraceOne(state, 47, 31, 12, 8); }
BENCHMARK(BM_TraceClippedLine_WireframeEdge);

// An edge that reaches far off the grid (a vertex close to the viewer's plane).
void BM_TraceClippedLine_EdgeFarOff(benchmark::State& state) {
  TraceOne(state, 30, 20, -5'000'000, 84'000'000);
}
BENCHMARK(BM_TraceClippedLine_EdgeFarOff);

// Corner to corner of the grid.
void BM_TraceClippedLine_ScreenSized(benchmark::State& state) { TraceOne(state, 0, 0, 79, 49); }
BENCHMARK(BM_TraceClippedLine_ScreenSized);

// The whole int32 range: must cost about what the screen-sized segment does.
void BM_TraceClippedLine_FullRange(benchmark::State& state) {
  TraceOne(state, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(),
           std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
}
BENCHMARK(BM_TraceClippedLine_FullRange);

// One frame of a wireframe scene's kernel work: 18 vertices moved with a step
// matrix and rounded twice (model and whole-unit copy), 36 projections with
// the view distance 40, 9 edges traced. The model keeps its turn from frame
// to frame, as in the show.
void BM_WireframeFrame(benchmark::State& state) {
  Matrices matrices;
  ComposeSpinMatrices(matrices);
  // 18 vertices in 1024-units within 30 units of the pivot (65, 0, 0) of
  // SpinB, so that z + 40 stays positive; about 140 cells land on the grid
  // per frame.
  int32_t model[18][3];
  for (int i = 0; i < 18; ++i) {
    model[i][0] = (65 - 20 + (i * 11) % 40) * 1024;
    model[i][1] = (5 + (i * 13) % 40) * 1024;
    model[i][2] = ((i * 7) % 40 - 20) * 1024;
  }
  auto points = std::make_unique<Points>();
  int32_t view[18][3];
  for (auto _ : state) {
    ResetPointList(*points);
    for (int i = 0; i < 18; ++i) {
      matrices.VecIn = Vec4{{model[i][0], model[i][1], model[i][2], 1024}};
      VecMatMul(matrices.VecIn, matrices.SpinB, matrices.VecOut);
      for (int c = 0; c < 3; ++c) {
        model[i][c] = RoundToUnits(matrices.VecOut.v[c]);
        view[i][c] = RoundToUnits(model[i][c]);
      }
    }
    int32_t heldX = 0, heldY = 0;
    for (int i = 0; i < 18; ++i) {
      const int32_t depth = WrapAdd(view[i][2], 40);
      if (depth == 0) continue;  // never with this model
      const int32_t projX = WrapMul(view[i][0], 40) / depth;
      const int32_t projY = WrapMul(view[i][1], 40) / depth;
      if (i % 2 == 0) {
        heldX = projX;
        heldY = projY;
      } else {
        TraceClippedLine(*points, projX, projY, heldX, heldY);
      }
    }
    benchmark::DoNotOptimize(points->PointList);
    benchmark::DoNotOptimize(model);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_WireframeFrame);

}  // namespace
}  // namespace cellshow
