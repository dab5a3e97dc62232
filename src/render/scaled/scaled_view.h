#pragma once
// The whole frame at any terminal size from 40x12 up: the 80x50 cells, as
// the 640x400 image of the pixel model, scaled into the largest 4:3 box that
// fits and turned back into terminal cells. Pure: no I/O, no allocation.
//
// Each box pixel is the exact area average of the image over the rectangle
// it covers, fractional edges weighted, taken in linear light and rounded
// back to sRGB. The image is never drawn: a cell's share of a box pixel
// comes from its glyph rows and the box's precomputed weights (a cell wholly
// inside needs only its glyph's coverage), so a frame costs a few operations
// per box pixel and cell piece, not per image pixel.
//
// With half blocks each cell is the upper half block, the upper pixel's
// colour on the lower pixel's; otherwise a blank in its one pixel's colour.
// The colours are exact (24-bit), the nearest of xterm's 256, or VGA colours
// under a fixed ordered dither chosen by OKLab distance: the 16, and with 8
// colours the same but where a terminal of 8 colours cannot show them (only
// a foreground is bright): blanks take the eight normal colours, and of two
// bright colours in one half-block cell one takes a normal colour (see
// PaletteReducer).
#include <cstdint>

#include "render/ansi/terminal_capabilities.h"
#include "render/scaled/area_weights.h"
#include "render/scaled/palette_match.h"
#include "render/scaled/rgb_cell.h"
#include "render/scaled/scaled_box.h"
#include "shell/screen.h"

namespace cellshow {

class ScaledView {
 public:
  ScaledView();

  // Lays the picture out for a terminal of columns x rows; the weights are
  // worked out again only when the box's size changes. The box is empty
  // when the terminal is below ScaledMinColumns x ScaledMinRows.
  const ScaledBox& Fit(int columns, int rows, bool halfBlocks);
  const ScaledBox& box() const { return box_; }

  // Box pixel (x, y) of `cells`, exact (before any colour reduction).
  Rgb Pixel(const ScreenCells& cells, int x, int y) const;

  // The box's cells (box().columns x box().rows, row by row) for `cells`.
  // A half-block box with an odd number of pixel rows has black under its
  // last row. With 8 colours no cell has two different bright colours, and
  // blanks (one pixel a cell) none. Only the box pixels over cells that
  // changed since the last call are worked out anew.
  void Render(const ScreenCells& cells, ColorDepth depth, RgbCell* out);

 private:
  Rgb ExactPixel(const ScreenCells& cells, int x, int y) const;
  void RenderPixels(const ScreenCells& cells, ColorDepth depth);

  // The VGA colours in linear light.
  struct Light {
    float r = 0, g = 0, b = 0;
  };
  Light linear_[16];
  // Each glyph's set pixels out of 64 (its rows are read from the font).
  int32_t coverage_[256];

  ScaledBox box_;
  AreaWeights weights_;
  PaletteReducer reducer_;
  // The box's pixels as the terminal gets them (after any colour reduction),
  // for the cells and depth of the last frame.
  Rgb pixels_[ScaledMaxColumns * ScaledMaxPixelRows];
  bool pixelsValid_ = false;
  ColorDepth pixelsDepth_ = ColorDepth::TrueColor;
  ScreenCells previous_ = {};
  uint8_t dirty_[ScaledMaxColumns * ScaledMaxPixelRows];  // pixels to work out again
  // The box columns and pixel rows each cell column and row reaches.
  struct Span {
    int16_t first = 0, last = -1;
  };
  Span cellColumns_[ScreenWidth];
  Span cellPixelRows_[ScreenHeight];
};

}  // namespace cellshow
