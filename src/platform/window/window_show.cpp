#include "platform/window/window_show.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files/asset_paths.h"
#include "platform/window/window_platform.h"
#include "show/show.h"

// Last: Xlib defines macros (Status, Bool) that other headers use as names.
#include <X11/Xlib.h>

namespace cellshow {
namespace {

WindowPlatform* liveHost = nullptr;
Show* liveShow = nullptr;

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// Xlib calls this when the connection to the X server is lost, and ends the
// process if it returns. Nothing may touch the display any more: the show
// ends as on a key (no tick after this, "close all", exit 0), without
// drawing.
int OnDisplayLost(Display*) {
  liveHost->MarkDisplayLost();
  if (liveHost->ending()) _exit(liveHost->endCode());
  Shutdown(*liveShow);  // ends the process, here or once the closing tick hands over
  _exit(0);
}

}  // namespace

bool DisplayNamed() { return Named("DISPLAY") || Named("WAYLAND_DISPLAY"); }

int RunWindowShow(const Options& options, bool fallBack) {
  // SDL_VIDEODRIVER choosing a driver (offscreen, dummy) needs no display.
  if (!DisplayNamed() && !Named("SDL_VIDEODRIVER")) {
    if (fallBack) return NoWindow;
    std::fputs(
        "cellshow: --window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set\n",
        stderr);
    return 2;
  }
  static WindowPlatform host(options);
  std::string error;
  if (!host.Open(error)) {
    if (fallBack) return NoWindow;
    std::fprintf(stderr, "cellshow: --window: %s\n", error.c_str());
    return 2;
  }
  if (!host.WatchEndingSignals()) {
    std::fputs("cellshow: cannot watch signals\n", stderr);
    return 2;
  }
  ReportMissingShowFiles(options.dataDir, options.dataSearched);
  static Show show;
  show.Host = &host;
  liveHost = &host;
  liveShow = &show;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(OnDisplayLost);
  Start(show);  // ends the process in its shutdown
  return 0;
}

}  // namespace cellshow
