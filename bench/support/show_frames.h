#pragma once
// The default show's presents, for benchmarks that time a transform on real
// frames.
#include <memory>
#include <vector>

#include "shell/screen.h"

namespace cellshow::bench {

struct ShowFrame {
  ScreenCells cells;
};
using ShowFrames = std::vector<std::unique_ptr<ShowFrame>>;

// Read from the recording that CELLSHOW_RECORDING names, or else recorded
// headless from the build's default data, once. Exits with a message naming
// `benchName` when neither can be had.
const ShowFrames& DefaultShowFrames(const char* benchName);

}  // namespace cellshow::bench
