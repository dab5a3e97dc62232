#pragma once
// Where a headless run sends what the show presents and commands. The
// recorder writes it to a file (recording.h); the exports turn it into
// pictures and sound (src/export). One run on the virtual clock feeds either.
// All calls come from the thread that runs the show.
#include <cstdint>

#include "shell/screen.h"

namespace cellshow {

class HeadlessSink {
 public:
  virtual ~HeadlessSink() = default;
  // A present or a media command, in the order the show makes them; `tick` is
  // the number of ticks run so far (0 during start-up). Called inside the
  // tick: no allocation, no waiting.
  virtual void Present(uint32_t tick, const ScreenCells& screen) = 0;
  virtual void Media(uint32_t tick, const char* command) = 0;
  // Between ticks, before tick `ticksRun + 1` runs and outside any tick.
  // Returning true ends the run as a key press would.
  virtual bool BetweenTicks(uint32_t /*ticksRun*/) { return false; }
};

}  // namespace cellshow
