#pragma once
// Where the scaled picture goes in a terminal: the largest 4:3 box that fits,
// centred, with black around it. Pure.
//
// With half blocks each terminal cell holds two pixels, one above the other
// (a cell is about twice as tall as it is wide, so the pixels are near
// square); without them each cell holds one pixel, twice as tall as wide.
namespace cellshow {

// Below this the terminal gets the size notice instead.
constexpr int ScaledMinColumns = 40;
constexpr int ScaledMinRows = 12;
// The widest picture drawn: a wider terminal gets it centred. 200 columns
// already show more than three of the image's 640 columns in each, and the
// bound keeps a whole frame's bytes within the encoder's buffer.
constexpr int ScaledMaxColumns = 200;
// The tallest picture, that of the widest: in pixel rows and in cells.
constexpr int ScaledMaxPixelRows = (3 * ScaledMaxColumns + 2) / 4;
constexpr int ScaledMaxRows = (ScaledMaxPixelRows + 1) / 2;
static_assert((3 * ScaledMaxColumns + 4) / 8 <= ScaledMaxRows);

struct ScaledBox {
  int columns = 0;    // pixel columns, one per terminal column
  int pixelRows = 0;  // pixel rows
  int rows = 0;       // terminal rows: pixelRows / 2 rounded up, or pixelRows
  int left = 0;       // terminal column and row of the box's top-left cell
  int top = 0;
  bool halfBlocks = true;
  bool empty() const { return columns == 0; }
  friend bool operator==(const ScaledBox&, const ScaledBox&) = default;
};

// The box for a terminal of `columns` x `rows` cells: width = min(columns,
// floor(2 * rows * 4 / 3)), height = round(width * 3 / 4) pixel rows (half
// blocks) or round(width * 3 / 8) rows (one pixel per cell). Empty below
// ScaledMinColumns x ScaledMinRows.
ScaledBox FitScaledBox(int columns, int rows, bool halfBlocks);

}  // namespace cellshow
