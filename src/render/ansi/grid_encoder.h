#pragma once
// Turns frames of a grid of colour cells (the scaled view's, any size, placed
// anywhere in the terminal) into the bytes that make a terminal show them,
// on black. It remembers what the terminal shows, so a frame costs only its
// changes, and it keeps colour changes cheap: both colours in one SGR, the
// pen's colours reused wherever they fit. Pure: no I/O, no allocation after
// construction.
//
// What the bytes rely on: those FrameEncoder relies on (SGR colours, cursor
// movement, insert character, autowrap, synchronized update), and xterm's 256
// colours (SGR 38;5 / 48;5) at that depth; with 8 colours only SGR 30-37 and
// 40-47, and bold for a bright foreground (as the glyph grid writes it).
// There a colour that shows as a background is one of the eight normal
// colours (a bright one becomes the nearest of them), but a cell keeps its
// look where its one bright colour can be the foreground instead: in UTF-8 a
// blank or full block in a bright colour is a full block, and an upper half
// block with a bright lower half and a normal upper one a lower half block.
// Glyphs are written in UTF-8, or as their ASCII stand-ins (then only blanks
// and full blocks are exact). With background colour erase the margins and
// mostly black frames are drawn by erasing in black; without, every cell
// that must be black is written. As there, nothing is printed in the
// terminal's last cell.
//
// Cells are compared by what they show. A blank shows only its background
// and a full block only its foreground: both are written as a blank (one
// byte, one colour), or with 8 colours in a bright one as a full block. So
// is an upper half block whose halves are alike, and in UTF-8 a lower half
// block is the upper one with its colours swapped.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/ansi/cell_writer.h"
#include "render/ansi/color_cells.h"
#include "render/ansi/frame_encoder.h"
#include "render/ansi/terminal_capabilities.h"
#include "render/scaled/rgb_cell.h"
#include "render/scaled/scaled_box.h"

namespace cellshow {

// A grid of columns x rows cells with its top-left cell at terminal column
// `left`, row `top`.
struct GridPlace {
  int columns = 0, rows = 0;
  int left = 0, top = 0;
  friend bool operator==(const GridPlace&, const GridPlace&) = default;
};

class GridEncoder {
 public:
  // The largest grid: the scaled view's widest box.
  static constexpr int MaxCells = ScaledMaxColumns * ScaledMaxRows;
  static constexpr size_t MaxFrameBytes = FrameEncoder::MaxFrameBytes;
  // Without `bce`, margins are written cell by cell on terminals of at most
  // this many cells; larger ones are left to the erase.
  static constexpr int MaxFilledTerminalCells = 1 << 16;

  explicit GridEncoder(const TerminalCapabilities& capabilities);

  // Forgets what the terminal shows: the next frame is a full redraw.
  void Invalidate();

  // Writes into `out` (MaxFrameBytes of room) the bytes that bring a terminal
  // of `size` from what it shows now to `cells` (place.columns x place.rows,
  // row by row) at `place`, black around. The grid must fit in the terminal
  // and hold at most MaxCells, at least two columns. Returns the number of
  // bytes: 0 when the terminal already shows exactly this.
  size_t Encode(const RgbCell* cells, GridPlace place, TerminalSize size, char* out);

  const TerminalCapabilities& capabilities() const { return capabilities_; }
  const FrameCost& lastFrame() const { return last_; }

 private:
  using Key = ColorCells::Key;
  static constexpr Key UnknownKey = ~Key{0};

  Key KeyOf(const RgbCell& cell) const;
  Key Solid(uint32_t color) const;
  Key HalfBlocks(uint32_t top, uint32_t bottom) const;
  uint32_t ColorOf(Rgb c) const;
  uint32_t Background(uint32_t color) const;
  void Redraw();
  bool ClearPays(const Key* keys) const;
  void DrawRow(int row, const Key* keys);

  const TerminalCapabilities capabilities_;
  const ColorDepth depth_;
  const uint32_t black_;  // black as the terminal is told it
  const Key blackBlank_;  // a blank in black
  bool valid_ = false;    // the terminal shows shown_ at place_
  TerminalSize size_{0, 0};
  GridPlace place_;
  // The cursor and the pen of the terminal, and the frame's bytes.
  CellWriter<ColorCells> out_;
  FrameCost last_;
  std::unique_ptr<Key[]> shown_;  // MaxCells, row by row at place_.columns
  std::unique_ptr<Key[]> keys_;   // the frame being encoded
};

}  // namespace cellshow
