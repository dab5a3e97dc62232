#include "platform/terminal/terminal_show.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/terminal/terminal_platform.h"
#include "platform/terminal/terminal_probe.h"
#include "shell/screen.h"

namespace cellshow {

bool TerminalShowsWholeGrid() {
  winsize size{};
  return isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 &&
         size.ws_col >= ScreenWidth && size.ws_row >= ScreenHeight;
}

Host* OpenTerminalHost(const TerminalSettings& settings, std::string& error) {
  const std::string otherWay = settings.windowOffered ? "play it in a window with --window"
                                                      : "make a video of it with --export show.mp4";
  if (!isatty(STDOUT_FILENO)) {
    error = "standard output is not a terminal, so the show cannot play here; " + otherWay;
    return nullptr;
  }
  const char* term = std::getenv("TERM");
  const TerminfoFacts facts = ReadTerminfo(term, STDOUT_FILENO);
  error = Unsuitable(term, facts, otherWay);
  if (!error.empty()) return nullptr;
  const std::string codeset = LocaleCodeset();
  const TerminalCapabilities capabilities = ChooseCapabilities(
      facts, std::getenv("COLORTERM"), codeset.c_str(), settings.colors, settings.glyphs);
  static TerminalPlatform host(settings, capabilities);
  if (!host.Open(error)) return nullptr;
  return &host;
}

}  // namespace cellshow
