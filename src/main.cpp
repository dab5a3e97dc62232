// cellshow: a self-running text-mode show on an 80x50 cell grid.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/files/asset_paths.h"
#include "platform/headless/headless_platform.h"
#include "platform/options.h"
#ifdef _WIN32
#include "platform/win32/console_platform.h"
#elif defined(__EMSCRIPTEN__)
#else
#include "export/export_run.h"
#include "platform/terminal/terminal_show.h"
#include "platform/window/window_show.h"
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
  options.dataSearched = options.dataDir.empty();
  options.dataDir = ResolveDataDir(options.dataDir);
  if (options.record) {
    ReportMissingShowFiles(options.dataDir, options.dataSearched);
    return RunHeadlessShow(options);
  }
#ifdef _WIN32
  if (options.output == OutputChoice::Window) {
    std::fputs("cellshow: this Windows build plays in the console; it has no window\n", stderr);
    return 2;
  }
  return RunConsoleShow(options);
#elif defined(__EMSCRIPTEN__)
  std::fputs(
      "cellshow: under node only --record plays the show; serve the page to watch it "
      "(try --help)\n",
      stderr);
  return 2;
#else
  if (!options.exportPath.empty()) return RunExport(options);
  switch (options.output) {
    case OutputChoice::Terminal:
      return RunTerminalShow(options);
    case OutputChoice::Window:
      return RunWindowShow(options, false);
    case OutputChoice::Auto:
      break;
  }
  if (!TerminalShowsWholeGrid() && DisplayNamed()) {
    const int code = RunWindowShow(options, true);
    if (code != NoWindow) return code;
  }
  return RunTerminalShow(options);  // scaled when smaller, the notice below 40x12
#endif
}
