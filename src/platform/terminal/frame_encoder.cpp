#include "platform/terminal/frame_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/terminal/console_palette.h"
#include "platform/terminal/cp437_glyphs.h"

namespace cellshow {

namespace {

constexpr char SyncBegin[] = "\x1b[?2026h";
constexpr char SyncEnd[] = "\x1b[?2026l";
// A shown_ entry that matches no visible key: the cell must be written.
constexpr uint16_t UnknownKey = 0xFFFF;
// Unchanged cells written through to reach a changed one are never more than
// this many: any cursor movement within a row is cheaper.
constexpr int MaxThroughCells = 12;

constexpr int Digits(int n) { return n < 10 ? 1 : n < 100 ? 2 : n < 1000 ? 3 : n < 10000 ? 4 : 5; }

// CUU/CUD/CUF/CUB by n (the parameter 1 is left out).
constexpr int RelativeCost(int n) { return n == 0 ? 0 : n == 1 ? 3 : 3 + Digits(n); }
// CUP to a 0-based terminal position, with the default parameters left out.
constexpr int AbsoluteCost(int row, int column) {
  if (column == 0) return row == 0 ? 3 : 3 + Digits(row + 1);
  return 4 + Digits(row + 1) + Digits(column + 1);
}
// CHA to a 0-based column.
constexpr int ColumnCost(int column) { return column == 0 ? 3 : 3 + Digits(column + 1); }

// Bytes of one frame at most: every cell changed, each reached by the
// dearest movement with both colours changed in 24-bit form and a 3-byte
// glyph (writing through is only chosen when it is no dearer), the last-cell
// insert, and the fixed sequences.
constexpr size_t WorstCellBytes = AbsoluteCost(65535, 65535) + 3 + 16 + 1 + 16 + 3;
constexpr size_t WorstCaseFrameBytes = ScreenCellCount * WorstCellBytes + 2 * WorstCellBytes + 6 +
                                       2 * (sizeof SyncBegin) + 64;
static_assert(WorstCaseFrameBytes <= FrameEncoder::MaxFrameBytes);

bool NeedsForeground(uint16_t key) {
  const uint8_t c = key >> 8;
  return c != 0x20 && c != 0xFF;
}
bool NeedsBackground(uint16_t key) { return (key >> 8) != FullBlock; }

}  // namespace

// Appends to the caller's buffer; MaxFrameBytes is never reached (see
// WorstCaseFrameBytes).
struct FrameEncoder::Writer {
  char* p;

  void Put(char c) { *p++ = c; }
  void Put(const char* s, size_t n) {
    std::memcpy(p, s, n);
    p += n;
  }
  template <size_t N>
  void Put(const char (&s)[N]) {
    Put(s, N - 1);
  }
  void Number(int n) {
    char digits[8];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n > 0);
    while (count > 0) Put(digits[--count]);
  }
  // CSI n <final>, leaving out a parameter of 1.
  void Csi(int n, char final) {
    Put("\x1b[");
    if (n != 1) Number(n);
    Put(final);
  }
  void Absolute(int row, int column) {
    Put("\x1b[");
    if (row != 0 || column != 0) Number(row + 1);
    if (column != 0) {
      Put(';');
      Number(column + 1);
    }
    Put('H');
  }
};

FrameEncoder::FrameEncoder(bool trueColor) : trueColor_(trueColor) {
  std::fill(std::begin(shown_), std::end(shown_), UnknownKey);
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

  Writer w{out};
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
    // Clear to black (the margins of a larger terminal stay so) and write
    // every grid cell: whatever the terminal showed is forgotten.
    top_ = (size.rows - ScreenHeight) / 2;
    left_ = (size.columns - ScreenWidth) / 2;
    w.Put("\x1b[0;");
    const SgrParameter& black = (trueColor_ ? TrueBackground : AnsiBackground)[0];
    w.Put(black.text, black.size);
    w.Put("m\x1b[2J");
    penFg_ = -1;
    penBg_ = 0;
    cursorRow_ = cursorColumn_ = -1;
    std::fill(std::begin(shown_), std::end(shown_), UnknownKey);
    valid_ = true;
    noticeUp_ = false;
    last_.fullRedraw = true;
  }
  char* const body = w.p;
  DrawGrid(w, screen);
  if (w.p == body && !last_.fullRedraw) return 0;  // the terminal shows this already
  w.Put(SyncEnd);
  last_.bytes = static_cast<size_t>(w.p - out);
  return last_.bytes;
}

