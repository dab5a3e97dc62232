#include "render/ansi/frame_encoder.h"

#include <algorithm>
#include <cstring>

#include "render/ansi/ascii_glyphs.h"
#include "render/ansi/frame_plan.h"

namespace cellshow {

namespace {

// A shown_ entry that matches no visible key: the cell must be written.
constexpr uint16_t UnknownKey = 0xFFFF;

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

}  // namespace

FrameEncoder::FrameEncoder(const TerminalCapabilities& capabilities, TerminalSize noticeNeeds,
                           bool noticeOffersWindow)
    : capabilities_(capabilities),
      noticeNeeds_(noticeNeeds),
      noticeOffersWindow_(noticeOffersWindow),
      out_(ConsoleCells{
          &PenSequencesFor(capabilities.colors),
          capabilities.glyphs == GlyphSet::Ascii ? AsciiGlyphs.data() : Cp437Utf8.data()}) {
  std::fill(std::begin(shown_), std::end(shown_), UnknownKey);
}

FrameEncoder::FrameEncoder(bool trueColor)
    : FrameEncoder(TerminalCapabilities{trueColor ? ColorDepth::TrueColor : ColorDepth::Sixteen,
                                        GlyphSet::Unicode, true}) {}

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

  out_.Start(out, size.columns, size.rows);
  if (size.columns < ScreenWidth || size.rows < ScreenHeight) {
    last_.notice = true;
    if (valid_ && noticeUp_) return 0;
    out_.Put(escape::SyncBegin);
    DrawNotice();
    out_.Put(escape::SyncEnd);
    valid_ = noticeUp_ = true;
    last_.fullRedraw = true;
    last_.bytes = static_cast<size_t>(out_.p - out);
    return last_.bytes;
  }

  out_.Put(escape::SyncBegin);
  if (!valid_ || noticeUp_) Redraw();
  bool cleared = last_.fullRedraw;
  if (!cleared) {
    const int background = ClearingBackground(screen);
    if (background >= 0) {
      // Most of the frame turns blank in one colour: erase the screen in
      // that colour and write only the rest.
      const uint16_t blank = static_cast<uint16_t>(0x2000 | background << 4);
      out_.SetPen(blank);
      out_.Put(escape::EraseScreen);
      out_.ForgetCursor();
      for (int row = 0; row < ScreenHeight; ++row) {
        std::fill(ShownRow(row), ShownRow(row) + ScreenWidth, blank);
      }
      cleared = last_.cleared = true;
    }
  }
  char* const body = out_.p;
  DrawGrid(screen, /*rowsMayBeUnchanged=*/!cleared);
  last_.cellsWritten = out_.printed();
  if (out_.p == body && !cleared) return 0;  // the terminal shows this already
  out_.Put(escape::SyncEnd);
  last_.bytes = static_cast<size_t>(out_.p - out);
  return last_.bytes;
}

// Puts back the modes the bytes rely on and clears to black (the margins of
// a larger terminal stay so), forgetting whatever the terminal showed: every
// grid cell is written.
void FrameEncoder::Redraw() {
  top_ = (size_.rows - ScreenHeight) / 2;
  left_ = (size_.columns - ScreenWidth) / 2;
  out_.Reset({-1, 0});
  std::fill(std::begin(shown_), std::end(shown_), UnknownKey);
  valid_ = true;
  noticeUp_ = false;
  last_.fullRedraw = true;
  if (!capabilities_.backgroundColorErase) FillMargins();
}

void FrameEncoder::DrawGrid(const ScreenCells& screen, bool rowsMayBeUnchanged) {
  const bool lastCellIsTerminals =
      top_ + ScreenHeight == size_.rows && left_ + ScreenWidth == size_.columns;
  // Shifting a row moves everything up to the terminal's right edge, so it is
  // only done when the grid is as wide as the terminal.
  const bool rowsShift = left_ == 0 && size_.columns == ScreenWidth && rowsMayBeUnchanged;
  uint16_t keys[ScreenWidth];
  out_.SetRow(keys, left_);
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
    if (rowsShift && changed >= 8) ShiftRow(row, keys, changed);
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
        // Its move is priced with the cell printed first where it lands.
        const uint16_t beforeLast = keys[ScreenWidth - 2];
        out_.WriteLastCell(key, beforeLast, key);
        shown[ScreenWidth - 1] = key;
        shown[ScreenWidth - 2] = beforeLast;
        continue;
      }
      out_.MoveTo(top_ + row, left_ + column, key);
      out_.Write(key);
      shown[column] = key;
    }
  }
  out_.SetRow(nullptr, 0);
}

// A row whose content moved sideways (a scroller, a pan) is shifted in the
// terminal by deleting or inserting characters at its start, when that
// leaves clearly fewer cells to write (see RowShift). The cells the shift
// empties are written by the damage pass that follows.
void FrameEncoder::ShiftRow(int row, const uint16_t* keys, int changedInPlace) {
  uint16_t* shown = ShownRow(row);
  const int shift = RowShift(keys, shown, changedInPlace);
  if (shift == 0) return;
  out_.Place(top_ + row, 0);
  if (shift > 0) {
    out_.Csi(shift, escape::DeleteCells);
    std::memmove(shown, shown + shift, (ScreenWidth - shift) * sizeof *shown);
    std::fill(shown + ScreenWidth - shift, shown + ScreenWidth, UnknownKey);
  } else {
    out_.Csi(-shift, escape::InsertCells);
    std::memmove(shown - shift, shown, (ScreenWidth + shift) * sizeof *shown);
    std::fill(shown, shown - shift, UnknownKey);
  }
}

// Without `bce` the full redraw's erase leaves the margins of a larger
// terminal in its own default background: they are written black, a space at
// a time, right after it (the pen's background is black then). Larger
// terminals than MaxFilledTerminalCells are left to the erase.
void FrameEncoder::FillMargins() {
  if (int64_t{size_.columns} * size_.rows > MaxFilledTerminalCells) return;
  WriteMargins(out_, size_.columns, size_.rows, left_, top_, ScreenWidth, ScreenHeight);
  out_.ForgetCursor();
}

// The terminal is too small for the grid: say so in the middle of it, in the
// terminal's own colours, and name the window where there is one. The last column is left alone
// (so nothing wraps or scrolls); the text is laid out by LayOutNotice.
void FrameEncoder::DrawNotice() {
  out_.Put(escape::ResetPen);
  out_.Put(escape::EraseScreen);
  out_.AssumePen({-1, -1});
  out_.ForgetCursor();
  NoticeText notice;
  LayOutNotice(noticeNeeds_, size_, notice, noticeOffersWindow_);
  for (int i = 0; i < notice.lines.count; ++i) {
    const NoticeLines::Line& line = notice.lines.line[i];
    out_.Absolute(notice.top + i, line.column);
    out_.Put(notice.text + line.start, static_cast<size_t>(line.length));
  }
}

}  // namespace cellshow
