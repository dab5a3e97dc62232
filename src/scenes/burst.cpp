#include "scenes/burst.h"

#include "raster/byte_tracer.h"
#include "show/show.h"

namespace cellshow {
namespace {

// One line from the centre (39, 24) to a border point; keepOrder makes the
// run start at the centre, trim drops the cells nearest it.
struct BurstLine {
  uint8_t column, row, keepOrder, trim;
};

constexpr uint8_t CentreColumn = 39, CentreRow = 24;

constexpr BurstLine LineSetOne[12] = {{76, 0, 1, 10},  {6, 49, 0, 20},  {6, 0, 0, 10},
                                      {0, 16, 0, 15},  {35, 0, 0, 10},  {50, 49, 1, 14},
                                      {79, 49, 1, 12}, {70, 49, 1, 20}, {79, 23, 1, 20},
                                      {0, 27, 0, 17},  {0, 36, 0, 11},  {30, 49, 1, 9}};
constexpr BurstLine LineSetTwo[12] = {{0, 0, 0, 10},  {20, 0, 0, 7},   {45, 0, 0, 10},
                                      {79, 0, 1, 7},  {79, 20, 1, 10}, {79, 49, 1, 7},
                                      {40, 49, 1, 7}, {20, 49, 1, 7},  {10, 49, 0, 10},
                                      {0, 40, 0, 7},  {0, 20, 0, 11},  {55, 49, 1, 7}};

constexpr uint16_t LastRevealLength = 140;  // past it, the run ends

void AppendSet(Show& show, const BurstLine (&set)[12]) {
  for (const BurstLine& line : set)
    TraceCellLine(show.points, CentreColumn, CentreRow, line.column, line.row, line.keepOrder,
                  line.trim);
}

// Paints the cells of each line whose number within the line is at most
// RevealLength.
void PaintRevealed(Show& show) {
  BurstState& b = show.burst;
  WalkPointList(
      show.points,
      [&](uint16_t k) {
        if (b.PointOrdinal <= b.RevealLength && k < ScreenCellCount) show.Screen[k] = WhiteBlock;
        b.PointOrdinal = static_cast<uint8_t>(b.PointOrdinal + 1);
      },
      [&] { b.PointOrdinal = 0; });
}

}  // namespace

void BurstScene(Show& show) {
  BurstState& b = show.burst;
  Sequencer& seq = show.seq;
  if (b.BurstStage == 0) {
    AppendSet(show, LineSetOne);
    b.BurstStage = 1;
  }
  if (b.BurstStage == 2) {
    AppendSet(show, LineSetTwo);
    b.BurstStage = 3;
  }
  if (b.RevealLength > LastRevealLength) {
    b.BurstStage = static_cast<uint8_t>(b.BurstStage + 1);
    ClearScreen(show.Screen);
    ResetPointList(show.points);
    b.RevealLength = 0;
    seq.AdvancePending = 1;
    seq.SceneClock = 0;
    PresentScreen(show);
    return;
  }
  PaintRevealed(show);
  PresentScreen(show);
  seq.SceneClock = static_cast<uint16_t>(seq.SceneClock + 1);
  const uint16_t t = seq.SceneClock;
  if (t == 10 || t == 20 || t == 25 || t == 30) ++b.RevealLength;
  if (t >= 31) b.RevealLength = static_cast<uint16_t>(b.RevealLength + 4);
}

}  // namespace cellshow
