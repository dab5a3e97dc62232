// The vertex tables, played through the real wireframe scenes of a whole show
// run: no vertex may reach the viewer's plane, and the models must be in view
// for the figures that the show is designed for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "show_data.h"
#include "support/show_run.h"

namespace cellshow {
namespace {

using namespace cellshow::datagen;

// Cells painted by the wireframe scenes: bright white full blocks.
int LitCells(const Record& r) {
  int lit = 0;
  for (int k = 0; k < 4000; ++k) lit += r.cells[2 * k] == 219 && r.cells[2 * k + 1] == 15;
  return lit;
}

// One presented frame of a wireframe scene.
struct WireFrame {
  int lit = 0;
  int nearestZ = 0;  // the smallest whole-unit z of the scene's view vertices
  std::vector<Vertex> view;
};

struct WireframeRun {
  std::vector<WireFrame> spin, flight;  // scenes 6 and 8
};

// Plays the whole show with the generated vertex tables (the other files
// missing: the wireframe scenes read nothing else) and keeps every frame of
// scenes 6 and 8 with the view vertices that the scene projected for it.
WireframeRun PlayWireframes() {
  test::ShowRun run;
  run.host.files[Lc1FileName] = VertexTableBytes(MakeModelA());
  run.host.files[Lc2FileName] = VertexTableBytes(MakeModelB());
  run.host.files[Lc3FileName] = VertexTableBytes(MakeModelC());
  run.host.keyAfterPolls = 1 << 30;
  StartUp(*run.show);
  WireframeRun out;
  while (run.host.exitCode < 0 && run.host.tick < 5000) {
    const size_t before = run.host.records.size();
    run.host.RunTick();
    const uint8_t scene = run.show->seq.CurrentScene;
    if ((scene != 6 && scene != 8) || run.host.records.size() == before) continue;
    const Wireframes& w = run.show->wire;
    WireFrame f;
    f.lit = LitCells(run.host.records.back());
    f.view.assign(w.ViewVertices, w.ViewVertices + ViewVertexCount);
    f.nearestZ =
        std::min_element(f.view.begin(), f.view.end(), [](const Vertex& a, const Vertex& b) {
          return a.z < b.z;
        })->z;
    (scene == 6 ? out.spin : out.flight).push_back(f);
    run.host.records.clear();  // a whole show of frames is 16 MB otherwise
  }
  return out;
}

struct Visibility {
  int minLit = 1 << 30;
  int framesWith20 = 0;
  int framesInSight = 0;  // frames with any lit cell
  int frames = 0;
  int nearestZ = 1 << 30;
};

Visibility Measure(const std::vector<WireFrame>& frames, size_t count) {
  Visibility v;
  for (size_t i = 0; i < count && i < frames.size(); ++i) {
    v.minLit = std::min(v.minLit, frames[i].lit);
    v.framesWith20 += frames[i].lit >= 20;
    v.framesInSight += frames[i].lit > 0;
    v.nearestZ = std::min(v.nearestZ, frames[i].nearestZ);
    ++v.frames;
  }
  return v;
}

void Report(const char* what, const Visibility& v) {
  std::printf(
      "%s: %d frames, at least %d lit cells each, %d (%d%%) with 20 or more, %d (%d%%) in sight; "
      "nearest z %d\n",
      what, v.frames, v.minLit, v.framesWith20, 100 * v.framesWith20 / v.frames, v.framesInSight,
      100 * v.framesInSight / v.frames, v.nearestZ);
}

TEST(VertexTables, LittleEndianTriplesOfTheRightLength) {
  const std::vector<uint8_t> bytes = VertexTableBytes({{1024, -1, 0x12345678}});
  const std::vector<uint8_t> expected = {0x00, 0x04, 0x00, 0x00, 0xff, 0xff,
                                         0xff, 0xff, 0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(bytes, expected);
  struct Table {
    const char* name;
    std::vector<Vertex> model;
    size_t bytes;
  };
  const Table tables[] = {{"lc1.txt", MakeModelA(), 120},
                          {"lc2.txt", MakeModelB(), 96},
                          {"lc3.txt", MakeModelC(), 216}};
  for (const Table& t : tables) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(VertexTableBytes(t.model).size(), t.bytes);
    // Every edge has length: no pair of ends coincides.
    for (size_t v = 0; v + 1 < t.model.size(); v += 2)
      EXPECT_FALSE(t.model[v].x == t.model[v + 1].x && t.model[v].y == t.model[v + 1].y &&
                   t.model[v].z == t.model[v + 1].z)
          << "edge " << v / 2;
  }
}

// Both scenes in one show run: the figures are printed for the record.
TEST(Wireframes, TheModelsStayInViewAndNeverReachTheViewer) {
  const WireframeRun run = PlayWireframes();
  ASSERT_EQ(run.spin.size(), 120u);
  ASSERT_EQ(run.flight.size(), 190u);
  for (const auto* frames : {&run.spin, &run.flight})
    for (size_t i = 0; i < frames->size(); ++i)
      ASSERT_GT((*frames)[i].nearestZ, -ViewDistance)
          << (frames == &run.spin ? "scene 6" : "scene 8") << " frame " << i + 1;

  // Scene 6: the star orbiting the left edge and the diamond spinning on the
  // right show at least 20 cells in every frame.
  const Visibility spin = Measure(run.spin, 120);
  Report("scene 6, frames 1-120", spin);
  EXPECT_GE(spin.minLit, 20);
  // Scene 8: the prism rolls round a pivot at the foot of the screen; before
  // the fly-off it is in sight in 70% of the frames, and shows 20 cells or
  // more in 60%.
  const Visibility turning = Measure(run.flight, 130);
  Report("scene 8, frames 1-130", turning);
  EXPECT_GE(turning.framesInSight, 130 * 70 / 100);
  EXPECT_GE(turning.framesWith20, 130 * 60 / 100);
  Report("scene 8, frames 1-190", Measure(run.flight, 190));

  // The prism stands upright and whole on the grid when the fly-off takes
  // it: its first vertex (the ridge) is above its last (a base corner).
  const WireFrame& lastTurn = run.flight[129];
  EXPECT_GE(lastTurn.lit, 60);
  EXPECT_LT(lastTurn.view[0].y, lastTurn.view[17].y);
  // The fly-off throws it up out of view; it falls back through the screen
  // before the scene ends.
  EXPECT_EQ(run.flight[145].lit, 0);
  int litAfter = 0;
  for (size_t i = 150; i < 189; ++i) litAfter += run.flight[i].lit;
  EXPECT_GT(litAfter, 0);
}

}  // namespace
}  // namespace cellshow
