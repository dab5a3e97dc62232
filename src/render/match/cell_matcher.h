#pragma once
// The pixel model run backwards: a 640x400 image in, 80x50 cells out. Every
// 8x8 block becomes the cell (glyph, foreground, background; 256 x 16 x 16
// choices) whose rendering through the pixel model is closest to it: the
// least sum over its 64 pixels of the squared OKLab distance, in the
// integer OKLab of lab_colour.h. The result is the exact optimum, and on a
// tie the lowest glyph, then the lowest foreground, then the lowest
// background wins, so it is the same on every machine.
//
// For a fixed glyph whose set pixels are M (n of them) and the rest C, the
// error is sum |x|^2 + (n |f|^2 - 2 f . S_M) + ((64 - n) |b|^2 - 2 b . S_C),
// with S the sums of the pixels' colours: the foreground and the background
// are two independent nearest-colour problems over two sums. The sums for
// every glyph come from per-row tables of the sums of every subset of a
// row's 8 pixels, so a block costs some 16,000 additions and 8,000
// multiplications rather than the 4 million of trying every choice.
//
// Pure and allocation-free after construction; MatchRows may run on
// several threads at once over different rows (no threads here: the caller
// splits the work).
#include <cstdint>

#include "render/match/lab_colour.h"
#include "render/pixels/cell_image.h"

namespace cellshow {

// One 8x8 block, row by row, leftmost pixel first.
struct LabBlock {
  LabColour pixels[64];
};

struct CellChoice {
  uint8_t glyph = 0, fg = 0, bg = 0;
  int64_t error = 0;  // the sum of the 64 squared distances
  friend bool operator==(const CellChoice&, const CellChoice&) = default;
};

class CellMatcher {
 public:
  CellMatcher();

  // The best cell for one block.
  CellChoice Match(const LabBlock& block) const;

  // Cell rows [firstRow, endRow) of `cells` from the matching pixel rows of
  // `image` (PackRgba words; alpha is ignored). Other rows are untouched.
  void MatchRows(const PixelImage& image, int firstRow, int endRow, ScreenCells& cells) const;

 private:
  struct Glyph {
    uint8_t code;
    uint8_t setPixels;
    uint8_t rows[8];
  };
  // The search over all 16 colours on each side, for blocks that keep more
  // than a few candidates.
  CellChoice MatchAll(const int32_t (&sums)[3][8][256], const int32_t (&wholeDot)[16],
                      int64_t squares) const;

  Glyph glyphs_[256];  // one per distinct pattern, the lowest code first
  int glyphCount_ = 0;
  int32_t twice_[3][16];       // 2 x each palette colour's L, a, b
  int16_t twice16_[3][16];     // the same in 16 bits
  int32_t offsetDot_[16];      // 2 x L x LOffset (see the .cpp)
  int32_t normTimes_[65][16];  // n x |colour|^2, for n pixels
};

// The block of cell (column, row) of `image`, in integer OKLab.
void BlockAt(const PixelImage& image, int column, int row, LabBlock& out);

// Tries all 65,536 choices, in the order of the tie rule: the reference the
// tests and the benchmark hold Match to.
CellChoice MatchByTrying(const LabBlock& block);

}  // namespace cellshow
