#pragma once
// Writes cells into a frame's bytes and follows what the terminal makes of
// them: where its cursor stands, whether a wrap is pending, which colours its
// pen has. Both terminal encoders write through it: FrameEncoder the console
// cells of the glyph grid, GridEncoder the colour cells of the scaled view.
// Each gives it a small adapter, `Cells`, that says what a cell is and what
// writing one costs:
//
//   struct Cells {
//     using Key = ...;    // what a cell looks like: equal keys look the same
//     struct Pen { ... };  // the terminal's colours as far as they are known
//     // The bytes that write `key` with the pen at `pen`: the colours it
//     // changes, then its glyph. `pen` becomes what the terminal has after.
//     int Stroke(Pen& pen, Key key) const;
//     void SetPen(EscapeWriter& w, Pen& pen, Key key) const;  // the colours
//     void PutGlyph(EscapeWriter& w, Key key) const;           // the glyph
//     // The SGR parameters of the background `pen.bg`.
//     void PutBackground(EscapeWriter& w, const Pen& pen) const;
//     // Where MoveTo may write unchanged cells through instead of moving
//     // over them: forward on the cursor's row, up to this many; and after
//     // a row move or a carriage return (up to MaxThroughCells), or not.
//     static constexpr int ForwardThroughCells;
//     static constexpr bool ThroughAfterMoves;
//   };
//
// Nothing is ever printed in the terminal's last cell (see WriteLastCell), so
// it never scrolls, whether it wraps at once or delays the wrap: after a
// print in the last column only printing on or an absolute move follows,
// which both kinds of terminal take the same way. Pure, no allocation: the
// cursor and the pen carry over from one frame's bytes to the next.
#include <algorithm>

#include "render/ansi/escape_writer.h"

namespace cellshow {

template <class Cells>
class CellWriter : public EscapeWriter {
 public:
  using Key = typename Cells::Key;
  using Pen = typename Cells::Pen;

  explicit CellWriter(const Cells& cells) : EscapeWriter{nullptr}, cells_(cells) {}

  // Starts a frame's bytes at `out` for a terminal of columns x rows.
  void Start(char* out, int columns, int rows) {
    p = out;
    columns_ = columns;
    rows_ = rows;
    printed_ = 0;
  }
  // Cells printed since Start, those written through included.
  int printed() const { return printed_; }

  // Starts a full redraw. Puts back the modes the bytes rely on, whatever
  // disturbed them: autowrap on (rows are continued by printing on), insert
  // mode off, no scrolling region. Then resets the pen to `pen` (sgr0 and
  // its background in one SGR; its foreground must be unknown) and erases
  // the screen in that background.
  void Reset(Pen pen) {
    Put(escape::AutowrapOn);
    Put(escape::InsertModeOff);
    Put(escape::WholeScreenScrolls);
    Put(escape::Csi);
    Put("0;");
    cells_.PutBackground(*this, pen);
    Put(escape::SetRendition);
    Put(escape::EraseScreen);
    pen_ = pen;
    ForgetCursor();
  }
  // After bytes that leave the cursor where it cannot be relied on: an
  // erase, the margins, a notice.
  void ForgetCursor() {
    row_ = column_ = -1;
    wrapPending_ = false;
  }
  // After an SGR the encoder wrote itself.
  void AssumePen(Pen pen) { pen_ = pen; }

  // The row being written: its keys, keys[0] at terminal column `left`.
  // Moves along it may write its cells through.
  void SetRow(const Key* keys, int left) {
    keys_ = keys;
    left_ = left;
  }

  CELLSHOW_HOT_INLINE void SetPen(Key key) { cells_.SetPen(*this, pen_, key); }

  // Prints `key` at the cursor, in its colours.
  CELLSHOW_HOT_INLINE void Write(Key key) {
    cells_.SetPen(*this, pen_, key);
    cells_.PutGlyph(*this, key);
    ++printed_;
    AdvanceAfterPrint(row_, column_, wrapPending_, columns_, rows_);
  }

  // Makes the next print land on a terminal position, by the cheapest way
  // there (see Travel). `target` is the cell to be written there: the
  // comparison counts the colour change each way leaves it.
  CELLSHOW_HOT_INLINE void MoveTo(int row, int column, Key target) {
    if (row_ != row || column_ != column) Travel(row, column, target);
  }

  // Puts the cursor exactly on a terminal position for a sequence that acts
  // there (not only for printing).
  void Place(int row, int column);

  // Writes the terminal's last cell and the one before it. Printing in the
  // last cell would make a terminal without delayed wrapping scroll: instead
  // `last` is printed one cell to the left and pushed into place by
  // inserting a cell before it, which is then written with `beforeLast`. The
  // move there is priced with `pricedAs`.
  void WriteLastCell(Key last, Key beforeLast, Key pricedAs) {
    MoveTo(rows_ - 1, columns_ - 2, pricedAs);
    Write(last);
    PushPrintedOn();
    column_ = columns_ - 2;
    Write(beforeLast);
  }

 private:
  void Travel(int row, int column, Key target);
  int Through(int fromColumn, int toColumn, int limit, Pen& pen) const;

