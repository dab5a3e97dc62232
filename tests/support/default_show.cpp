#include "support/default_show.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/recording.h"
#include "support/temp_dir.h"

namespace cellshow::test {

const std::vector<std::unique_ptr<ShowFrame>>& DefaultShowFrames() {
  static const std::vector<std::unique_ptr<ShowFrame>> frames = [] {
    std::vector<std::unique_ptr<ShowFrame>> out;
    TempDir dir;
    const std::string file = (dir.path() / "show.rec").string();
    const int status = RunCommand(std::string(CELLSHOW_BINARY) + " --data '" + CELLSHOW_BUILD_DIR +
                                  "/data' --record '" + file + "' >/dev/null 2>&1");
    std::vector<Record> records;
    std::string error;
    if (status != 0 || !ReadRecordingFile(file, records, error)) {
      ADD_FAILURE() << "cannot record the default show (status " << status << "): " << error;
      return out;
    }
    for (const Record& r : records) {
      if (r.kind != PresentRecord) continue;
      auto& frame = out.emplace_back(std::make_unique<ShowFrame>());
      frame->tick = r.tick;
      for (int k = 0; k < ScreenCellCount; ++k) {
        frame->cells[k] = {r.cells[2 * k], r.cells[2 * k + 1]};
      }
    }
    return out;
  }();
  return frames;
}

}  // namespace cellshow::test
