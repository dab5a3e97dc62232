#include "platform/window/window_show.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

Host* OpenWindowHost(const WindowSettings& settings, Show& show, std::string& error) {
  // SDL_VIDEODRIVER choosing a driver (offscreen, dummy) needs no display.
  if (!DisplayNamed() && !Named("SDL_VIDEODRIVER")) {
    error = "--window needs a display, and neither DISPLAY nor WAYLAND_DISPLAY is set";
    return nullptr;
  }
  static WindowPlatform host(settings);
  if (!host.Open(error)) {
    error = "--window: " + error;
    return nullptr;
  }
  if (!host.WatchEndingSignals()) {
    error = "cannot watch signals";
    return nullptr;
  }
  liveHost = &host;
  liveShow = &show;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(OnDisplayLost);
  return &host;
}

}  // namespace cellshow
