#include "render/ansi/escape_writer.h"

namespace cellshow {

void WriteMargins(EscapeWriter& w, int columns, int rows, int left, int top, int boxColumns,
                  int boxRows) {
  if (columns == boxColumns && rows == boxRows) return;
  const int lastRow = rows - 1, lastColumn = columns - 1;
  auto isMargin = [&](int row, int column) {
    return row < top || row >= top + boxRows || column < left || column >= left + boxColumns;
  };
  auto blanks = [&](int row, int from, int to) {
    if (from >= to) return;
    w.Absolute(row, from);
    for (int column = from; column < to; ++column) w.Put(' ');
  };
  for (int row = 0; row < rows; ++row) {
    const int end = row == lastRow ? lastColumn : columns;  // the last cell comes below
    if (row >= top && row < top + boxRows) {
      blanks(row, 0, left);
      blanks(row, left + boxColumns, end);
    } else {
      blanks(row, 0, end);
    }
  }
  if (isMargin(lastRow, lastColumn)) {
    w.Absolute(lastRow, lastColumn - 1);
    w.Put(' ');
    w.PushPrintedOn();
    if (isMargin(lastRow, lastColumn - 1)) w.Put(' ');
  }
}

}  // namespace cellshow
