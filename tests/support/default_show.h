#pragma once
// The default show's frames, as the real program records them headless with
// the default data the build made; recorded once per test program.
#include <cstdint>
#include <memory>
#include <vector>

#include "shell/screen.h"

namespace cellshow::test {

struct ShowFrame {
  uint32_t tick = 0;
  ScreenCells cells;
};

// Every present of one whole run, in order. Fails the calling test (and
// returns none) when the recording cannot be made.
const std::vector<std::unique_ptr<ShowFrame>>& DefaultShowFrames();

}  // namespace cellshow::test
