#include "support/show_recording.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_run.h"

namespace cellshow::test {

std::vector<Record> RecordShow(const std::string& dataDir, int64_t keyAfter) {
  std::vector<Record> records;
  std::string error;
  if (!RecordWholeShow(dataDir, keyAfter, records, error)) records.clear();
  return records;
}

std::vector<Record> RecordDefaultShow(int64_t keyAfter) {
  return RecordShow(CELLSHOW_BUILD_DIR "/data", keyAfter);
}

const std::vector<std::unique_ptr<ShowFrame>>& DefaultShowFrames() {
  static const std::vector<std::unique_ptr<ShowFrame>> frames = [] {
    std::vector<std::unique_ptr<ShowFrame>> out;
    const std::vector<Record> records = RecordDefaultShow();
    if (records.empty()) ADD_FAILURE() << "cannot play the default show headless";
    for (const Record& r : records) {
      if (r.kind != PresentRecord) continue;
      auto& frame = out.emplace_back(std::make_unique<ShowFrame>());
      frame->tick = r.tick;
      CellsOf(r, frame->cells);
    }
    return out;
  }();
  return frames;
}

}  // namespace cellshow::test
