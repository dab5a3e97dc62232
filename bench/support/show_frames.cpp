#include "support/show_frames.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/headless/headless_run.h"
#include "platform/headless/recording.h"

namespace cellshow::bench {

const ShowFrames& DefaultShowFrames(const char* benchName) {
  static const ShowFrames frames = [benchName] {
    std::vector<Record> records;
    std::string error;
    const char* path = std::getenv("CELLSHOW_RECORDING");
    const bool named = path != nullptr && *path != 0;
    const bool read = named ? ReadRecordingFile(path, records, error)
                            : RecordWholeShow(CELLSHOW_DATA_DIR, -1, records, error);
    if (!read) {
      std::fprintf(stderr, "%s: %s: %s\n", benchName, named ? path : CELLSHOW_DATA_DIR,
                   error.c_str());
      std::exit(2);
    }
    ShowFrames out;
    for (const Record& r : records) {
      if (r.kind != PresentRecord) continue;
      CellsOf(r, out.emplace_back(std::make_unique<ShowFrame>())->cells);
    }
    return out;
  }();
  return frames;
}

}  // namespace cellshow::bench
