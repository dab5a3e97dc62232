#include "platform/terminal/terminal_show.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files/asset_paths.h"
#include "platform/terminal/terminal_platform.h"
#include "platform/terminal/terminal_probe.h"
#include "shell/screen.h"
#include "show/show.h"

namespace cellshow {

bool TerminalShowsWholeGrid() {
  winsize size{};
  return isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 &&
         size.ws_col >= ScreenWidth && size.ws_row >= ScreenHeight;
}

int RunTerminalShow(const Options& options) {
  if (!isatty(STDOUT_FILENO)) {
    std::fputs(
        "cellshow: standard output is not a terminal; to play the show without one, use "
        "--record FILE\n",
        stderr);
    return 2;
  }
  const char* term = std::getenv("TERM");
  const TerminfoFacts facts = ReadTerminfo(term, STDOUT_FILENO);
  const std::string unsuitable = Unsuitable(term, facts);
  if (!unsuitable.empty()) {
    std::fprintf(stderr, "cellshow: %s\n", unsuitable.c_str());
    return 2;
  }
  ReportMissingShowFiles(options.dataDir, options.dataSearched);
  const std::string codeset = LocaleCodeset();
  const TerminalCapabilities capabilities = ChooseCapabilities(
      facts, std::getenv("COLORTERM"), codeset.c_str(), options.colors, options.glyphs);
  static TerminalPlatform host(options, capabilities);
  std::string error;
  if (!host.Open(error)) {
    std::fprintf(stderr, "cellshow: %s\n", error.c_str());
    return 2;
  }
  static Show show;
  show.Host = &host;
  Start(show);  // ends the process in its shutdown
  return 0;
}

}  // namespace cellshow
