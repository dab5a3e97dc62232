#pragma once
// The window host as the launcher sees it: its settings, and opening it for
// a show in a window, with the real 17 ms timer and music.
#include <cstdint>
#include <string>

#include "shell/host.h"

namespace cellshow {

struct Show;

struct WindowSettings {
  std::string dataDir;    // the show's files
  int64_t keyAfter = -1;  // a key is seen once this many ticks have run; -1 never
  bool mute = false;
  bool stats = false;       // figures on stderr at the end
  bool fullscreen = false;  // the window starts fullscreen
  int volume = 100;         // the music's, 0 to 100
};

// DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayNamed();

// The window host, ready for Start on `show` (it ends the process in the
// show's shutdown; a lost display connection runs that shutdown as a key
// does, which is why the host keeps the show). nullptr, with `error` set to
// one line, when there is no display or no window can be made; nothing has
// been shown or played then. Once per process.
Host* OpenWindowHost(const WindowSettings& settings, Show& show, std::string& error);

}  // namespace cellshow
