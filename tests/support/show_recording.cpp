#include "support/show_recording.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"

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

void CellsOf(const Record& present, ScreenCells& cells) {
  for (int k = 0; k < ScreenCellCount; ++k) {
    cells[k] = {present.cells[2 * k], present.cells[2 * k + 1]};
  }
}

const Record* NewestPresent(const std::vector<Record>& records, uint32_t tick) {
  const Record* newest = nullptr;
  for (const Record& r : records)
    if (r.kind == PresentRecord && r.tick <= tick) newest = &r;
  return newest;
}

bool FrameAt(const std::vector<Record>& records, uint32_t tick, ScreenCells& cells) {
  const Record* found = NewestPresent(records, tick);
  if (found == nullptr) return false;
  CellsOf(*found, cells);
  return true;
}

}  // namespace cellshow::test
