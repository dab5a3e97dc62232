// The wireframe scenes: their frame ticks, the turn and the fly-off figures,
// the projection, and the vertex that has no projection.
#include <gtest/gtest.h>

#include <climits>

#include "support/show_run.h"

namespace cellshow {
namespace {

using test::ShowRun;

std::vector<uint8_t> VertexTable(const std::vector<Vertex>& vertices) {
  std::vector<uint8_t> bytes;
  for (const Vertex& v : vertices)
    for (int32_t c : {v.x, v.y, v.z})
      for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(c) >> (8 * i)));
  return bytes;
}

int WhiteCells(const Record* r) {
  int n = 0;
  for (int k = 0; k < 4000; ++k) n += r->cells[2 * k] == 219 && r->cells[2 * k + 1] == 15;
  return n;
}

TEST(Wireframe, FramesComeOnTheirPhaseTicksAndTheFlightBeginsWithFrame131) {
  ShowRun run;
  // ModelC: a vertical bar near the pivot, well in front of the viewer.
  std::vector<Vertex> c(18);
  for (int i = 0; i < 18; ++i) c[i] = {(10 + i) * 1024, (50 + (i % 2) * 10) * 1024, 0};
  run.host.files[Lc3FileName] = VertexTable(c);
  run.host.keyAfterPolls = 1 << 30;
  StartUp(*run.show);
  std::vector<Vertex> atFlyOff, atFlightEnd;
  while (run.host.exitCode < 0 && run.host.tick < 3000) {
    run.host.RunTick();
    const Sequencer& seq = run.show->seq;
    if (seq.CurrentScene == 8 && seq.FrameCount == 130 && atFlyOff.empty())
      atFlyOff.assign(run.show->assets.ModelC, run.show->assets.ModelC + 18);
    if (seq.CurrentScene == 8 && seq.FrameCount == 189 && atFlightEnd.empty())
      atFlightEnd.assign(run.show->assets.ModelC, run.show->assets.ModelC + 18);
  }
  auto spin = run.Presents(2054, 2414);
  ASSERT_EQ(spin.size(), 120u);
  for (size_t i = 0; i < spin.size(); ++i) ASSERT_EQ(spin[i]->tick, 2057 + 3 * i);
  auto flight = run.Presents(2615, 2995);
  ASSERT_EQ(flight.size(), 190u);
  for (size_t i = 0; i < flight.size(); ++i) ASSERT_EQ(flight[i]->tick, 2617 + 2 * i);
  EXPECT_EQ(flight[130]->tick, 2615u + 262);  // the 131st frame, on the 263rd tick

  // The n-th vertex moved in the flight (18 a frame, 59 frames) gains the
  // translation (0, -9216 + 27n, -1024 + 3n) in 1024-units.
  ASSERT_EQ(atFlyOff.size(), 18u);
  ASSERT_EQ(atFlightEnd.size(), 18u);
  for (int k = 0; k < 18; ++k) {
    int32_t dy = 0, dz = 0;
    for (int n = k; n < 59 * 18; n += 18) {
      dy += -9216 + 27 * n;
      dz += -1024 + 3 * n;
    }
    EXPECT_EQ(atFlightEnd[k].x, atFlyOff[k].x);
    EXPECT_EQ(atFlightEnd[k].y - atFlyOff[k].y, dy) << k;
    EXPECT_EQ(atFlightEnd[k].z - atFlyOff[k].z, dz) << k;
  }
  EXPECT_EQ(run.show->matrices.FlightMatrix.at(3, 1), -9216 + 27 * 59 * 18);
  EXPECT_EQ(run.show->matrices.FlightMatrix.at(3, 2), -1024 + 3 * 59 * 18);
  EXPECT_EQ(run.show->wire.FlyOff, 0);
}

TEST(Wireframe, ProjectionHasItsVanishingPointTopLeft) {
  struct Case {
    int32_t x, y, z, column, row;
  };
  for (const Case& c : {Case{40, 25, 0, 40, 25}, Case{80, 50, 40, 40, 25}, Case{-1, -1, 3, 0, 0},
                        Case{10, 20, -60, -20, -40}, Case{2, 0, 0, 2, 0}}) {
    EXPECT_EQ(ProjectAxis(c.x, c.z + ViewDistance), c.column) << c.x << "," << c.z;
    EXPECT_EQ(ProjectAxis(c.y, c.z + ViewDistance), c.row) << c.y << "," << c.z;
  }
  // 2^28 * 40 wraps to INT32_MIN; over the divisor -1 it stays INT32_MIN.
  const int32_t c = 1 << 28;
  EXPECT_EQ(ProjectAxis(c, -1), INT32_MIN);
}

