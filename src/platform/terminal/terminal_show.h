#pragma once
// The show in the controlling terminal, with the real 17 ms timer and music.
#include "platform/options.h"

namespace cellshow {

// Returns the exit code when the show cannot start: 2 when standard output
// is not a terminal, or TERM names none that can place the cursor (one line
// on stderr, nothing written to the terminal). Otherwise the process ends
// inside the show's shutdown.
int RunTerminalShow(const Options& options);

// Standard output is a terminal of at least 80x50 cells.
bool TerminalShowsWholeGrid();

}  // namespace cellshow
