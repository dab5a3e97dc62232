#pragma once
// The one launcher: from the command line to a show on a host. It picks the
// host the options ask for (or, by default, the one that suits this
// machine), gives it its own settings, and makes and starts the Show there.
// Recordings and exports go to the headless run and the export instead.
#include "app/options.h"

namespace cellshow {

// Plays the show as `options` say (dataDir already resolved). Returns the
// exit code; a live host ends the process inside the show's shutdown.
int Launch(const Options& options);

}  // namespace cellshow