void FrameEncoder::DrawGrid(Writer& w, const ScreenCells& screen) {
  const bool lastCellIsTerminals =
      top_ + ScreenHeight == size_.rows && left_ + ScreenWidth == size_.columns;
  for (int row = 0; row < ScreenHeight; ++row) {
    const Cell* cells = &screen[row * ScreenWidth];
    uint16_t* shown = &shown_[row * ScreenWidth];
    for (int column = 0; column < ScreenWidth; ++column) {
      const uint16_t key = VisibleKey(cells[column]);
      if (key == shown[column]) continue;
      if (lastCellIsTerminals && row == ScreenHeight - 1 && column == ScreenWidth - 1) {
        WriteLastCell(w, screen);
        continue;
      }
      MoveTo(w, screen, top_ + row, left_ + column, key);
      SetPen(w, key);
      PutGlyph(w, key);
      shown[column] = key;
    }
  }
}

// Printing in the terminal's last cell would make a terminal without delayed
// wrapping scroll. Instead the last glyph is printed one cell to the left and
// pushed into place by inserting a cell before it, which is then filled with
// the glyph that belongs there.
void FrameEncoder::WriteLastCell(Writer& w, const ScreenCells& screen) {
  const uint16_t last = VisibleKey(screen[ScreenCellCount - 1]);
  const uint16_t beforeLast = VisibleKey(screen[ScreenCellCount - 2]);
  MoveTo(w, screen, size_.rows - 1, size_.columns - 2, last);
  SetPen(w, last);
  PutGlyph(w, last);
  w.Put("\x1b[D\x1b[@");
  cursorColumn_ = size_.columns - 2;
  SetPen(w, beforeLast);
  PutGlyph(w, beforeLast);
  shown_[ScreenCellCount - 1] = last;
  shown_[ScreenCellCount - 2] = beforeLast;
}

int FrameEncoder::PenCost(int fg, int bg, uint16_t key) const {
  const int f = key & 0x0F, b = key >> 4 & 0x0F;
  const bool setFg = NeedsForeground(key) && f != fg;
  const bool setBg = NeedsBackground(key) && b != bg;
  if (!setFg && !setBg) return 0;
  const auto& fgTable = trueColor_ ? TrueForeground : AnsiForeground;
  const auto& bgTable = trueColor_ ? TrueBackground : AnsiBackground;
  return 3 + (setFg ? fgTable[f].size : 0) + (setBg ? bgTable[b].size : 0) + (setFg && setBg);
}

void FrameEncoder::SetPen(Writer& w, uint16_t key) {
  const int f = key & 0x0F, b = key >> 4 & 0x0F;
  const bool setFg = NeedsForeground(key) && f != penFg_;
  const bool setBg = NeedsBackground(key) && b != penBg_;
  if (!setFg && !setBg) return;
  const auto& fgTable = trueColor_ ? TrueForeground : AnsiForeground;
  const auto& bgTable = trueColor_ ? TrueBackground : AnsiBackground;
  w.Put("\x1b[");
  if (setFg) {
    w.Put(fgTable[f].text, fgTable[f].size);
    penFg_ = f;
  }
  if (setFg && setBg) w.Put(';');
  if (setBg) {
    w.Put(bgTable[b].text, bgTable[b].size);
    penBg_ = b;
  }
  w.Put('m');
}

void FrameEncoder::PutGlyph(Writer& w, uint16_t key) {
  const Utf8Glyph& glyph = Cp437Utf8[key >> 8];
  w.Put(glyph.bytes, glyph.size);
  ++last_.cellsWritten;
  if (++cursorColumn_ >= size_.columns) {
    // Printed in the last column: the cursor now waits there or has wrapped,
    // depending on the terminal. Only an absolute move is safe next.
    cursorRow_ = cursorColumn_ = -1;
  }
}

// The bytes that write grid cells [fromColumn, toColumn) of `row` as they
// are, starting with the pen (fg, bg), which is left as it ends; -1 when that
// is more than `limit`.
int FrameEncoder::ThroughCost(const ScreenCells& screen, int row, int fromColumn, int toColumn,
                              int limit, int& fg, int& bg) const {
  int cost = 0;
  for (int column = fromColumn; column < toColumn && cost <= limit; ++column) {
    const uint16_t key = VisibleKey(screen[row * ScreenWidth + column]);
    cost += PenCost(fg, bg, key) + Cp437Utf8[key >> 8].size;
    if (NeedsForeground(key)) fg = key & 0x0F;
    if (NeedsBackground(key)) bg = key >> 4 & 0x0F;
  }
  return cost <= limit ? cost : -1;
}

