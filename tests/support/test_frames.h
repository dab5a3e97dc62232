#pragma once
// Whole cell grids for tests, kept on the heap (a grid is 8,000 bytes).
#include <cstdint>
#include <memory>

#include "shell/screen.h"

namespace cellshow::test {

struct Frame {
  ScreenCells cells{};
};

// Every glyph in every attribute across the grid; a different `shift`
// changes every cell.
inline std::unique_ptr<Frame> AllGlyphsAllAttributes(int shift) {
  auto frame = std::make_unique<Frame>();
  for (int i = 0; i < ScreenCellCount; ++i) {
    frame->cells[i].Char = static_cast<uint16_t>((i + shift) & 0xFF);
    frame->cells[i].Attributes = static_cast<uint16_t>((i / 256 * 37 + i * 11 + shift) & 0xFF);
  }
  return frame;
}

// The dearest pair of frames to encode one after the other: every other cell
// changes, each with both colours different from its neighbour's, in 3-byte
// glyphs.
inline void DearestFrames(Frame& a, Frame& b) {
  for (int i = 0; i < ScreenCellCount; ++i) {
    a.cells[i] = {0xB1, static_cast<uint16_t>(i % 2 ? 0x0F : 0xF0)};
    b.cells[i] = i % 2 ? Cell{0xB2, static_cast<uint16_t>((i * 37) & 0xFF)} : a.cells[i];
  }
}

}  // namespace cellshow::test
