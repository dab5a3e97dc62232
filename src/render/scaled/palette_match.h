#pragma once
// The colours a terminal can be told, and how a picture is brought to them:
// the nearest of xterm's 256 (Euclidean in sRGB), or the VGA colours under
// a fixed ordered dither chosen by OKLab distance. Pure: the dither keeps
// the mixes it has found (a table filled as colours come, the same whatever
// the order), nothing else.
#include <cstdint>
#include <memory>

#include "render/ansi/terminal_capabilities.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {

// The entry of xterm's 6x6x6 cube (16..231) or grey ramp (232..255) nearest
// to `c`; the cube wins a tie. Entries 0..15 are left out: terminals set them
// as they like.
uint8_t NearestXterm256(Rgb c);
// The colour of entry `index` (16..255) as xterm defines it.
Rgb Xterm256Color(uint8_t index);

// The VGA colour (0..15) nearest to `c` in sRGB; exact for the VGA colours.
int NearestVga(Rgb c);
// The nearest of the eight normal VGA colours (0..7).
int NearestNormalVga(Rgb c);

// Ordered dithering to the VGA colours (all 16, or the eight normal ones).
// A colour is shown as a mix of two palette colours in sixteenths, mixed in
// linear light as the eye mixes neighbouring pixels: the mix nearest to it
// in OKLab, with a small charge for mixing colours far apart (so a colour
// between two near ones never becomes a pattern of two far ones). The 4x4
// Bayer matrix says which of the two each pixel shows, so each 4x4 tile
// holds the mix exactly, and the pattern does not move from frame to frame.
// A VGA colour stays itself. Colours are looked up to 6 bits a channel
// (which holds the VGA levels exactly).
class VgaDither {
 public:
  explicit VgaDither(bool normalOnly);
  // The VGA colour for pixel (x, y) of a picture whose colour there is `c`.
  int Pick(Rgb c, int x, int y);

 private:
  static constexpr int Levels = 64;
  uint16_t Find(int index) const;
  bool normalOnly_;
  std::unique_ptr<uint16_t[]> mixes_;  // by 6-bit colour: 0 not found yet
};

// Brings the scaled view's pixels to the colours of a terminal of a given
// depth, in place. 24-bit colour stays exact, 256 colours take the nearest
// of xterm's, 16 the dithered VGA colour. With 8 colours a foreground may
// still be bright (bold), a background not: one pixel a cell (blanks) takes
// the eight normal colours; a half-block cell takes the 16 for both pixels
// unless both come out bright and different, when one gives way (to its
// normal colour or to the other's bright one, whichever looks nearest).
class PaletteReducer {
 public:
  PaletteReducer();
  // Row `y`: each pixel x of `row` (0 <= x < width) whose `pick` is set.
  void ReduceRow(ColorDepth depth, int y, const uint8_t* pick, Rgb* row, int width);
  // The pixel rows `y` (upper) and y + 1 (`lower`, nullptr when there is
  // none: black under it) of half-block cells at 8 colours.
  void ReduceHalfBlockRows(int y, const uint8_t* pick, Rgb* upper, Rgb* lower, int width);

 private:
  VgaDither sixteen_{false}, eight_{true};
};

}  // namespace cellshow
