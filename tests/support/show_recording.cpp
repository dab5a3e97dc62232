#include "support/show_recording.h"

#include <cstdio>
#include <memory>

#include "platform/headless/headless_platform.h"
#include "show/show.h"

namespace cellshow::test {

std::vector<Record> RecordShow(const std::string& dataDir, int64_t keyAfter) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return {};
  {
    RecordingWriter writer(file);
    HeadlessPlatform host(dataDir, writer, keyAfter);
    auto show = std::make_unique<Show>(host);
    Start(*show);
  }
  std::vector<uint8_t> bytes;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  std::vector<Record> records;
  std::string error;
  if (!ParseRecording(bytes, records, error)) records.clear();
  return records;
}

std::vector<Record> RecordDefaultShow(int64_t keyAfter) {
  return RecordShow(CELLSHOW_BUILD_DIR "/data", keyAfter);
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
  for (int k = 0; k < ScreenCellCount; ++k)
    cells[k] = {found->cells[2 * k], found->cells[2 * k + 1]};
  return true;
}

}  // namespace cellshow::test
