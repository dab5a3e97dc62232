// cellshow-data: makes the default show data, the ten files that cellshow
// reads from its data folder; `convert` makes one of them from the user's
// own material, `check` says what a folder holds.
#include <cstdio>
#include <cstring>
#include <string>

#include "convert_command.h"
#include "data_check.h"
#include "show_data.h"

namespace {

constexpr const char* Usage =
    "Usage: cellshow-data DIR\n"
    "       cellshow-data convert [OPTIONS] SRC DEST\n"
    "       cellshow-data check DIR\n"
    "Makes the default cellshow data in DIR (created if missing):\n"
    "  img.txt, hit.img, bl.img   cell animations (63, 143 and 138 frames)\n"
    "  tr.img, tr2.img, tr3.img   overlay pictures\n"
    "  lc1.txt, lc2.txt, lc3.txt  wireframe models\n"
    "  03.mp3                     music, 44100 Hz stereo\n"
    "Existing files of these names are replaced; the output is the same on\n"
    "every run.\n"
    "Exit status: 0 done, 1 DIR could not be written, 2 bad command line.\n"
    "(A folder named convert or check is written ./convert or ./check.)\n"
    "\n"
    "check DIR: what each of the ten files in DIR holds against what the show\n"
    "reads, and what the show does with one that is missing or short; exit\n"
    "status 0 when all are complete, 1 otherwise.\n"
    "\n";

int Check(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs("Usage: cellshow-data check DIR\n", stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs("cellshow-data check: needs one folder, DIR (try --help)\n", stderr);
    return 2;
  }
  std::printf("%s:\n", argv[1]);
  return cellshow::convert::CheckDataFolder(argv[1], stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "convert") == 0)
    return cellshow::convert::RunConvert(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "check") == 0) return Check(argc - 1, argv + 1);
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      std::fputs(Usage, stdout);
      std::fputs(cellshow::convert::ConvertUsage, stdout);
      return 0;
    }
    if (arg[0] == '-') {
      std::fprintf(stderr, "cellshow-data: unknown option '%s' (try --help)\n", arg);
      return 2;
    }
    if (!dir.empty()) {
      std::fprintf(stderr, "cellshow-data: one folder only, got '%s' and '%s' (try --help)\n",
                   dir.c_str(), arg);
      return 2;
    }
    dir = arg;
  }
  if (dir.empty()) {
    std::fputs("cellshow-data: no folder given (try --help)\n", stderr);
    return 2;
  }
  std::printf("Making the default show data in %s\n", dir.c_str());
  std::fflush(stdout);
  std::string error;
  const bool ok = cellshow::datagen::WriteShowData(
      dir,
      [](const std::string& line) {
        std::printf("  %s\n", line.c_str());
        std::fflush(stdout);
      },
      error);
  if (!ok) {
    std::fprintf(stderr, "cellshow-data: %s\n", error.c_str());
    return 1;
  }
  std::puts("Done: 10 files.");
  return 0;
}
