#include "platform/terminal/terminal_show.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/terminal/terminal_platform.h"
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
  static TerminalPlatform host(options);
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
