// Appends near and past the end of the point list: cells that do not fit are
// dropped, the line and the list stay closed inside the array, and nothing
// outside the run is written, whatever PointListEnd holds.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "list_reader.h"
#include "raster/byte_tracer.h"
#include "raster/clipped_tracer.h"

namespace cellshow {
namespace {

using test::Entries;

constexpr uint16_t kGuard = 0xBEEF;
constexpr uint16_t kStale = 1234;

// A list with guard words on either side, to see writes past its ends.
struct Guarded {
  uint16_t before[32];
  Points points;
  uint16_t after[32];
};

TEST(PointListCapacity, AppendsKeepInsideTheArray) {
  using Append = std::function<void(Points&)>;
  struct Line {
    const char* what;
    Append append;
  };
  const std::vector<Line> lines = {
      {"byte tracer, flat", [](Points& p) { TraceCellLine(p, 39, 24, 79, 49, 1, 0); }},
      {"byte tracer, reversed and trimmed",
       [](Points& p) { TraceCellLine(p, 39, 24, 35, 0, 0, 3); }},
      {"byte tracer, single point", [](Points& p) { TraceCellLine(p, 3, 3, 3, 3, 1, 0); }},
      {"clipped tracer, row", [](Points& p) { TraceClippedLine(p, -100, 25, 200, 25); }},
      {"clipped tracer, steep", [](Points& p) { TraceClippedLine(p, 0, -7, 79, 49); }},
      {"clipped tracer, off the grid", [](Points& p) { TraceClippedLine(p, -9, -9, -1, -1); }},
      {"empty close", [](Points& p) { CloseLine(p, 0); }},
  };
  const uint32_t ends[] = {0,
                           2 * 1960,
                           2 * 2000,
                           2 * 2007,
                           2 * 2008,
                           2 * 2008 + 1,
                           2 * 2009,
                           2 * 2009 + 1,
                           2 * 2010,
                           2 * 5000,
                           std::numeric_limits<uint32_t>::max()};

  for (const Line& line : lines) {
    auto fresh = std::make_unique<Points>();
    line.append(*fresh);
    const std::vector<uint16_t> full = Entries(*fresh, 0, fresh->PointListEnd / 2 - 1);

    for (const uint32_t end : ends) {
      SCOPED_TRACE(testing::Message() << line.what << ", PointListEnd " << end);
      auto guarded = std::make_unique<Guarded>();
      for (auto& g : guarded->before) g = kGuard;
      for (auto& g : guarded->after) g = kGuard;
      for (auto& entry : guarded->points.PointList) entry = kStale;
      Points& points = guarded->points;
      points.PointListEnd = end;
      line.append(points);

      for (auto g : guarded->before) ASSERT_EQ(g, kGuard);
      for (auto g : guarded->after) ASSERT_EQ(g, kGuard);
      const uint32_t start = std::min<uint32_t>(end / 2, PointListCapacity - 1);
      for (uint32_t i = 0; i < start; ++i) ASSERT_EQ(points.PointList[i], kStale) << i;
      const uint32_t listEnd = points.PointListEnd / 2;
      ASSERT_EQ(points.PointListEnd % 2, 0u);
      ASSERT_LT(listEnd, PointListCapacity);
      ASSERT_EQ(points.PointList[listEnd], ListEnd);
      if (start == PointListCapacity - 1) {
        // No room even for a LineEnd: the line is dropped, the list stays closed.
        ASSERT_EQ(listEnd, start);
        continue;
      }
      const size_t kept = std::min<size_t>(full.size(), PointListCapacity - 2 - start);
      ASSERT_EQ(listEnd, start + kept + 1);
      ASSERT_EQ(points.PointList[listEnd - 1], LineEnd);
      ASSERT_EQ(Entries(points, start, start + kept),
                std::vector<uint16_t>(full.begin(), full.begin() + kept));
      for (uint32_t i = listEnd + 1; i < PointListCapacity; ++i)
        ASSERT_EQ(points.PointList[i], kStale) << i;
    }
  }
}

// Filling the list line after line keeps it closed when it runs full.
TEST(PointListCapacity, FillsUpLineByLine) {
  auto points = std::make_unique<Points>();
  for (int i = 0; i < 40; ++i) TraceClippedLine(*points, -100, i, 200, i);
  EXPECT_EQ(points->PointListEnd / 2, PointListCapacity - 1);
  EXPECT_EQ(points->PointList[PointListCapacity - 1], ListEnd);
  size_t cells = 0, lines = 0;
  WalkPointList(
      *points, [&](uint16_t) { ++cells; }, [&] { ++lines; });
  EXPECT_EQ(cells + lines, PointListCapacity - 1);
  EXPECT_EQ(lines, 25u);  // 24 full rows, then one cut short, then no room at all
}

}  // namespace
}  // namespace cellshow
