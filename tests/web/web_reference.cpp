// Native references for the tests of the WebAssembly build:
//   web-reference data SET DIR     writes the golden data set SET into DIR
//   web-reference image REC TICK   writes to stdout the pixel model's image
//                                  (640x400 RGBA) of the newest frame that
//                                  recording REC presented at or before TICK
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/recording.h"
#include "render/pixels/cell_image.h"
#include "support/golden_data.h"
#include "support/test_frames.h"

namespace {

int Usage() {
  std::fputs("usage: web-reference data SET DIR | web-reference image REC TICK\n", stderr);
  return 2;
}

int Image(const char* path, const char* tickText) {
  using namespace cellshow;
  char* end = nullptr;
  const unsigned long tick = std::strtoul(tickText, &end, 10);
  if (*end != '\0') return Usage();
  std::vector<Record> records;
  std::string error;
  if (!ReadRecordingFile(path, records, error)) {
    std::fprintf(stderr, "web-reference: %s\n", error.c_str());
    return 1;
  }
  const Record* newest = NewestPresent(records, static_cast<uint32_t>(tick));
  if (newest == nullptr) {
    std::fprintf(stderr, "web-reference: no frame at or before tick %lu\n", tick);
    return 1;
  }
  auto frame = std::make_unique<test::Frame>();
  CellsOf(*newest, frame->cells);
  auto image = std::make_unique<PixelImage>();
  RenderCells(frame->cells, *image);
  return std::fwrite(image->pixels, sizeof image->pixels, 1, stdout) == 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "data") == 0) {
    cellshow::test::MakeDataSet(argv[2], argv[3]);
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "image") == 0) return Image(argv[2], argv[3]);
  return Usage();
}
