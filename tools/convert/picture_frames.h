#pragma once
// Pictures and video into the show's cell files: frames taken by time at a
// file's cadence, fitted and cell-matched (the matcher runs on two
// threads, half the rows each).
#include <functional>
#include <string>
#include <vector>

#include "picture_source.h"
#include "render/match/cell_matcher.h"
#include "show_data.h"

namespace cellshow::convert {

// What to take: `frames` pictures, one every `cadence` seconds from `start`.
// A source shorter than that is played again from `start`; a still picture
// makes every frame.
struct Timing {
  int frames = 1;
  double cadence = 0.034;
  double start = 0;
};

// Tells how many frames are done, of how many.
using Progress = std::function<void(int done, int total)>;

// The frames of an animation: 640x400 pictures (contained pictures get
// black bars), transparent pixels over black.
bool PicturesToFrames(const std::string& path, const Timing& timing, Fit fit,
                      const CellMatcher& matcher, const Progress& progress,
                      std::vector<datagen::Frame>& frames, std::string& error);

// An overlay: the picture at `start` fitted into the 80x8-cell strip (its
// bars are transparent). A cell most of whose pixels are transparent
// (alpha below half) becomes transparent, character 32; every other cell
// is opaque and never 32. Rows 8 to 49 are blank (32).
bool PictureToOverlay(const std::string& path, double start, Fit fit, const CellMatcher& matcher,
                      datagen::Frame& overlay, std::string& error);

// Cells of the matched image of `canvas` (640 wide, up to 400 high), its
// transparent pixels over black, cell rows [0, canvas.height / 8).
void MatchCanvas(const CellMatcher& matcher, const Canvas& canvas, ScreenCells& cells);

// The pixel aspect of the pixel model as shown: 640x400 at 4:3.
constexpr double PixelAspect = (4.0 / 3.0) / (640.0 / 400.0);

}  // namespace cellshow::convert
