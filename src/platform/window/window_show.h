#pragma once
// The show in a window, with the real 17 ms timer and music.
#include "platform/options.h"

namespace cellshow {

// RunWindowShow's answer, when asked to fall back, that no window could be
// made (nothing has been shown or played).
constexpr int NoWindow = -1;

// DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayNamed();

// Returns the exit code when the show cannot start: without a display, 2
// after one line on stderr, or NoWindow (silently) when `fallBack`.
// Otherwise the process ends inside the show's shutdown. A lost display
// connection ends the show as a key does.
int RunWindowShow(const Options& options, bool fallBack);

}  // namespace cellshow
