#pragma once
// The colours a terminal can be told, and the nearest of them to any colour.
// Pure; distances are Euclidean in sRGB.
#include <cstdint>

#include "render/pixels/vga_palette.h"

namespace cellshow {

// How many colours the terminal shows: the 16 console colours (through the
// ANSI colour numbers), xterm's 256 or any 24-bit colour.
enum class ColorDepth : uint8_t { Ansi16, Xterm256, TrueColor };

// The entry of xterm's 6x6x6 cube (16..231) or grey ramp (232..255) nearest
// to `c`; the cube wins a tie. Entries 0..15 are left out: terminals set them
// as they like.
uint8_t NearestXterm256(Rgb c);
// The colour of entry `index` (16..255) as xterm defines it.
Rgb Xterm256Color(uint8_t index);

// The VGA colour (0..15) nearest to `c`; exact for the VGA colours themselves.
int NearestVga(Rgb c);

// The VGA colour for a pixel at (x, y) of a picture with a fixed 4x4 ordered
// dither: the colour is nudged by up to +-40 on every channel by the
// pixel's place in the Bayer matrix before the nearest is taken. A VGA colour
// stays itself; a mix between two shows as a pattern of both that does not
// move from frame to frame.
int DitheredVga(Rgb c, int x, int y);

}  // namespace cellshow
