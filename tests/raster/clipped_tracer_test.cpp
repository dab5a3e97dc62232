// The clipped tracer: worked segments.
#include "raster/clipped_tracer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "list_reader.h"

namespace cellshow {
namespace {

using test::Cell;
using test::LineAt;

struct Traced {
  std::vector<uint16_t> cells;
  uint32_t advance;  // entries PointListEnd moved by
};

Traced Trace(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  auto points = std::make_unique<Points>();
  points->PointListEnd = 2 * 3;
  TraceClippedLine(*points, x0, y0, x1, y1);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(points->PointList[i], 0u) << "wrote before its run";
  return {LineAt(*points, 3), points->PointListEnd / 2 - 3};
}

std::vector<uint16_t> Every(int count, int first, int stride) {
  std::vector<uint16_t> cells;
  for (int i = 0; i < count; ++i) cells.push_back(static_cast<uint16_t>(first + i * stride));
  return cells;
}

TEST(ClippedTracer, TracesTheWorkedSegments) {
  struct Case {
    const char* what;
    int32_t x0, y0, x1, y1;
    std::vector<uint16_t> cells;
  };
  const std::vector<Case> cases = {
      {"flat", 0, 0, 5, 2, {0, 1, 82, 83, 164, 165}},
      {"flat, ends swapped", 5, 2, 0, 0, {0, 1, 82, 83, 164, 165}},
      {"half-way error steps at once", 0, 0, 4, 2, {0, 81, 82, 163, 164}},
      {"steep", 0, 0, 2, 5, {0, 80, 161, 241, 322, 402}},
      {"starts off the grid", -3, -1, 3, 1, {0, 1, 82, 83}},
      {"leaves the grid", 78, 48, 83, 51, {3918, 3999}},
      {"single point", 3, 3, 3, 3, {243}},
      {"single point off the grid", -1, 7, -1, 7, {}},
      {"wholly off the grid", -5, -5, -1, -1, {}},
      {"column through the grid", 10, -20, 10, 70, Every(50, Cell(10, 0), 80)},
      {"row through the grid", -100, 25, 200, 25, Every(80, Cell(0, 25), 1)},
      {"right of the grid", 80, 0, 80, 49, {}},
      {"below the grid", 0, 50, 79, 50, {}},
  };
  for (const Case& c : cases) {
    const Traced traced = Trace(c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(traced.cells, c.cells) << c.what;
    EXPECT_EQ(traced.advance, traced.cells.size() + 1) << c.what;
  }

  // Corner to corner: one cell per column, in increasing column order, either way round.
  const std::vector<uint16_t> diagonal = Trace(79, 0, 0, 49).cells;
  EXPECT_EQ(Trace(0, 49, 79, 0).cells, diagonal);
  ASSERT_EQ(diagonal.size(), 80u);
  EXPECT_EQ(diagonal.front(), 3920);
  EXPECT_EQ(diagonal.back(), 79);
  for (size_t i = 0; i < diagonal.size(); ++i) EXPECT_EQ(diagonal[i] % 80, i);
}

}  // namespace
}  // namespace cellshow
