// The vertex tables, played through both wireframe scenes with the show's
// fixed-point math: no vertex may reach the viewer's plane, and the models
// must be on the grid for much of each scene.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show_data.h"
#include "wireframe_sim.h"

namespace cellshow {
namespace {

using namespace cellshow::datagen;
using test::EdgeCells;
using test::Project;
using test::ViewFrame;

// Reads a vertex table the way start-up does: three little-endian int32 per
// vertex.
std::vector<Vertex> ReadTable(const std::vector<uint8_t>& bytes) {
  auto word = [&](size_t at) {
    return static_cast<int32_t>(uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 |
                                uint32_t{bytes[at + 2]} << 16 | uint32_t{bytes[at + 3]} << 24);
  };
  std::vector<Vertex> vertices;
  for (size_t at = 0; at + 12 <= bytes.size(); at += 12)
    vertices.push_back({word(at), word(at + 4), word(at + 8)});
  return vertices;
}

bool OnGrid(const Vertex& v) {
  const int32_t x = Project(v.x, v.z), y = Project(v.y, v.z);
  return x >= 0 && x < 80 && y >= 0 && y < 50;
}

// How a range of edges fares over the frames of a scene.
struct Coverage {
  int frames = 0;
  int wholeFrames = 0;   // frames in which every edge has both ends on the grid
  int edgeFrames = 0;    // (frame, edge) pairs
  int paintedEdges = 0;  // pairs whose edge paints at least one cell
};

Coverage Measure(const std::vector<ViewFrame>& frames, size_t first, size_t last, size_t from,
                 size_t to) {
  Coverage c;
  for (size_t f = first; f <= last; ++f) {
    const ViewFrame& view = frames[f - 1];
    bool whole = true;
    for (size_t v = from; v < to; v += 2) {
      ++c.edgeFrames;
      c.paintedEdges += !EdgeCells(view[v], view[v + 1]).empty();
      whole = whole && OnGrid(view[v]) && OnGrid(view[v + 1]);
    }
    ++c.frames;
    c.wholeFrames += whole;
  }
  return c;
}

void ExpectNothingReachesTheViewer(const std::vector<ViewFrame>& frames) {
  for (size_t f = 0; f < frames.size(); ++f)
    for (size_t v = 0; v < frames[f].size(); ++v)
      ASSERT_GT(frames[f][v].z + 40, 0) << "frame " << f + 1 << ", vertex " << v;
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

TEST(Wireframes, SpinSceneKeepsTheStarAndTheDiamondInView) {
  const std::vector<ViewFrame> frames = test::SimulateSpinScene(
      ReadTable(VertexTableBytes(MakeModelA())), ReadTable(VertexTableBytes(MakeModelB())));
  ASSERT_EQ(frames.size(), 120u);
  ExpectNothingReachesTheViewer(frames);

  // The diamond spins in place on the right: whole in every frame.
  const Coverage diamond = Measure(frames, 1, 120, 10, 18);
  EXPECT_EQ(diamond.wholeFrames, 120);
  // The star orbits the left edge of the screen, which is its axis, so it is
  // in view while it swings out to the right: close to half the time.
  const Coverage star = Measure(frames, 1, 120, 0, 10);
  EXPECT_GE(star.wholeFrames, 120 * 35 / 100);
  EXPECT_GE(star.paintedEdges, star.edgeFrames * 45 / 100);
  // The scene starts and ends with both models in view.
  EXPECT_EQ(Measure(frames, 1, 3, 0, 18).paintedEdges, 3 * 9);
  EXPECT_EQ(Measure(frames, 118, 120, 0, 18).paintedEdges, 3 * 9);
  // Taken together, most edges are on the grid.
  EXPECT_GE(star.paintedEdges + diamond.paintedEdges,
            (star.edgeFrames + diamond.edgeFrames) * 2 / 3);
}

TEST(Wireframes, FlightSceneShowsTheWordAndFliesItOffFromView) {
  const std::vector<ViewFrame> frames =
      test::SimulateFlightScene(ReadTable(VertexTableBytes(MakeModelC())));
  ASSERT_EQ(frames.size(), 190u);
  ExpectNothingReachesTheViewer(frames);

  // While it turns (frames 1 to 130) the word rises over the horizon below
  // the screen and goes down again: in view for about half of each turn.
  const Coverage turning = Measure(frames, 1, 130, 0, 18);
  EXPECT_GE(turning.wholeFrames, 130 * 40 / 100);
  EXPECT_GE(turning.paintedEdges, turning.edgeFrames * 45 / 100);
  // It stands whole on the grid when the fly-off takes it, and upright: its
  // first vertex (the top of the F) is above its last (the underline).
  const ViewFrame& last = frames[129];
  EXPECT_EQ(Measure(frames, 128, 131, 0, 18).wholeFrames, 4);
  EXPECT_LT(Project(last[0].y, last[0].z), Project(last[17].y, last[17].z));
  // The fly-off throws it up and away; it falls back through the screen
  // before the scene ends.
  EXPECT_EQ(Measure(frames, 140, 150, 0, 18).paintedEdges, 0);
  EXPECT_GT(Measure(frames, 151, 189, 0, 18).paintedEdges, 0);
}

}  // namespace
}  // namespace cellshow
