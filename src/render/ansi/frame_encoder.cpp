#include "render/ansi/frame_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "render/ansi/ascii_glyphs.h"
#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/ansi/escape_writer.h"

// The per-cell steps are small and hot: they belong inside the loops.
#if defined(__GNUC__)
#define CELLSHOW_HOT_INLINE [[gnu::always_inline]] inline
#else
#define CELLSHOW_HOT_INLINE inline
#endif

namespace cellshow {

namespace {

// A shown_ entry that matches no visible key: the cell must be written.
constexpr uint16_t UnknownKey = 0xFFFF;

// A whole SGR sequence that sets the pen. Written with a fixed-size copy of
// `text` (the bytes past `size` are overwritten by what follows).
struct PenSequence {
  uint8_t size = 0;
  char text[39] = {};
};
struct PenSequences {
  PenSequence fg[16], bg[16], both[256];  // both: [fg << 4 | bg]
};

struct ColorTables {
  const std::array<SgrParameter, 16>& fg;
  const std::array<SgrParameter, 16>& bg;
};
// By PenTable.
constexpr ColorTables ColorTablesFor[3] = {{EightForeground, EightBackground},
                                           {AnsiForeground, AnsiBackground},
                                           {TrueForeground, TrueBackground}};

// The pen table for a colour depth: the grid's 16 colours need no more than
// SGR 30-37/90-97 where the terminal has 256.
constexpr int PenTable(ColorDepth depth) {
  switch (depth) {
    case ColorDepth::Eight:
      return 0;
    case ColorDepth::Sixteen:
    case ColorDepth::Xterm256:
      return 1;
    case ColorDepth::TrueColor:
      break;
  }
  return 2;
}

constexpr PenSequences MakePenSequences(ColorDepth depth) {
  const auto& fgTable = ColorTablesFor[PenTable(depth)].fg;
  const auto& bgTable = ColorTablesFor[PenTable(depth)].bg;
  PenSequences out{};
  // A colour index of -1 leaves that colour out.
  auto build = [&](PenSequence& s, int fg, int bg) {
    auto append = [&s](const SgrParameter& p) {
      for (int i = 0; i < p.size; ++i) s.text[s.size++] = p.text[i];
    };
    s.text[s.size++] = '\x1b';
    s.text[s.size++] = '[';
    if (fg >= 0) append(fgTable[fg]);
    if (fg >= 0 && bg >= 0) s.text[s.size++] = ';';
    if (bg >= 0) append(bgTable[bg]);
    s.text[s.size++] = 'm';
  };
  for (int c = 0; c < 16; ++c) {
    build(out.fg[c], c, -1);
    build(out.bg[c], -1, c);
  }
  for (int f = 0; f < 16; ++f) {
    for (int b = 0; b < 16; ++b) build(out.both[f << 4 | b], f, b);
  }
  return out;
}

// By PenTable.
constexpr PenSequences Pens[3] = {MakePenSequences(ColorDepth::Eight),
                                  MakePenSequences(ColorDepth::Sixteen),
                                  MakePenSequences(ColorDepth::TrueColor)};

// Bytes of one frame at most: every cell changed, each reached by the
// dearest movement, with both colours changed in 24-bit form and a 3-byte
// glyph (writing through is only chosen when it is no dearer), a row shift
// per row, the last-cell insert, and 256 for the fixed sequences (redraw or
// erase, synchronized update) and the slack of the fixed-size copies past
// the end. A notice is far smaller.
constexpr size_t WorstCaseFrameBytes = ScreenCellCount * WorstCellBytes +
                                       ScreenHeight * (AbsoluteMoveCost(65535, 0) + 4) +
                                       2 * WorstCellBytes + 256;
// The margins of a terminal without `bce`, written at a full redraw: a space
// per cell, and per row at most two absolute moves and the last-cell insert.
constexpr size_t WorstMarginBytes =
    size_t{FrameEncoder::MaxFilledTerminalCells} +
    (size_t{FrameEncoder::MaxFilledTerminalCells} / ScreenWidth + 1) * 2 *
        AbsoluteMoveCost(65535, 65535) +
    64;
static_assert(WorstCaseFrameBytes + WorstMarginBytes <= FrameEncoder::MaxFrameBytes);

// Four keys side by side in a 64-bit word, lowest address in the low lane.
constexpr uint64_t LaneOnes = 0x0001000100010001u;
uint64_t FourKeys(const uint16_t* keys) {
  uint64_t word;
  std::memcpy(&word, keys, sizeof word);
  return word;
}
// 1 in each 16-bit lane of `x` that is not zero, 0 in each that is: every
// lane is folded onto its lowest bit.
constexpr uint64_t NonZeroLanes(uint64_t x) {
  x |= x >> 8;
  x |= x >> 4;
  x |= x >> 2;
  x |= x >> 1;
  return x & LaneOnes;
}
// The sum of the four lanes (each small enough not to carry).
constexpr int LaneSum(uint64_t x) { return static_cast<int>((x * LaneOnes) >> 48); }

// The number of the 80 places in which two rows of keys differ, counted
// sixteen at a time until it reaches `limit`.
int CountDifferent(const uint16_t* a, const uint16_t* b, int limit) {
  static_assert(ScreenWidth % 16 == 0);
  int count = 0;
  for (int i = 0; i < ScreenWidth && count < limit; i += 16) {
    for (int j = i; j < i + 16; j += 4) {
      count += LaneSum(NonZeroLanes(FourKeys(a + j) ^ FourKeys(b + j)));
    }
  }
  return count;
}

constexpr bool NeedsForeground(uint16_t key) {
  const unsigned c = key >> 8;
  return c != 0x20 && c != 0xFF;
}
constexpr bool NeedsBackground(uint16_t key) { return (key >> 8) != FullBlock; }

}  // namespace

// Appends to the caller's buffer; MaxFrameBytes is never reached (see
// WorstCaseFrameBytes).
struct FrameEncoder::Writer : EscapeWriter {
  using EscapeWriter::Put;
  void Put(const PenSequence& s) {
    std::memcpy(p, s.text, sizeof s.text);
    p += s.size;
  }
  void Put(const Utf8Glyph& g) {
    std::memcpy(p, g.bytes, sizeof g.bytes);
    p += g.size;
  }
};

FrameEncoder::FrameEncoder(const TerminalCapabilities& capabilities, TerminalSize noticeNeeds)
    : capabilities_(capabilities),
      colorTable_(PenTable(capabilities.colors)),
      glyphs_(capabilities.glyphs == GlyphSet::Ascii ? AsciiGlyphs.data() : Cp437Utf8.data()),
      noticeNeeds_(noticeNeeds) {
  std::fill(std::begin(shown_), std::end(shown_), UnknownKey);
}

FrameEncoder::FrameEncoder(bool trueColor)
    : FrameEncoder(TerminalCapabilities{trueColor ? ColorDepth::TrueColor : ColorDepth::Sixteen,
                                        GlyphSet::Unicode, true}) {}

// The visible key of a cell as this terminal shows it. In ASCII a full block
// is a blank in the block's colour: the same look, exactly.
CELLSHOW_HOT_INLINE uint16_t FrameEncoder::Key(const Cell& cell) const {
  const uint16_t key = VisibleKey(cell);
  if (capabilities_.glyphs == GlyphSet::Ascii && (key >> 8) == FullBlock) {
    return static_cast<uint16_t>(0x2000 | (key & 0x0F) << 4);
  }
  return key;
}

void FrameEncoder::Invalidate() { valid_ = false; }

size_t FrameEncoder::Encode(const ScreenCells& screen, TerminalSize size, char* out) {
  last_ = {};
  size.columns = std::clamp(size.columns, 0, MaxTerminalSide);
  size.rows = std::clamp(size.rows, 0, MaxTerminalSide);
  if (size != size_) {
    valid_ = false;
    size_ = size;
  }
  if (size.columns == 0 || size.rows == 0) {
    valid_ = false;  // nothing can be shown; draw afresh once there is room
    return 0;
  }

  Writer w{{out}};
  if (size.columns < ScreenWidth || size.rows < ScreenHeight) {
    last_.notice = true;
    if (valid_ && noticeUp_) return 0;
    w.Put(SyncBegin);
    DrawNotice(w);
    w.Put(SyncEnd);
    valid_ = noticeUp_ = true;
    last_.fullRedraw = true;
    last_.bytes = static_cast<size_t>(w.p - out);
    return last_.bytes;
  }

  w.Put(SyncBegin);
  if (!valid_ || noticeUp_) {
    // Put back the modes the bytes rely on, whatever disturbed them:
    // autowrap on (rows are continued by printing on), insert mode off, no
    // scrolling region. Then clear to black (the margins of a larger
    // terminal stay so) and write every grid cell: whatever the terminal
    // showed is forgotten.
    top_ = (size.rows - ScreenHeight) / 2;
    left_ = (size.columns - ScreenWidth) / 2;
    w.Put("\x1b[?7h\x1b[4l\x1b[r\x1b[0;");
    const SgrParameter& black = ColorTablesFor[colorTable_].bg[0];
    w.Put(black.text, black.size);
    w.Put("m\x1b[2J");
    penFg_ = -1;
    penBg_ = 0;
    cursorRow_ = cursorColumn_ = -1;
    wrapPending_ = false;
    std::fill(std::begin(shown_), std::end(shown_), UnknownKey);
    valid_ = true;
    noticeUp_ = false;
    last_.fullRedraw = true;
    if (!capabilities_.backgroundColorErase) FillMargins(w);
  }
  bool cleared = last_.fullRedraw;
  if (!cleared) {
    const int background = ClearingBackground(screen);
    if (background >= 0) {
      // Most of the frame turns blank in one colour: erase the screen in
      // that colour and write only the rest.
      const uint16_t blank = static_cast<uint16_t>(0x2000 | background << 4);
      SetPen(w, blank);
      w.Put("\x1b[2J");
      cursorRow_ = cursorColumn_ = -1;
      wrapPending_ = false;
      for (int row = 0; row < ScreenHeight; ++row) {
        std::fill(ShownRow(row), ShownRow(row) + ScreenWidth, blank);
      }
      cleared = last_.cleared = true;
    }
  }
  char* const body = w.p;
  DrawGrid(w, screen, /*rowsMayBeUnchanged=*/!cleared);
  if (w.p == body && !cleared) return 0;  // the terminal shows this already
  w.Put(SyncEnd);
  last_.bytes = static_cast<size_t>(w.p - out);
  return last_.bytes;
}

// The background in which to erase the whole screen before drawing the
// frame, or -1 when damage alone is cheaper. Erasing pays when it leaves
// fewer cells to write than there are changed cells. Only black is used when
// the terminal has margins, which must stay black.
int FrameEncoder::ClearingBackground(const ScreenCells& screen) const {
  // Without `bce` an erase leaves the terminal's own background.
  if (!capabilities_.backgroundColorErase) return -1;
  // A quick look first: most frames are not mostly blank.
  int votes[16] = {};
  for (int i = 0; i < ScreenCellCount; i += 61) {
    const uint16_t key = Key(screen[i]);
    if ((key & 0xFF0F) == 0x2000) ++votes[key >> 4 & 15];
  }
  const bool margins = size_.columns != ScreenWidth || size_.rows != ScreenHeight;
  const int background =
      margins ? 0 : static_cast<int>(std::max_element(votes, votes + 16) - votes);
  if (votes[background] < ScreenCellCount / 61 / 2) return -1;

  const uint16_t blank = static_cast<uint16_t>(0x2000 | background << 4);
  int changed = 0, rest = 0;
  for (int row = 0; row < ScreenHeight; ++row) {
    const uint16_t* shown = &shown_[row * RowStride + MaxRowShift];
    for (int column = 0; column < ScreenWidth; ++column) {
      const uint16_t key = Key(screen[row * ScreenWidth + column]);
      changed += key != shown[column];
      rest += key != blank;
    }
  }
  return rest + 16 < changed ? background : -1;
}

void FrameEncoder::DrawGrid(Writer& w, const ScreenCells& screen, bool rowsMayBeUnchanged) {
  const bool lastCellIsTerminals =
      top_ + ScreenHeight == size_.rows && left_ + ScreenWidth == size_.columns;
  // Shifting a row moves everything up to the terminal's right edge, so it is
  // only done when the grid is as wide as the terminal.
  const bool rowsShift = left_ == 0 && size_.columns == ScreenWidth && rowsMayBeUnchanged;
  uint16_t keys[ScreenWidth];
  rowKeys_ = keys;
  for (int row = 0; row < ScreenHeight; ++row) {
    const Cell* cells = &screen[row * ScreenWidth];
    Cell* previous = &previous_[row * ScreenWidth];
    // A row exactly as in the frame drawn last shows as it should already.
    if (rowsMayBeUnchanged && std::memcmp(cells, previous, ScreenWidth * sizeof *cells) == 0) {
      continue;
    }
    std::memcpy(previous, cells, ScreenWidth * sizeof *cells);
    uint16_t* shown = ShownRow(row);
    int changed = 0;
    for (int column = 0; column < ScreenWidth; ++column) {
      keys[column] = Key(cells[column]);
      changed += keys[column] != shown[column];
    }
    if (changed == 0) continue;
    if (rowsShift && changed >= 8) ShiftRow(w, row, keys, changed);
    for (int column = 0; column < ScreenWidth; ++column) {
      // Four unchanged cells at a time, then one by one.
      while ((column & 3) == 0 && column < ScreenWidth &&
             FourKeys(keys + column) == FourKeys(shown + column)) {
        column += 4;
      }
      if (column >= ScreenWidth) break;
      const uint16_t key = keys[column];
      if (key == shown[column]) continue;
      if (lastCellIsTerminals && row == ScreenHeight - 1 && column == ScreenWidth - 1) {
        WriteLastCell(w);
        continue;
      }
      if (cursorRow_ != top_ + row || cursorColumn_ != left_ + column) {
        MoveTo(w, top_ + row, left_ + column, key);
      }
      SetPen(w, key);
      PutGlyph(w, key);
      shown[column] = key;
    }
  }
  rowKeys_ = nullptr;
}

// A row whose content moved sideways (a scroller, a pan) is shifted in the
// terminal by deleting or inserting characters at its start, when that
// leaves clearly fewer cells to write. The cells the shift empties are
// written by the damage pass that follows.
void FrameEncoder::ShiftRow(Writer& w, int row, const uint16_t* keys, int changedInPlace) {
  uint16_t* shown = ShownRow(row);
  // Eight changed cells spread over the row (the first changed one from
  // every tenth column on), taken in an order that keeps the first ones far
  // apart: a shift worth counting in full explains at least half of them.
  int samples[8];
  int sampleCount = 0;
  for (int start : {0, 40, 20, 60, 10, 50, 30, 70}) {
    int column = start;
    while (column < start + 10 && keys[column] == shown[column]) ++column;
    if (column < start + 10) samples[sampleCount++] = column;
  }
  const int needed = (sampleCount + 1) / 2;
  // Votes for each shift, four at a time: lane j of `left` counts the samples
  // that match the cell 4 - j to their left, lane j of `right` the cell j + 1
  // to their right. The row's pads match nothing.
  static_assert(MaxRowShift == 4);
  uint64_t left = 0, right = 0;
  for (int i = 0; i < sampleCount; ++i) {
    const int column = samples[i];
    const uint64_t key = keys[column] * LaneOnes;
    left += LaneOnes ^ NonZeroLanes(FourKeys(shown + column - 4) ^ key);
    right += LaneOnes ^ NonZeroLanes(FourKeys(shown + column + 1) ^ key);
  }
  // A shift costs about as much as writing a few cells: it must save more.
  int bestShift = 0, bestChanged = changedInPlace - 6;
  for (int lane = 0; lane < 4; ++lane) {
    // shift > 0: the content moved left by `shift` (key[c] == shown[c + shift]).
    for (const int shift : {lane - 4, lane + 1}) {
      const uint64_t votes = shift < 0 ? left : right;
      if (static_cast<int>(votes >> (16 * lane) & 0xFFFF) < needed) continue;
      const int changed = CountDifferent(keys, shown + shift, bestChanged);
      if (changed < bestChanged) {
        bestChanged = changed;
        bestShift = shift;
      }
    }
  }
  if (bestShift == 0) return;

  PlaceCursor(w, top_ + row, 0);
  if (bestShift > 0) {
    w.Csi(bestShift, 'P');
    std::memmove(shown, shown + bestShift, (ScreenWidth - bestShift) * sizeof *shown);
    std::fill(shown + ScreenWidth - bestShift, shown + ScreenWidth, UnknownKey);
  } else {
    w.Csi(-bestShift, '@');
    std::memmove(shown - bestShift, shown, (ScreenWidth + bestShift) * sizeof *shown);
    std::fill(shown, shown - bestShift, UnknownKey);
  }
}

// Printing in the terminal's last cell would make a terminal without delayed
// wrapping scroll. Instead the last glyph is printed one cell to the left and
// pushed into place by inserting a cell before it, which is then filled with
// the glyph that belongs there.
void FrameEncoder::WriteLastCell(Writer& w) {
  const uint16_t last = rowKeys_[ScreenWidth - 1];
  const uint16_t beforeLast = rowKeys_[ScreenWidth - 2];
  MoveTo(w, size_.rows - 1, size_.columns - 2, last);
  SetPen(w, last);
  PutGlyph(w, last);
  w.Put("\x1b[D\x1b[@");
  cursorColumn_ = size_.columns - 2;
  SetPen(w, beforeLast);
  PutGlyph(w, beforeLast);
  ShownRow(ScreenHeight - 1)[ScreenWidth - 1] = last;
  ShownRow(ScreenHeight - 1)[ScreenWidth - 2] = beforeLast;
}

// Without `bce` the full redraw's erase leaves the margins of a larger
// terminal in its own default background: they are written black, a space at
// a time, right after it (the pen's background is black then). Larger
// terminals than MaxFilledTerminalCells are left to the erase.
void FrameEncoder::FillMargins(Writer& w) {
  if (int64_t{size_.columns} * size_.rows > MaxFilledTerminalCells) return;
  WriteMargins(w, size_.columns, size_.rows, left_, top_, ScreenWidth, ScreenHeight);
  cursorRow_ = cursorColumn_ = -1;
  wrapPending_ = false;
}

CELLSHOW_HOT_INLINE int FrameEncoder::PenCost(int fg, int bg, uint16_t key) const {
  const int f = key & 0x0F, b = key >> 4 & 0x0F;
  const bool setFg = NeedsForeground(key) && f != fg;
  const bool setBg = NeedsBackground(key) && b != bg;
  const PenSequences& pens = Pens[colorTable_];
  if (setFg && setBg) return pens.both[f << 4 | b].size;
  if (setFg) return pens.fg[f].size;
  if (setBg) return pens.bg[b].size;
  return 0;
}

CELLSHOW_HOT_INLINE void FrameEncoder::SetPen(Writer& w, uint16_t key) {
  const int f = key & 0x0F, b = key >> 4 & 0x0F;
  const bool setFg = f != penFg_ && NeedsForeground(key);
  const bool setBg = b != penBg_ && NeedsBackground(key);
  if (!setFg && !setBg) return;
  const PenSequences& pens = Pens[colorTable_];
  if (setFg && setBg) {
    w.Put(pens.both[f << 4 | b]);
  } else if (setFg) {
    w.Put(pens.fg[f]);
  } else {
    w.Put(pens.bg[b]);
  }
  if (setFg) penFg_ = f;
  if (setBg) penBg_ = b;
}

CELLSHOW_HOT_INLINE void FrameEncoder::PutGlyph(Writer& w, uint16_t key) {
  w.Put(glyphs_[key >> 8]);
  ++last_.cellsWritten;
  AdvanceAfterPrint(cursorRow_, cursorColumn_, wrapPending_, size_.columns, size_.rows);
}

// The bytes that write the cells [fromColumn, toColumn) of the row whose
// visible keys are `keys` as they are, starting with the pen (fg, bg), which
// is left as it ends; -1 when that is more than `limit`.
int FrameEncoder::ThroughCost(const uint16_t* keys, int fromColumn, int toColumn, int limit,
                              int& fg, int& bg) const {
  int cost = 0;
  for (int column = fromColumn; column < toColumn && cost <= limit; ++column) {
    const uint16_t key = keys[column];
    cost += PenCost(fg, bg, key) + glyphs_[key >> 8].size;
    if (NeedsForeground(key)) fg = key & 0x0F;
    if (NeedsBackground(key)) bg = key >> 4 & 0x0F;
  }
  return cost <= limit ? cost : -1;
}

// Puts the cursor exactly on a terminal position for a sequence that acts
// there (not only for printing).
void FrameEncoder::PlaceCursor(Writer& w, int row, int column) {
  if (cursorRow_ == row && cursorColumn_ == column && !wrapPending_) return;
  if (wrapPending_ || cursorRow_ < 0) {
    w.Absolute(row, column);
  } else if (row == cursorRow_ && column == 0) {
    w.Put('\r');
  } else {
    const int relative =
        RelativeMoveCost(row > cursorRow_ ? row - cursorRow_ : cursorRow_ - row) +
        RelativeMoveCost(column > cursorColumn_ ? column - cursorColumn_ : cursorColumn_ - column);
    if (relative < AbsoluteMoveCost(row, column)) {
      WriteMove(w, RowMove::Relative, ColumnMove::Step, cursorRow_, cursorColumn_, row, column);
    } else {
      w.Absolute(row, column);
    }
  }
  cursorRow_ = row;
  cursorColumn_ = column;
  wrapPending_ = false;
}

// Moves the cursor to a terminal position by the cheapest of: an absolute
// move; a relative vertical move, then a relative or absolute horizontal one;
// a carriage return with line feeds or a vertical move; or any of these
// landing left of the target on its row, then the unchanged cells between
// written through. `key` is the cell to be written there: the comparison
// counts the colour change each way needs. After a print in the last column
// only an absolute move, or printing on from the start of the next row, is
// safe.
void FrameEncoder::MoveTo(Writer& w, int row, int column, uint16_t key) {
  if (cursorRow_ == row && cursorColumn_ == column) return;  // printing lands there
  const uint16_t* keys = rowKeys_;
  if (!wrapPending_ && row == cursorRow_ && column > cursorColumn_) {
    // Forward on the same row: a step right is cheaper than any other move,
    // so it only competes with writing the cells between through.
    const int step = RelativeMoveCost(column - cursorColumn_) + PenCost(penFg_, penBg_, key);
    int fg = penFg_, bg = penBg_;
    // Every cell written through costs at least a byte.
    const int gap = column - cursorColumn_ < step && cursorColumn_ >= left_
                        ? ThroughCost(keys, cursorColumn_ - left_, column - left_, step, fg, bg)
                        : -1;
    if (gap >= 0 && gap + PenCost(fg, bg, key) < step) {
      for (int c = cursorColumn_ - left_; c < column - left_; ++c) {
        SetPen(w, keys[c]);
        PutGlyph(w, keys[c]);
      }
    } else {
      w.Csi(column - cursorColumn_, 'C');
      cursorColumn_ = column;
    }
    return;
  }
  struct Plan {
    RowMove vertical;
    ColumnMove horizontal;
    bool through;  // the cells from `landing` to the target are written through
    int landing;   // column reached by the vertical part
  };
  Plan best{RowMove::Absolute, ColumnMove::None, false, column};
  const int movePen = PenCost(penFg_, penBg_, key);
  int bestTotal = AbsoluteMoveCost(row, column) + movePen;
  auto consider = [&](int cost, RowMove vertical, ColumnMove horizontal, bool through, int landing,
                      int pen) {
    if (cost + pen < bestTotal) {
      best = {vertical, horizontal, through, landing};
      bestTotal = cost + pen;
    }
  };
  auto through = [&](int cost, RowMove kind, int landing) {
    if (landing < column && landing >= left_ && column - landing <= MaxThroughCells &&
        column - landing < bestTotal - cost) {
      int fg = penFg_, bg = penBg_;
      const int gap = ThroughCost(keys, landing - left_, column - left_, bestTotal - cost, fg, bg);
      if (gap >= 0) {
        consider(cost + gap, kind, ColumnMove::None, true, landing, PenCost(fg, bg, key));
      }
    }
  };

  if (wrapPending_) {
    if (row == cursorRow_) through(0, RowMove::Stay, cursorColumn_);
  } else if (cursorRow_ >= 0) {
    const int down = row - cursorRow_;
    const int vertical = RelativeMoveCost(down >= 0 ? down : -down);
    const int carriage =
        1 + (down >= 0 ? std::min(down, RelativeMoveCost(down)) : RelativeMoveCost(-down));
    auto landOn = [&](int cost, RowMove kind, int landing) {
      if (landing == column) {
        consider(cost, kind, ColumnMove::None, false, landing, movePen);
        return;
      }
      const int distance = landing < column ? column - landing : landing - column;
      consider(cost + RelativeMoveCost(distance), kind, ColumnMove::Step, false, landing, movePen);
      consider(cost + ColumnMoveCost(column), kind, ColumnMove::ToColumn, false, landing, movePen);
      through(cost, kind, landing);
    };
    landOn(vertical, RowMove::Relative, cursorColumn_);
    landOn(carriage, RowMove::CarriageReturn, 0);
  }

  WriteMove(w, best.vertical, best.horizontal, cursorRow_, cursorColumn_, row, column);
  if (best.through) {
    cursorRow_ = row;
    cursorColumn_ = best.landing;
    for (int c = best.landing - left_; c < column - left_; ++c) {
      SetPen(w, keys[c]);
      PutGlyph(w, keys[c]);
    }
  }
  cursorRow_ = row;
  cursorColumn_ = column;
  if (best.vertical != RowMove::Stay) wrapPending_ = false;
}

namespace {

struct NoticeLines {
  struct Line {
    int start, length;
  };
  Line line[96];
  int count = 0;
};

// Breaks `text` (words split by single spaces) into lines of at most `width`
// characters; a word longer than a line is cut.
void WrapWords(const char* text, int width, NoticeLines& lines) {
  lines.count = 0;
  const int n = static_cast<int>(std::strlen(text));
  int lineStart = 0, lineLength = 0;
  auto push = [&](int start, int length) {
    if (lines.count < static_cast<int>(std::size(lines.line))) {
      lines.line[lines.count++] = {start, length};
    }
  };
  for (int i = 0; i < n;) {
    while (i < n && text[i] == ' ') ++i;
    if (i >= n) break;
    int wordStart = i;
    while (i < n && text[i] != ' ') ++i;
    int wordLength = i - wordStart;
    if (lineLength > 0 && lineLength + 1 + wordLength <= width) {
      lineLength += 1 + wordLength;
      continue;
    }
    if (lineLength > 0) push(lineStart, lineLength);
    while (wordLength > width) {
      push(wordStart, width);
      wordStart += width;
      wordLength -= width;
    }
    lineStart = wordStart;
    lineLength = wordLength;
  }
  if (lineLength > 0) push(lineStart, lineLength);
}

}  // namespace

// The terminal is too small for the grid: say so in the middle of it, in the
// terminal's own colours, and name the window. The last column is left alone (so nothing wraps or
// scrolls); the text is wrapped to the width, shortened when it needs more
// rows than there are, and cut when even that does not fit.
void FrameEncoder::DrawNotice(Writer& w) {
  w.Put("\x1b[0m\x1b[2J");
  penFg_ = penBg_ = -1;
  cursorRow_ = cursorColumn_ = -1;
  wrapPending_ = false;
  const int width = size_.columns >= 2 ? size_.columns - 1 : 1;
  const int rows = size_.columns >= 2 ? size_.rows : size_.rows - 1;
  if (rows <= 0) return;

  // The longest text that fits: with the way out, without it, short.
  char text[128];
  NoticeLines lines;
  std::snprintf(text, sizeof text,
                "cellshow needs %dx%d - this terminal is %dx%d (or try cellshow --window)",
                noticeNeeds_.columns, noticeNeeds_.rows, size_.columns, size_.rows);
  WrapWords(text, width, lines);
  if (lines.count > rows) {
    std::snprintf(text, sizeof text, "cellshow needs %dx%d - this terminal is %dx%d",
                  noticeNeeds_.columns, noticeNeeds_.rows, size_.columns, size_.rows);
    WrapWords(text, width, lines);
  }
  if (lines.count > rows) {
    std::snprintf(text, sizeof text, "needs %dx%d, is %dx%d", noticeNeeds_.columns,
                  noticeNeeds_.rows, size_.columns, size_.rows);
    WrapWords(text, width, lines);
  }
  const int count = std::min(lines.count, rows);
  const int top = (rows - count) / 2;
  for (int i = 0; i < count; ++i) {
    const NoticeLines::Line& line = lines.line[i];
    w.Absolute(top + i, (width - line.length) / 2);
    w.Put(text + line.start, static_cast<size_t>(line.length));
  }
}

}  // namespace cellshow
