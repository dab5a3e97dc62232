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

}  // namespace cellshow::test