  const Cells cells_;
  int columns_ = 0, rows_ = 0;
  // Where the next glyph printed lands (terminal row and column; -1
  // unknown). After a print in the last column it is the start of the next
  // row, and `wrapPending_` says that only printing may rely on it.
  int row_ = -1, column_ = -1;
  bool wrapPending_ = false;
  Pen pen_;
  int printed_ = 0;
  const Key* keys_ = nullptr;  // the row being written
  int left_ = 0;               // its terminal column
};

template <class Cells>
void CellWriter<Cells>::Place(int row, int column) {
  if (row_ == row && column_ == column && !wrapPending_) return;
  if (wrapPending_ || row_ < 0) {
    Absolute(row, column);
  } else if (row == row_ && column == 0) {
    Put('\r');
  } else {
    const int relative = RelativeMoveCost(row > row_ ? row - row_ : row_ - row) +
                         RelativeMoveCost(column > column_ ? column - column_ : column_ - column);
    if (relative < AbsoluteMoveCost(row, column)) {
      WriteMove(*this, RowMove::Relative, ColumnMove::Step, row_, column_, row, column);
    } else {
      Absolute(row, column);
    }
  }
  row_ = row;
  column_ = column;
  wrapPending_ = false;
}

// The bytes that write the cells of the row at terminal columns [fromColumn,
// toColumn) as they are, starting with the pen at `pen`, which is left as it
// ends; -1 when that is more than `limit`.
template <class Cells>
int CellWriter<Cells>::Through(int fromColumn, int toColumn, int limit, Pen& pen) const {
  int cost = 0;
  for (int column = fromColumn; column < toColumn && cost <= limit; ++column) {
    cost += cells_.Stroke(pen, keys_[column - left_]);
  }
  return cost <= limit ? cost : -1;
}

// Moves the cursor by the cheapest of: an absolute move; a relative vertical
// move, then a relative or absolute horizontal one; a carriage return with
// line feeds or a vertical move, then the same; or, as the adapter allows,
// any of these landing left of the target on its row, then the unchanged
// cells between written through. Costs are compared with the target's
// stroke from the pen each leaves. After a print in the last column only an
// absolute move, or printing on from the start of the next row, is safe.
template <class Cells>
void CellWriter<Cells>::Travel(int row, int column, Key target) {
  if (!wrapPending_ && row == row_ && column > column_) {
    // Forward on the same row: a step right is cheaper than any other move,
    // so it only competes with writing the cells between through (every one
    // of which costs at least a byte).
    Pen targetPen = pen_;
    const int step = RelativeMoveCost(column - column_) + cells_.Stroke(targetPen, target);
    Pen pen = pen_;
    const int gap = column - column_ <= Cells::ForwardThroughCells && column - column_ < step &&
                            column_ >= left_
                        ? Through(column_, column, step, pen)
                        : -1;
    if (gap >= 0 && gap + cells_.Stroke(pen, target) < step) {
      for (int c = column_; c < column; ++c) Write(keys_[c - left_]);
    } else {
      Csi(column - column_, escape::CursorRight);
      column_ = column;
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
  // Without writing through, every way leaves the pen as it is: the
  // target's stroke is the same for all, and left out.
  Pen targetPen = pen_;
  const int moveStroke = Cells::ThroughAfterMoves ? cells_.Stroke(targetPen, target) : 0;
  int bestTotal = AbsoluteMoveCost(row, column) + moveStroke;
  auto consider = [&](int total, RowMove vertical, ColumnMove horizontal, bool through,
                      int landing) {
    if (total < bestTotal) {
      best = {vertical, horizontal, through, landing};
      bestTotal = total;
    }
  };
  auto through = [&](int cost, RowMove kind, int landing) {
    if (!Cells::ThroughAfterMoves) return;
    if (landing < column && landing >= left_ && column - landing <= MaxThroughCells &&
        column - landing < bestTotal - cost) {
      Pen pen = pen_;
      const int gap = Through(landing, column, bestTotal - cost, pen);
      if (gap >= 0) {
        consider(cost + gap + cells_.Stroke(pen, target), kind, ColumnMove::None, true, landing);
      }
    }
  };

  if (wrapPending_) {
    if (row == row_) through(0, RowMove::Stay, column_);
  } else if (row_ >= 0) {
    const int down = row - row_;
    const int vertical = RelativeMoveCost(down >= 0 ? down : -down);
    const int carriage =
        1 + (down >= 0 ? std::min(down, RelativeMoveCost(down)) : RelativeMoveCost(-down));
    auto landOn = [&](int cost, RowMove kind, int landing) {
      if (landing == column) {
        consider(cost + moveStroke, kind, ColumnMove::None, false, landing);
        return;
      }
      const int distance = landing < column ? column - landing : landing - column;
      consider(cost + RelativeMoveCost(distance) + moveStroke, kind, ColumnMove::Step, false,
               landing);
      consider(cost + ColumnMoveCost(column) + moveStroke, kind, ColumnMove::ToColumn, false,
               landing);
      through(cost, kind, landing);
    };
    landOn(vertical, RowMove::Relative, column_);
    landOn(carriage, RowMove::CarriageReturn, 0);
  }

  WriteMove(*this, best.vertical, best.horizontal, row_, column_, row, column);
  if (best.through) {
    row_ = row;
    column_ = best.landing;
    for (int c = best.landing; c < column; ++c) Write(keys_[c - left_]);
  }
  row_ = row;
  column_ = column;
  wrapPending_ = false;
}

}  // namespace cellshow
