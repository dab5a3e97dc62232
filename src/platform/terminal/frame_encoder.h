#pragma once
// Turns frames of the cell grid into the bytes that make a terminal show them.
// It remembers what the terminal shows now, so a frame costs only its changes.
// Pure: no I/O, no allocation after construction.
#include <cstddef>
#include <cstdint>

#include "shell/screen.h"

namespace cellshow {

struct TerminalSize {
  int columns = 80;
  int rows = 50;
};

class FrameEncoder {
 public:
  // Enough for a full redraw of the grid in 24-bit colour on any terminal size.
  static constexpr size_t MaxFrameBytes = size_t{1} << 20;

  explicit FrameEncoder(bool trueColor);

  // Forgets what the terminal shows: the next frame is a full redraw (after
  // start-up, a resize, a SIGCONT, or anything that may have disturbed it).
  void Invalidate();

  // Writes into `out` (MaxFrameBytes of room) the bytes that bring a terminal
  // of `size` from what it shows now to `screen`: the grid centred on black
  // when the terminal is larger, a centred notice of the size needed when it
  // is smaller. Returns the number of bytes written.
  size_t Encode(const ScreenCells& screen, TerminalSize size, char* out);

 private:
  bool trueColor_;
  bool valid_ = false;
};

}  // namespace cellshow
