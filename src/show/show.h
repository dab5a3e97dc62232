#pragma once
// The whole state of the show: plain fixed-size records, one static instance
// in the program, fresh instances in tests.
#include "math3d/fixed_point.h"
#include "platform/platform.h"
#include "raster/point_list.h"
#include "scenes/burst.h"
#include "scenes/frame_playback.h"
#include "scenes/plasma.h"
#include "scenes/wireframe.h"
#include "shell/assets.h"
#include "shell/lifecycle.h"
#include "shell/screen.h"
#include "show/sequencer.h"

namespace cellshow {

struct Show {
  Show() = default;
  explicit Show(Platform& host) : Host(&host) {}
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  Platform* Host = nullptr;
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
};

// Shows the grid as it stands.
inline void PresentScreen(Show& show) { show.Host->PresentScreen(show.Screen); }

}  // namespace cellshow
