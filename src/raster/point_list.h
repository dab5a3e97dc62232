#pragma once
// The shared list of cell indices that the tracers fill and the line scenes
// walk: runs of cells, each closed by LineEnd, the batch closed by ListEnd.
#include <cstdint>

namespace cellshow {

constexpr uint16_t LineEnd = 5000;
constexpr uint16_t ListEnd = 6000;
constexpr uint32_t PointListCapacity = 2010;

struct Points {
  uint16_t PointList[PointListCapacity] = {};
  // Byte offset (two per entry) of the entry that holds the ListEnd.
  uint32_t PointListEnd = 0;
};

// Empties the list; the old entries stay until overwritten.
inline void ResetPointList(Points& points) { points.PointListEnd = 0; }

// The entry where the next run begins: the one that holds the ListEnd. A
// PointListEnd beyond the array counts as the last entry, so that whatever a
// caller left there, the run and its markers stay inside the array.
inline uint32_t RunStart(const Points& points) {
  const uint32_t entry = points.PointListEnd / 2;
  return entry < PointListCapacity - 1 ? entry : PointListCapacity - 1;
}

// How many cells the next run can hold: the entries from RunStart on, less
// one for its LineEnd and one for the ListEnd.
inline uint32_t RunRoom(const Points& points) {
  const uint32_t start = RunStart(points);
  return start + 2 <= PointListCapacity ? PointListCapacity - 2 - start : 0;
}

// Closes the run that a tracer wrote from entry RunStart on: LineEnd after
// its `cells` entries, then ListEnd, with PointListEnd naming the ListEnd.
// Cells beyond RunRoom are dropped. When the ListEnd already sits in the
// last entry there is no room for another LineEnd: the line is dropped and
// the list stays closed there.
void CloseLine(Points& points, uint32_t cells);

// Walks the batch from entry 0: onCell(index) for every cell index,
// onLineEnd() at every LineEnd, stopping at the ListEnd (or the capacity).
template <typename OnCell, typename OnLineEnd>
void WalkPointList(const Points& points, OnCell onCell, OnLineEnd onLineEnd) {
  for (uint32_t i = 0; i < PointListCapacity; ++i) {
    const uint16_t entry = points.PointList[i];
    if (entry == ListEnd) return;
    if (entry == LineEnd)
      onLineEnd();
    else
      onCell(entry);
  }
}

template <typename OnCell>
void WalkPointList(const Points& points, OnCell onCell) {
  WalkPointList(points, onCell, [] {});
}

}  // namespace cellshow