// Moves the cursor to a terminal position by the cheapest of: an absolute
// move; a relative vertical move, then a relative or absolute horizontal one;
// a carriage return with line feeds or a vertical move; or any of these
// landing left of the target on its row, then the unchanged cells between
// written through. `key` is the cell to be written there: the comparison
// counts the colour change each way needs.
void FrameEncoder::MoveTo(Writer& w, const ScreenCells& screen, int row, int column,
                          uint16_t key) {
  if (cursorRow_ == row && cursorColumn_ == column) return;

  enum Vertical { Absolute, Relative, CarriageReturn };
  enum Horizontal { None, Step, ToColumn, Through };
  struct Plan {
    int cost;
    Vertical vertical;
    Horizontal horizontal;
    int landing;  // column reached by the vertical part
  };
  Plan best{AbsoluteCost(row, column), Absolute, None, column};
  const int movePen = PenCost(penFg_, penBg_, key);
  int bestTotal = best.cost + movePen;
  auto consider = [&](int cost, Vertical vertical, Horizontal horizontal, int landing, int pen) {
    if (cost + pen < bestTotal) {
      best = {cost, vertical, horizontal, landing};
      bestTotal = cost + pen;
    }
  };

  if (cursorRow_ >= 0) {
    const int down = row - cursorRow_;
    const int vertical = RelativeCost(down >= 0 ? down : -down);
    const int carriage = 1 + (down >= 0 ? std::min(down, RelativeCost(down)) : RelativeCost(-down));
    const int gridRow = row - top_;
    auto landOn = [&](int cost, Vertical kind, int landing) {
      if (landing == column) {
        consider(cost, kind, None, landing, movePen);
        return;
      }
      const int distance = landing < column ? column - landing : landing - column;
      consider(cost + RelativeCost(distance), kind, Step, landing, movePen);
      consider(cost + ColumnCost(column), kind, ToColumn, landing, movePen);
      if (landing < column && landing >= left_ && column - landing <= MaxThroughCells) {
        int fg = penFg_, bg = penBg_;
        const int limit = bestTotal - cost;
        const int through =
            ThroughCost(screen, gridRow, landing - left_, column - left_, limit, fg, bg);
        if (through >= 0) consider(cost + through, kind, Through, landing, PenCost(fg, bg, key));
      }
    };
    landOn(vertical, Relative, cursorColumn_);
    landOn(carriage, CarriageReturn, 0);
  }

  switch (best.vertical) {
    case Absolute:
      w.Absolute(row, column);
      break;
    case Relative:
      if (row > cursorRow_) w.Csi(row - cursorRow_, 'B');
      if (row < cursorRow_) w.Csi(cursorRow_ - row, 'A');
      break;
    case CarriageReturn:
      w.Put('\r');
      if (row > cursorRow_) {
        const int down = row - cursorRow_;
        if (down <= RelativeCost(down)) {
          for (int i = 0; i < down; ++i) w.Put('\n');
        } else {
          w.Csi(down, 'B');
        }
      }
      if (row < cursorRow_) w.Csi(cursorRow_ - row, 'A');
      break;
  }
  switch (best.horizontal) {
    case None:
      break;
    case Step:
      if (column > best.landing) w.Csi(column - best.landing, 'C');
      if (column < best.landing) w.Csi(best.landing - column, 'D');
      break;
    case ToColumn:
      w.Csi(column + 1, 'G');
      break;
    case Through: {
      cursorRow_ = row;
      cursorColumn_ = best.landing;
      const Cell* cells = &screen[(row - top_) * ScreenWidth];
      for (int c = best.landing; c < column; ++c) {
        const uint16_t through = VisibleKey(cells[c - left_]);
        SetPen(w, through);
        PutGlyph(w, through);
      }
      break;
    }
  }
  cursorRow_ = row;
  cursorColumn_ = column;
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
// terminal's own colours. The last column is left alone (so nothing wraps or
// scrolls); the text is wrapped to the width, shortened when it needs more
// rows than there are, and cut when even that does not fit.
void FrameEncoder::DrawNotice(Writer& w) {
  w.Put("\x1b[0m\x1b[2J");
  penFg_ = penBg_ = -1;
  cursorRow_ = cursorColumn_ = -1;
  const int width = size_.columns >= 2 ? size_.columns - 1 : 1;
  const int rows = size_.columns >= 2 ? size_.rows : size_.rows - 1;
  if (rows <= 0) return;

  char text[96];
  NoticeLines lines;
  std::snprintf(text, sizeof text, "cellshow needs %dx%d - this terminal is %dx%d", ScreenWidth,
                ScreenHeight, size_.columns, size_.rows);
  WrapWords(text, width, lines);
  if (lines.count > rows) {
    std::snprintf(text, sizeof text, "needs %dx%d, is %dx%d", ScreenWidth, ScreenHeight,
                  size_.columns, size_.rows);
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
