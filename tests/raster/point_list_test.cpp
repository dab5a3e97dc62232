// Appending, resetting and walking the point list.
#include "raster/point_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "list_reader.h"

namespace cellshow {
namespace {

using test::Entries;

// Appends a run of cells through the append protocol.
void Append(Points& points, std::vector<uint16_t> cells) {
  uint16_t* run = points.PointList + points.PointListEnd / 2;
  for (size_t i = 0; i < cells.size(); ++i) run[i] = cells[i];
  CloseLine(points, static_cast<uint32_t>(cells.size()));
}

struct Walked {
  std::vector<std::vector<uint16_t>> lines{{}};
};

Walked Walk(const Points& points) {
  Walked walked;
  WalkPointList(
      points, [&](uint16_t cell) { walked.lines.back().push_back(cell); },
      [&] { walked.lines.emplace_back(); });
  walked.lines.pop_back();  // the empty line opened by the last LineEnd
  return walked;
}

TEST(PointList, AppendsClosesAndChainsLines) {
  auto points = std::make_unique<Points>();
  Append(*points, {7, 8, 9});
  EXPECT_EQ(Entries(*points, 0, 5), (std::vector<uint16_t>{7, 8, 9, LineEnd, ListEnd}));
  EXPECT_EQ(points->PointListEnd, 2u * 3 + 2);

  // The next line starts on the ListEnd and leaves the earlier entries alone.
  Append(*points, {});
  Append(*points, {4000, 3999});
  EXPECT_EQ(Entries(*points, 0, 9),
            (std::vector<uint16_t>{7, 8, 9, LineEnd, LineEnd, 4000, 3999, LineEnd, ListEnd}));
  EXPECT_EQ(points->PointListEnd, 2u * 8);

  const Walked walked = Walk(*points);
  EXPECT_EQ(walked.lines, (std::vector<std::vector<uint16_t>>{{7, 8, 9}, {}, {4000, 3999}}));
}

TEST(PointList, ResetKeepsStaleEntriesThatTheWalkNeverReaches) {
  auto points = std::make_unique<Points>();
  Append(*points, {1, 2, 3, 4, 5});
  ResetPointList(*points);
  EXPECT_EQ(points->PointListEnd, 0u);
  EXPECT_EQ(points->PointList[0], 1u);  // a reset writes nothing
  Append(*points, {6});
  EXPECT_EQ(Entries(*points, 0, 5), (std::vector<uint16_t>{6, LineEnd, ListEnd, 4, 5}));
  EXPECT_EQ(Walk(*points).lines, (std::vector<std::vector<uint16_t>>{{6}}));
}

TEST(PointList, WalkStopsAtTheEndOfTheArrayWithoutAListEnd) {
  auto points = std::make_unique<Points>();
  for (auto& entry : points->PointList) entry = 1;
  size_t cells = 0;
  WalkPointList(*points, [&](uint16_t) { ++cells; });
  EXPECT_EQ(cells, PointListCapacity);
}

}  // namespace
}  // namespace cellshow