TEST(Wireframe, FirstTurnOfModelAAndCollapsedModels) {
  ShowRun run;
  run.host.keyAfterPolls = 1 << 30;
  StartUp(*run.show);
  // Straight into scene 6 with both of its tables missing (all zeros).
  run.show->seq.ScriptIndex = 6;
  run.show->seq.CurrentScene = 6;
  for (int t = 0; t < 4; ++t) run.host.RunTick();
  ASSERT_EQ(run.host.presents(), 1u);
  const Vertex a0 = run.show->assets.ModelA[0];
  EXPECT_EQ(a0.x, 1780);
  EXPECT_EQ(a0.y, 0);
  EXPECT_EQ(a0.z, 160);
  EXPECT_EQ(run.show->wire.ViewVertices[0].x, 2);
  EXPECT_EQ(run.show->wire.ViewVertices[0].z, 0);
  // Every edge of a model collapses to one point: at most one cell each.
  const Record& f = run.host.records.back();
  EXPECT_EQ(f.cells[2 * 2], 219);  // ModelA's point: column 2, row 0
  EXPECT_LE(WhiteCells(&f), 2);
  for (int t = 0; t < 357; ++t) run.host.RunTick();
  EXPECT_EQ(run.host.presents(), 120u);
  EXPECT_EQ(run.show->seq.AdvancePending, 1);
  for (const Record& r : run.host.records) EXPECT_LE(WhiteCells(&r), 2);
}

TEST(Wireframe, VertexInTheViewersPlaneDropsItsEdgesForThatFrame) {
  // With no table ModelC's zero vertices circle the pivot (0, 60, 10) and
  // cross z = -40; such frames leave the edges out instead of dividing by 0.
  ShowRun run;
  run.host.keyAfterPolls = 1 << 30;
  StartUp(*run.show);
  run.show->seq.ScriptIndex = 8;
  run.show->seq.CurrentScene = 8;
  int dropped = 0, drawn = 0;
  for (int t = 0; t < 381; ++t) {
    const size_t before = run.host.presents();
    run.host.RunTick();
    if (run.host.presents() == before) continue;
    if (run.show->wire.ViewVertices[0].z + ViewDistance == 0) {
      ++dropped;
      EXPECT_EQ(WhiteCells(&run.host.records.back()), 0);
    } else {
      ++drawn;
    }
  }
  EXPECT_GT(dropped, 0);
  EXPECT_EQ(dropped + drawn, 190);
  EXPECT_EQ(run.show->seq.AdvancePending, 1);
}

}  // namespace
}  // namespace cellshow

namespace cellshow {
namespace {

// Vertex tables of any content play both wireframe scenes to their end with
// every painted cell on the grid (the sanitizer build also proves that no
// arithmetic traps or overflows).
TEST(Wireframe, AnyVertexTablesPlayBothScenesToTheirEnd) {
  uint64_t seed = 12345;
  auto next = [&] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(seed >> 32);
  };
  for (int run = 0; run < 60; ++run) {
    test::ShowRun show;
    show.host.keyAfterPolls = 1 << 30;
    StartUp(*show.show);
    Assets& a = show.show->assets;
    auto fill = [&](Vertex* model, int n) {
      for (int i = 0; i < n; ++i) {
        // Alternate between the whole 32-bit range and values near the
        // viewer's plane (whole-unit z around -40).
        if (run % 2) {
          model[i] = {static_cast<int32_t>(next()), static_cast<int32_t>(next()),
                      static_cast<int32_t>(next())};
        } else {
          model[i] = {static_cast<int32_t>(next() % 200000) - 100000,
                      static_cast<int32_t>(next() % 200000) - 100000,
                      -40 * 1024 + static_cast<int32_t>(next() % 4096) - 2048};
        }
      }
    };
    fill(a.ModelA, ModelAVertices);
    fill(a.ModelB, ModelBVertices);
    fill(a.ModelC, ModelCVertices);
    show.show->seq.ScriptIndex = 6;
    show.show->seq.CurrentScene = 6;
    for (int t = 0; t < 361; ++t) show.host.RunTick();
    ASSERT_EQ(show.show->seq.AdvancePending, 1);
    show.show->seq.ScriptIndex = 7;  // the next tick moves on to scene 8
    show.show->seq.TickPhase = 0;    // as scene 1 leaves it
    for (int t = 0; t < 381; ++t) show.host.RunTick();
    ASSERT_EQ(show.show->seq.ScriptIndex, 8);
    ASSERT_EQ(show.show->seq.AdvancePending, 1);
    EXPECT_EQ(show.host.presents(), 120u + 190u);
    for (const Record& r : show.host.records)
      for (int k = 0; k < 4000; ++k)
        ASSERT_TRUE((r.cells[2 * k] == 0 && r.cells[2 * k + 1] == 0) ||
                    (r.cells[2 * k] == 219 && r.cells[2 * k + 1] == 15));
  }
}

}  // namespace
}  // namespace cellshow
