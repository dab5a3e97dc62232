#pragma once
// Reads the point list back for the raster tests: the entries of a batch and
// the cells of the line appended last.
#include <cstdint>
#include <utility>
#include <vector>

#include "raster/point_list.h"

namespace cellshow::test {

// Cell index of a (column, row) pair.
constexpr uint16_t Cell(int column, int row) { return static_cast<uint16_t>(80 * row + column); }

inline std::vector<uint16_t> Cells(std::initializer_list<std::pair<int, int>> columnRows) {
  std::vector<uint16_t> cells;
  for (const auto& [column, row] : columnRows) cells.push_back(Cell(column, row));
  return cells;
}

// Entries [from, to) of the list.
inline std::vector<uint16_t> Entries(const Points& points, uint32_t from, uint32_t to) {
  return {points.PointList + from, points.PointList + to};
}

// The cells of one line appended at entry `start`, checking that the line is
// closed by LineEnd, the list by ListEnd, and that PointListEnd names it.
inline std::vector<uint16_t> LineAt(const Points& points, uint32_t start) {
  const uint32_t listEnd = points.PointListEnd / 2;
  if (listEnd < start + 1 || listEnd >= PointListCapacity) return {0xFFFF};  // not closed
  if (points.PointList[listEnd] != ListEnd || points.PointList[listEnd - 1] != LineEnd)
    return {0xFFFF};
  return Entries(points, start, listEnd - 1);
}

}  // namespace cellshow::test
