#include "platform/terminal/frame_encoder.h"

#include <cstdio>

namespace cellshow {

// Placeholder full redraw with ASCII glyphs and 16 colours; the real encoder
// replaces it.
FrameEncoder::FrameEncoder(bool trueColor) : trueColor_(trueColor) {}

void FrameEncoder::Invalidate() { valid_ = false; }

size_t FrameEncoder::Encode(const ScreenCells& screen, TerminalSize, char* out) {
  static const int ansi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  size_t n = 0;
  for (int row = 0; row < ScreenHeight; ++row) {
    n += static_cast<size_t>(std::snprintf(out + n, 32, "\x1b[%d;1H", row + 1));
    for (int column = 0; column < ScreenWidth; ++column) {
      const Cell& cell = screen[row * ScreenWidth + column];
      const int fg = cell.Attributes & 15, bg = cell.Attributes >> 4 & 15;
      n += static_cast<size_t>(std::snprintf(out + n, 32, "\x1b[%d;%dm",
                                             (fg & 8 ? 90 : 30) + ansi[fg & 7],
                                             (bg & 8 ? 100 : 40) + ansi[bg & 7]));
      const int c = cell.Char;
      out[n++] = c >= 32 && c < 127 ? static_cast<char>(c) : ' ';
    }
  }
  valid_ = true;
  return n;
}

}  // namespace cellshow
