// cellshow: a self-running text-mode show on an 80x50 cell grid.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/files/asset_paths.h"
#include "platform/headless/headless_platform.h"
#include "platform/options.h"
#ifdef _WIN32
#include "platform/win32/console_platform.h"
#else
#include "platform/terminal/terminal_show.h"
#endif

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
  if (options.dataDir.empty()) {
    options.dataDir = ResolveDataDir("");
    if (DataDirMissing(options.dataDir)) {
      // The show still plays (missing files are not an error), but a blank,
      // silent show deserves a word on where the data was looked for.
      std::string looked;
      for (const std::string& dir : DefaultDataDirs()) looked += (looked.empty() ? "" : ", ") + dir;
      std::fprintf(stderr, "cellshow: no show data found in %s; playing without it (see --data)\n",
                   looked.c_str());
    }
  }
  if (options.record) return RunHeadlessShow(options);
#ifdef _WIN32
  return RunConsoleShow(options);
#else
  return RunTerminalShow(options);
#endif
}
