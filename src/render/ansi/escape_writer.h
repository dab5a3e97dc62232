#pragma once
// Appending escape sequences to a frame's buffer, and what cursor movements
// cost in bytes: the small pieces every terminal encoder here shares.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/ansi/terminal_sequences.h"

// The per-cell steps are small and hot: they belong inside the loops.
#if defined(__GNUC__)
#define CELLSHOW_HOT_INLINE [[gnu::always_inline]] inline
#else
#define CELLSHOW_HOT_INLINE inline
#endif

namespace cellshow {

constexpr int DecimalDigits(int n) {
  return n < 10 ? 1 : n < 100 ? 2 : n < 1000 ? 3 : n < 10000 ? 4 : 5;
}
// CUU/CUD/CUF/CUB by n (the parameter 1 is left out).
constexpr int RelativeMoveCost(int n) { return n == 0 ? 0 : n == 1 ? 3 : 3 + DecimalDigits(n); }
// CUP to a 0-based terminal position, with the default parameters left out.
constexpr int AbsoluteMoveCost(int row, int column) {
  if (column == 0) return row == 0 ? 3 : 3 + DecimalDigits(row + 1);
  return 4 + DecimalDigits(row + 1) + DecimalDigits(column + 1);
}
// CHA to a 0-based column.
constexpr int ColumnMoveCost(int column) { return column == 0 ? 3 : 3 + DecimalDigits(column + 1); }
// The costs count the forms in the table: CSI, the parameters, the final.
static_assert(RelativeMoveCost(1) == sizeof escape::CursorLeftOne - 1);
static_assert(AbsoluteMoveCost(0, 0) == sizeof escape::Csi - 1 + 1);

// Appends to a buffer with room enough (the caller bounds its frames).
struct EscapeWriter {
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
  // Copies `room` bytes and keeps `n` of them: a fixed-size copy is cheaper
  // than one of `n`. The bytes past are written over by what follows (the
  // frame buffers leave room for them at the end).
  CELLSHOW_HOT_INLINE void PutPadded(const char* s, size_t room, size_t n) {
    std::memcpy(p, s, room);
    p += n;
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
    Put(escape::Csi);
    if (n != 1) Number(n);
    Put(final);
  }
  // CUP to a 0-based position.
  void Absolute(int row, int column) {
    Put(escape::Csi);
    if (row != 0 || column != 0) Number(row + 1);
    if (column != 0) {
      Put(';');
      Number(column + 1);
    }
    Put(escape::CursorAddress);
  }
  // CUB 1 and ICH 1 right after a print: the glyph printed moves one cell on,
  // and the cursor stands on the blank inserted before it. This is how the
  // terminal's last cell is filled without printing there.
  void PushPrintedOn() {
    Put(escape::CursorLeftOne);
    Put(escape::InsertOneCell);
  }
};

// Where the next glyph lands after one is printed at the cursor (row,
// column) of a terminal of `columns` x `rows`: one to the right, or after the
// last column the start of the next row (-1, -1 past the last row). Then
// `wrapPending`: depending on the terminal the cursor waits in the last
// column or has wrapped, so only printing on or an absolute move may follow.
inline void AdvanceAfterPrint(int& row, int& column, bool& wrapPending, int columns, int rows) {
  wrapPending = false;
  if (++column >= columns) {
    wrapPending = true;
    column = 0;
    if (++row >= rows) row = column = -1;
  }
}

// Unchanged cells written through to reach a changed one are never more than
// this many: any cursor movement within a row is cheaper.
constexpr int MaxThroughCells = 12;

// The dearest cell to write: reached by the dearest movement, both colours
// changed in 24-bit form, a 3-byte glyph. Frame buffers are sized from it.
constexpr size_t WorstCellBytes = AbsoluteMoveCost(65535, 65535) + 36 + 3;

// The two parts of a cursor movement, as the encoders plan them by the costs
// above.
enum class RowMove : uint8_t {
  Absolute,        // CUP to the target; no column part follows
  Relative,        // CUU/CUD by the rows between (nothing on the same row)
  CarriageReturn,  // CR, then line feeds or CUD down, or CUU up
  Stay,            // nothing
};
enum class ColumnMove : uint8_t { None, Step, ToColumn };  // nothing, CUF/CUB, CHA

// Writes the movement from (fromRow, fromColumn) to (row, column): the row
// part, then the column part from where the row part left the cursor.
inline void WriteMove(EscapeWriter& w, RowMove rows, ColumnMove columns, int fromRow,
                      int fromColumn, int row, int column) {
  switch (rows) {
    case RowMove::Absolute:
      w.Absolute(row, column);
      return;
    case RowMove::Relative:
      if (row > fromRow) w.Csi(row - fromRow, escape::CursorDown);
      if (row < fromRow) w.Csi(fromRow - row, escape::CursorUp);
      break;
    case RowMove::CarriageReturn:
      w.Put('\r');
      fromColumn = 0;
      if (row > fromRow) {
        const int down = row - fromRow;
        if (down <= RelativeMoveCost(down)) {
          for (int i = 0; i < down; ++i) w.Put('\n');
        } else {
          w.Csi(down, escape::CursorDown);
        }
      }
      if (row < fromRow) w.Csi(fromRow - row, escape::CursorUp);
      break;
    case RowMove::Stay:
      break;
  }
  switch (columns) {
    case ColumnMove::None:
      break;
    case ColumnMove::Step:
      if (column > fromColumn) w.Csi(column - fromColumn, escape::CursorRight);
      if (column < fromColumn) w.Csi(fromColumn - column, escape::CursorLeft);
      break;
    case ColumnMove::ToColumn:
      w.Csi(column + 1, escape::ColumnAddress);
      break;
  }
}

// Writes a blank, in the pen's colours, into every cell of a terminal of
// `columns` x `rows` outside the box of `boxColumns` x `boxRows` whose
// top-left cell is at (`top`, `left`): what a terminal without background
// colour erase needs after an erase to show margins in a colour. A run of
// blanks per row side, each after an absolute move. The terminal's last cell
// is never printed in: a blank printed beside it is pushed into it by
// inserting a cell, which is written again when it is margin too (the box's
// cells are the caller's to write). Leaves the cursor where the caller
// cannot rely on it.
void WriteMargins(EscapeWriter& w, int columns, int rows, int left, int top, int boxColumns,
                  int boxRows);

}  // namespace cellshow
