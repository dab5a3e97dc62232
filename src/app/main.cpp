// cellshow: a self-running text-mode show on an 80x50 cell grid.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "app/launcher.h"
#include "app/options.h"
#include "platform/files/asset_paths.h"

int main(int argc, char** argv) {
  using namespace cellshow;
  Options options;
  std::string error;
  const ParseResult parsed = ParseOptions(argc, argv, options, error);
  switch (parsed) {
    case ParseResult::Help:
      std::fputs(HelpText, stdout);
      return 0;
    case ParseResult::Version:
      std::puts("cellshow " CELLSHOW_VERSION);
      return 0;
    case ParseResult::Error:
      std::fprintf(stderr, "cellshow: %s (try --help)\n", error.c_str());
      return 2;
    case ParseResult::Run:
      break;
  }
  if (!options.dataDir.empty()) {
    struct stat st {};
    if (stat(options.dataDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "cellshow: --data: '%s' is not a folder\n", options.dataDir.c_str());
      return 2;
    }
  }
  options.dataSearched = options.dataDir.empty();
  options.dataDir = ResolveDataDir(options.dataDir);
  return Launch(options);
}
