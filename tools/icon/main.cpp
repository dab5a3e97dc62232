// cellshow-icon RECORDING TICK DIR: draws the frame that a recording of the
// show presented at TICK (the last present at or before it) through the pixel
// model and writes the program's icons, DIR/<n>x<n>/apps/cellshow.png for
// each icon size. The build runs it on a recording of the title.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "icon_image.h"
#include "platform/headless/recording.h"
#include "png_file.h"

namespace {

constexpr const char* Usage =
    "Usage: cellshow-icon RECORDING TICK DIR\n"
    "Draws the frame that RECORDING (made by cellshow --record) presented at\n"
    "TICK and writes the icons DIR/256x256/apps/cellshow.png and\n"
    "DIR/48x48/apps/cellshow.png.\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "cellshow-icon: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace cellshow;
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (argc != 4) {
    std::fputs(Usage, stderr);
    return 2;
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long long tick = std::strtoull(argv[2], &end, 10);
  if (errno != 0 || end == argv[2] || *end != '\0' || argv[2][0] == '-' || tick > 0xFFFFFFFFull) {
    std::fprintf(stderr, "cellshow-icon: TICK must be a tick number, not '%s'\n", argv[2]);
    return 2;
  }

  std::vector<Record> records;
  std::string error;
  if (!ReadRecordingFile(argv[1], records, error)) return Fail(error);
  static ScreenCells cells;
  if (!FrameAt(records, static_cast<uint32_t>(tick), cells))
    return Fail("the recording presents nothing by tick " + std::string(argv[2]));
  static PixelImage image;
  RenderCells(cells, image);

  for (int size : icon::IconSizes) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    const std::filesystem::path dir = std::filesystem::path(argv[3]) / name / "apps";
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    if (made) return Fail("cannot make " + dir.string() + ": " + made.message());
    const std::vector<uint32_t> pixels = icon::ResampleSquare(image, icon::TitleSquare, size);
    if (!icon::WritePng((dir / "cellshow.png").string(), pixels, size, size, error))
      return Fail(error);
  }
  return 0;
}
