#include "platform/window/window_show.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/window/window_platform.h"
#include "show/show.h"

// Last: Xlib defines macros (Status, Bool) that other headers use as names.
#include <X11/Xatom.h>
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
  if (liveHost->ending()) {
    liveHost->GiveTerminalBack();
    _exit(liveHost->endCode());
  }
  Shutdown(*liveShow);  // ends the process, here or once the closing tick hands over
  _exit(0);
}

// An X display with no window manager (none has announced itself on the
// root window, as EWMH managers do): nobody there makes a window fullscreen.
// False when SDL will not use X11, or the display cannot be opened.
bool WithoutWindowManager() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (!Named("DISPLAY") || (driver != nullptr && *driver != '\0' && std::strcmp(driver, "x11")))
    return false;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  bool announced = false;
  if (check != None) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* value = nullptr;
    announced = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                   XA_WINDOW, &type, &format, &count, &after, &value) == Success &&
                type == XA_WINDOW && count == 1;
    if (value != nullptr) XFree(value);
  }
  XCloseDisplay(display);
  return !announced;
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
  host.view().SetFullscreenByHand(WithoutWindowManager());
  if (!host.Open(error)) {
    error = "--window: " + error;
    return nullptr;
  }
  if (!host.WatchEndingSignals()) {
    error = "cannot watch signals";
    return nullptr;
  }
  // Started from a terminal in the foreground: its keys are the show's too.
  // In the background the terminal is the shell's, and stays so.
  if (isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp()) {
    std::string why;
    host.WatchTerminal(STDIN_FILENO, why);  // without it the window's keys still end the show
  }
  liveHost = &host;
  liveShow = &show;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(OnDisplayLost);
  return &host;
}

}  // namespace cellshow
