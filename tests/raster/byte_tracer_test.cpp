// The byte tracer: worked lines, run direction, trimming.
#include "raster/byte_tracer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "list_reader.h"

namespace cellshow {
namespace {

using test::Cell;
using test::Cells;
using test::LineAt;

struct Traced {
  std::vector<uint16_t> cells;
  uint32_t advance;  // entries PointListEnd moved by
};

Traced Trace(int x0, int y0, int x1, int y1, int keepOrder, int trim) {
  auto points = std::make_unique<Points>();
  points->PointListEnd = 2 * 5;  // start mid-list, as a second line would
  TraceCellLine(*points, static_cast<uint8_t>(x0), static_cast<uint8_t>(y0),
                static_cast<uint8_t>(x1), static_cast<uint8_t>(y1), static_cast<uint8_t>(keepOrder),
                static_cast<uint8_t>(trim));
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(points->PointList[i], 0u) << "wrote before its run";
  return {LineAt(*points, 5), points->PointListEnd / 2 - 5};
}

std::vector<uint16_t> Column(int column, int fromRow, int toRow) {
  std::vector<uint16_t> cells;
  const int step = fromRow <= toRow ? 1 : -1;
  for (int row = fromRow; row != toRow + step; row += step) cells.push_back(Cell(column, row));
  return cells;
}

std::vector<uint16_t> Row(int row, int fromColumn, int toColumn) {
  std::vector<uint16_t> cells;
  const int step = fromColumn <= toColumn ? 1 : -1;
  for (int column = fromColumn; column != toColumn + step; column += step)
    cells.push_back(Cell(column, row));
  return cells;
}

const std::vector<uint16_t> kBurstUp =
    Cells({{39, 24}, {39, 23}, {39, 22}, {39, 21}, {38, 20}, {38, 19}, {38, 18}, {38, 17}, {38, 16},
           {38, 15}, {37, 14}, {37, 13}, {37, 12}, {37, 11}, {37, 10}, {37, 9},  {36, 8},  {36, 7},
           {36, 6},  {36, 5},  {36, 4},  {36, 3},  {35, 2},  {35, 1},  {35, 0}});

TEST(ByteTracer, TracesTheWorkedLines) {
  struct Case {
    const char* what;
    int x0, y0, x1, y1, keepOrder, trim;
    std::vector<uint16_t> cells;
  };
  const std::vector<Case> cases = {
      {"flat", 0, 0, 5, 2, 1, 0, Cells({{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}})},
      {"half-way error steps at once", 0, 0, 4, 2, 1, 0,
       Cells({{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}})},
      {"flat off the origin", 2, 1, 9, 4, 1, 0,
       Cells({{2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}})},
      {"reversed and trimmed", 2, 1, 9, 4, 0, 2,
       Cells({{7, 3}, {6, 3}, {5, 2}, {4, 2}, {3, 1}, {2, 1}})},
      {"equal extents are steep", 0, 5, 5, 0, 1, 0,
       Cells({{5, 0}, {4, 1}, {3, 2}, {2, 3}, {1, 4}, {0, 5}})},
      {"burst line reversed", 39, 24, 35, 0, 0, 0, kBurstUp},
      {"burst line reversed, trim 10", 39, 24, 35, 0, 0, 10,
       std::vector<uint16_t>(kBurstUp.begin() + 10, kBurstUp.end())},
      {"single point", 3, 3, 3, 3, 1, 0, {243}},
      {"single point reversed", 3, 3, 3, 3, 0, 0, {243}},
      {"horizontal", 20, 7, 10, 7, 1, 0, Row(7, 10, 20)},
      {"horizontal reversed", 10, 7, 20, 7, 0, 0, Row(7, 20, 10)},
      {"vertical runs down", 5, 9, 5, 3, 1, 0, Column(5, 3, 9)},
      {"vertical reversed runs up", 5, 3, 5, 9, 0, 0, Column(5, 9, 3)},
      {"diagonal starts at the smaller row", 6, 6, 2, 2, 1, 0,
       Cells({{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}})},
      {"anti-diagonal starts at the smaller row", 2, 6, 6, 2, 1, 0,
       Cells({{6, 2}, {5, 3}, {4, 4}, {3, 5}, {2, 6}})},
      {"ray ending on row 50", 12, 44, 12, 50, 1, 0, Column(12, 44, 50)},
      {"trim equal to the run", 2, 1, 9, 4, 1, 8, {}},
      {"trim of a whole single point", 3, 3, 3, 3, 0, 1, {}},
  };
  for (const Case& c : cases) {
    const Traced traced = Trace(c.x0, c.y0, c.x1, c.y1, c.keepOrder, c.trim);
    EXPECT_EQ(traced.cells, c.cells) << c.what;
    EXPECT_EQ(traced.advance, c.cells.size() + 1) << c.what;
  }
  EXPECT_EQ(Trace(12, 44, 12, 50, 1, 0).cells.back(), 4000 + 12);
}

// The byte-wide trace as the show defines it: positions, extents and error are
// bytes, and twice the error is taken as a signed byte.
std::vector<uint16_t> ByteWideTrace(uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1,
                                    uint8_t keepOrder, uint8_t trim) {
  const uint8_t ex = x1 > x0 ? x1 - x0 : x0 - x1, ey = y1 > y0 ? y1 - y0 : y0 - y1;
  const bool steep = ey >= ex;
  uint8_t a0 = steep ? y0 : x0, a1 = steep ? y1 : x1, b0 = steep ? x0 : y0, b1 = steep ? x1 : y1;
  if (a0 >= a1) {
    std::swap(a0, a1);
    std::swap(b0, b1);
  }
  const uint8_t d = a1 - a0, e = b1 > b0 ? b1 - b0 : b0 - b1;
  int8_t r = 0;
  uint8_t b = b0;
  std::vector<uint16_t> run;
  for (int a = a0; a <= a1; ++a) {
    run.push_back(static_cast<uint16_t>(steep ? 80 * a + b : 80 * b + a));
    r = static_cast<int8_t>(r + e);
    if (r >= 0 && static_cast<int8_t>(2 * r) >= d) {
      b = static_cast<uint8_t>(b0 < b1 ? b + 1 : b - 1);
      r = static_cast<int8_t>(r - d);
    }
  }
  if (keepOrder == 0) std::reverse(run.begin(), run.end());
  run.erase(run.begin(), run.begin() + trim);
  return run;
}

// Within the byte bound (major extent + twice the minor extent <= 127) the
// run matches the byte-wide trace bit for bit: every such line from a set of
// start cells (the burst's centre among them) to every cell of columns 0..79,
// rows 0..61, with its ends passed either way round, any keepOrder and trim.
TEST(ByteTracer, MatchesTheByteWideTraceWithinTheBound) {
  std::mt19937 random(7);
  const int starts[][2] = {{0, 0}, {79, 61}, {39, 24}, {79, 0}, {0, 61}, {40, 50}, {13, 37}};
  auto points = std::make_unique<Points>();
  int compared = 0;
  for (const auto& s : starts)
    for (int x = 0; x < 80; ++x)
      for (int y = 0; y < 62; ++y) {
        const int ex = std::abs(x - s[0]), ey = std::abs(y - s[1]);
        if (std::max(ex, ey) + 2 * std::min(ex, ey) > 127) continue;
        const uint8_t keepOrder = static_cast<uint8_t>(random() % 2 ? 0 : 1 + random() % 255);
        const uint8_t trim = static_cast<uint8_t>(random() % (std::max(ex, ey) + 2));
        const uint8_t sx = static_cast<uint8_t>(s[0]), sy = static_cast<uint8_t>(s[1]);
        const uint8_t ux = static_cast<uint8_t>(x), uy = static_cast<uint8_t>(y);
        ResetPointList(*points);
        if (random() % 2)
          TraceCellLine(*points, sx, sy, ux, uy, keepOrder, trim);
        else
          TraceCellLine(*points, ux, uy, sx, sy, keepOrder, trim);
        ASSERT_EQ(LineAt(*points, 0), ByteWideTrace(sx, sy, ux, uy, keepOrder, trim))
            << s[0] << "," << s[1] << " to " << x << "," << y;
        ++compared;
      }
  EXPECT_GT(compared, 10000);
}

// Beyond the bound the byte-wide error would wrap; the trace keeps to the
// straight line instead: at major step k the minor coordinate has moved by
// k * e / d rounded half up, and the run ends on the end point. Cells off
// columns 0..79 or rows 0..61 are left out, whatever the byte coordinates.
TEST(ByteTracer, LongLinesStayStraightAndEndOnTheirEndPoint) {
  struct Line {
    int x0, y0, x1, y1;
  };
  std::vector<Line> lines = {{0, 0, 79, 61}, {79, 0, 0, 61},   {0, 61, 79, 0},
                             {0, 0, 79, 40}, {0, 0, 255, 255}, {255, 0, 0, 255},
                             {0, 0, 255, 1}, {70, 5, 90, 9},   {3, 255, 3, 0}};
  std::mt19937 random(11);
  for (int i = 0; i < 3000; ++i)
    lines.push_back({static_cast<int>(random() % 256), static_cast<int>(random() % 256),
                     static_cast<int>(random() % 256), static_cast<int>(random() % 256)});
  auto points = std::make_unique<Points>();
  for (const Line& l : lines) {
    const int ex = std::abs(l.x1 - l.x0), ey = std::abs(l.y1 - l.y0);
    const bool steep = ey >= ex;
    int a0 = steep ? l.y0 : l.x0, b0 = steep ? l.x0 : l.y0;
    int a1 = steep ? l.y1 : l.x1, b1 = steep ? l.x1 : l.y1;
    if (a0 > a1) {
      std::swap(a0, a1);
      std::swap(b0, b1);
    }
    const int d = a1 - a0, e = std::abs(b1 - b0), step = b0 < b1 ? 1 : -1;
    std::vector<uint16_t> expected;
    for (int k = 0; k <= d; ++k) {
      const int b = b0 + step * (d == 0 ? 0 : (2 * k * e + d) / (2 * d));
      const int column = steep ? b : a0 + k, row = steep ? a0 + k : b;
      if (column < 80 && row < 62) expected.push_back(test::Cell(column, row));
    }
    ResetPointList(*points);
    TraceCellLine(*points, static_cast<uint8_t>(l.x0), static_cast<uint8_t>(l.y0),
                  static_cast<uint8_t>(l.x1), static_cast<uint8_t>(l.y1), 1, 0);
    ASSERT_EQ(LineAt(*points, 0), expected) << l.x0 << "," << l.y0 << " to " << l.x1 << "," << l.y1;
  }
  ResetPointList(*points);
  TraceCellLine(*points, 0, 0, 79, 61, 0, 0);
  EXPECT_EQ(points->PointList[0], test::Cell(79, 61));
}

TEST(ByteTracer, TrimPastTheLineLeavesAnEmptyLine) {
  for (const int trim : {9, 10, 100, 255}) {
    EXPECT_EQ(Trace(2, 1, 9, 4, 1, trim).cells, std::vector<uint16_t>{}) << trim;
    EXPECT_EQ(Trace(2, 1, 9, 4, 0, trim).advance, 1u) << trim;
  }
}

}  // namespace
}  // namespace cellshow
