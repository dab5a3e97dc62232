#pragma once
// How FrameEncoder's cells are written: the SGR sequence for every change of
// console colours at each colour depth, made at compile time, and the
// CellWriter adapter over them. A cell is its visible key (VisibleKey in
// frame_encoder.h): glyph << 8 | background << 4 | foreground.
#include <array>
#include <cstddef>
#include <cstdint>

#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/ansi/escape_writer.h"
#include "render/ansi/terminal_capabilities.h"

namespace cellshow {

// A whole SGR sequence that sets the pen, written with a fixed-size copy of
// `text` (see EscapeWriter::PutPadded).
struct PenSequence {
  uint8_t size = 0;
  char text[39] = {};
};
struct PenSequences {
  PenSequence fg[16], bg[16], both[256];  // both: [fg << 4 | bg]
  SgrParameter background[16];            // the parameters alone, for a reset
};

// The pen sequences for a colour depth: the grid's 16 colours need no more
// than SGR 30-37/90-97 where the terminal has 256.
const PenSequences& PenSequencesFor(ColorDepth depth);

struct ConsoleCells {
  using Key = uint16_t;
  struct Pen {
    int fg = -1, bg = -1;  // console colours; -1 unknown
  };
  // Forward on the cursor's row any number of cells is written through when
  // that is cheaper; after other moves at most MaxThroughCells.
  static constexpr int ForwardThroughCells = 80;
  static constexpr bool ThroughAfterMoves = true;

  const PenSequences* pens;
  const Utf8Glyph* glyphs;  // by character: what is printed for it

  // A blank's foreground and a full block's background cannot be seen.
  static constexpr bool NeedsForeground(Key key) {
    const unsigned c = key >> 8;
    return c != 0x20 && c != 0xFF;
  }
  static constexpr bool NeedsBackground(Key key) { return (key >> 8) != FullBlock; }

  CELLSHOW_HOT_INLINE int Stroke(Pen& pen, Key key) const {
    const int f = key & 0x0F, b = key >> 4 & 0x0F;
    const bool setFg = NeedsForeground(key) && f != pen.fg;
    const bool setBg = NeedsBackground(key) && b != pen.bg;
    int cost = glyphs[key >> 8].size;
    if (setFg && setBg) {
      cost += pens->both[f << 4 | b].size;
    } else if (setFg) {
      cost += pens->fg[f].size;
    } else if (setBg) {
      cost += pens->bg[b].size;
    }
    if (setFg) pen.fg = f;
    if (setBg) pen.bg = b;
    return cost;
  }

  CELLSHOW_HOT_INLINE void SetPen(EscapeWriter& w, Pen& pen, Key key) const {
    const int f = key & 0x0F, b = key >> 4 & 0x0F;
    const bool setFg = f != pen.fg && NeedsForeground(key);
    const bool setBg = b != pen.bg && NeedsBackground(key);
    if (!setFg && !setBg) return;
    const PenSequence& s = setFg && setBg ? pens->both[f << 4 | b]
                           : setFg        ? pens->fg[f]
                                          : pens->bg[b];
    w.PutPadded(s.text, sizeof s.text, s.size);
    if (setFg) pen.fg = f;
    if (setBg) pen.bg = b;
  }

  CELLSHOW_HOT_INLINE void PutGlyph(EscapeWriter& w, Key key) const {
    const Utf8Glyph& g = glyphs[key >> 8];
    w.PutPadded(g.bytes, sizeof g.bytes, g.size);
  }

  void PutBackground(EscapeWriter& w, const Pen& pen) const {
    const SgrParameter& p = pens->background[pen.bg];
    w.Put(p.text, p.size);
  }
};

}  // namespace cellshow
