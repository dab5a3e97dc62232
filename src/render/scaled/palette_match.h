#pragma once
// The colours a terminal can be told, and the nearest of them to any colour.
// Pure; distances are Euclidean in sRGB.
#include <cstdint>

#include "render/ansi/terminal_capabilities.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {

// The entry of xterm's 6x6x6 cube (16..231) or grey ramp (232..255) nearest
// to `c`; the cube wins a tie. Entries 0..15 are left out: terminals set them
// as they like.
uint8_t NearestXterm256(Rgb c);
// The colour of entry `index` (16..255) as xterm defines it.
Rgb Xterm256Color(uint8_t index);

// The VGA colour (0..15) nearest to `c`; exact for the VGA colours themselves.
int NearestVga(Rgb c);
// The nearest of the eight normal VGA colours (0..7), for terminals that
// show no more.
int NearestNormalVga(Rgb c);

// The VGA colour for a pixel at (x, y) of a picture with a fixed 4x4 ordered
// dither: the colour is nudged by up to +-40 on every channel by the
// pixel's place in the Bayer matrix before the nearest is taken. A VGA colour
// stays itself; a mix between two shows as a pattern of both that does not
// move from frame to frame.
int DitheredVga(Rgb c, int x, int y);
// The same among the eight normal colours (0..7), channel by channel: each
// of the eight stays itself, and a mix shows as a fixed pattern of the
// colours around it.
int DitheredNormalVga(Rgb c, int x, int y);

// Row `y` of a picture reduced to the colours of a terminal of `depth`, in
// place: each pixel x of `row` (0 <= x < width) whose `pick` is set becomes
// the nearest xterm colour, or the dithered VGA colour, as its colour
// (24-bit colour stays exact).
void ReduceRow(ColorDepth depth, int y, const uint8_t* pick, Rgb* row, int width);

}  // namespace cellshow
