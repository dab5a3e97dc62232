#pragma once
// The show played headless in-process, as the recorder writes it: the oracle
// that window, web and scaled-view tests compare their output with.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/recording.h"

namespace cellshow::test {

// Every record of the show played from `dataDir`; keyAfter as for
// --key-after.
std::vector<Record> RecordShow(const std::string& dataDir, int64_t keyAfter = -1);
// The same on the default data that the build makes.
std::vector<Record> RecordDefaultShow(int64_t keyAfter = -1);

struct ShowFrame {
  uint32_t tick = 0;
  ScreenCells cells;
};
// Every present of the default show, in order: played once per test
// program. Fails the calling test (and returns none) when it cannot be.
const std::vector<std::unique_ptr<ShowFrame>>& DefaultShowFrames();

using cellshow::CellsOf;
using cellshow::FrameAt;
using cellshow::NewestPresent;

}  // namespace cellshow::test
