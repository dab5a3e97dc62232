#pragma once
// The whole state of the show: plain fixed-size records, one static instance
// in the program, fresh instances in tests.
#include "math3d/fixed_point.h"
#include "raster/point_list.h"
#include "scenes/burst.h"
#include "scenes/frame_playback.h"
#include "scenes/plasma.h"
#include "scenes/wireframe.h"
#include "shell/assets.h"
#include "shell/host.h"
#include "shell/lifecycle.h"
#include "shell/screen.h"
#include "show/playback.h"
#include "show/sequencer.h"

namespace cellshow {

struct Show {
  Show() = default;
  explicit Show(Host& machine) : host(&machine) {}
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  Host* host = nullptr;  // the machine the show runs on (shell/host.h)
  ScreenCells Screen = {};
  Lifecycle shell;
  Assets assets;
  Matrices matrices;
  Points points;
  Sequencer seq;
  PlasmaState plasma;
  FramePlayback frames;
  BurstState burst;
  Wireframes wire;
  Playback play;
};

// Shows the grid as it stands (held back while start-up runs silently).
inline void PresentScreen(Show& show) {
  if (!show.play.Silent) show.host->PresentScreen(show.Screen);
}

}  // namespace cellshow
