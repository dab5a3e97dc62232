#pragma once
// What FrameEncoder works out before it writes a byte: how far two rows of
// visible keys differ (four keys at a time, in 64-bit words), and where the
// lines of the too-small notice go. FrameEncoder's own planning steps
// (ClearingBackground, RowShift) are in frame_plan.cpp beside these. Pure.
#include <cstdint>
#include <cstring>

#include "render/ansi/frame_encoder.h"

namespace cellshow {

// Four keys side by side in a 64-bit word, lowest address in the low lane.
inline constexpr uint64_t LaneOnes = 0x0001000100010001u;
inline uint64_t FourKeys(const uint16_t* keys) {
  uint64_t word;
  std::memcpy(&word, keys, sizeof word);
  return word;
}
// 1 in each 16-bit lane of `x` that is not zero, 0 in each that is: every
// lane is folded onto its lowest bit.
constexpr uint64_t NonZeroLanes(uint64_t x) {
  x |= x >> 8;
  x |= x >> 4;
  x |= x >> 2;
  x |= x >> 1;
  return x & LaneOnes;
}
// The sum of the four lanes (each small enough not to carry).
constexpr int LaneSum(uint64_t x) { return static_cast<int>((x * LaneOnes) >> 48); }

// The number of the 80 places in which two rows of keys differ, counted
// sixteen at a time until it reaches `limit`.
int CountDifferent(const uint16_t* a, const uint16_t* b, int limit);

// Text broken into lines: each a piece of the text, at its column.
struct NoticeLines {
  struct Line {
    int start, length, column;
  };
  Line line[96];
  int count = 0;
};

// The notice of the size needed, for a terminal of `size` smaller than the
// grid: its text and its lines, centred from row `top`.
struct NoticeText {
  char text[128];
  NoticeLines lines;
  int top = 0;
};

// Lays out the notice that the grid needs `needs` in a terminal of `size`,
// naming the window as the way out when `offerWindow`. The last column is
// left alone (so nothing wraps or scrolls); the text is wrapped to the width,
// shortened when it needs more rows than there are, and cut when even that
// does not fit.
void LayOutNotice(TerminalSize needs, TerminalSize size, NoticeText& notice,
                  bool offerWindow = true);

}  // namespace cellshow
