#include "render/ansi/frame_plan.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace cellshow {

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
    const uint16_t* shown = ShownRow(row);
    for (int column = 0; column < ScreenWidth; ++column) {
      const uint16_t key = Key(screen[row * ScreenWidth + column]);
      changed += key != shown[column];
      rest += key != blank;
    }
  }
  return rest + 16 < changed ? background : -1;
}

// How far the row `shown` shows (with its pads of MaxRowShift cells that
// match nothing) is to be shifted to show more of `keys`, which differs from
// it in `changedInPlace` cells: > 0 the content moved left by that many
// (keys[c] == shown[c + shift]), < 0 right, 0 not worth a shift.
int FrameEncoder::RowShift(const uint16_t* keys, const uint16_t* shown, int changedInPlace) const {
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
  return bestShift;
}

namespace {

// Breaks `text` (words split by single spaces) into lines of at most `width`
// characters; a word longer than a line is cut.
void WrapWords(const char* text, int width, NoticeLines& lines) {
  lines.count = 0;
  const int n = static_cast<int>(std::strlen(text));
  int lineStart = 0, lineLength = 0;
  auto push = [&](int start, int length) {
    if (lines.count < static_cast<int>(std::size(lines.line))) {
      lines.line[lines.count++] = {start, length, 0};
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

void LayOutNotice(TerminalSize needs, TerminalSize size, NoticeText& notice, bool offerWindow) {
  notice.lines.count = 0;
  notice.top = 0;
  const int width = size.columns >= 2 ? size.columns - 1 : 1;
  const int rows = size.columns >= 2 ? size.rows : size.rows - 1;
  if (rows <= 0) return;

  // The longest text that fits: with the way out, without it, short.
  char* const text = notice.text;
  NoticeLines& lines = notice.lines;
  lines.count = rows + 1;
  if (offerWindow) {
    std::snprintf(text, sizeof notice.text,
                  "cellshow needs %dx%d - this terminal is %dx%d (or try cellshow --window)",
                  needs.columns, needs.rows, size.columns, size.rows);
    WrapWords(text, width, lines);
  }
  if (lines.count > rows) {
    std::snprintf(text, sizeof notice.text, "cellshow needs %dx%d - this terminal is %dx%d",
                  needs.columns, needs.rows, size.columns, size.rows);
    WrapWords(text, width, lines);
  }
  if (lines.count > rows) {
    std::snprintf(text, sizeof notice.text, "needs %dx%d, is %dx%d", needs.columns, needs.rows,
                  size.columns, size.rows);
    WrapWords(text, width, lines);
  }
  lines.count = std::min(lines.count, rows);
  notice.top = (rows - lines.count) / 2;
  for (int i = 0; i < lines.count; ++i) {
    lines.line[i].column = (width - lines.line[i].length) / 2;
  }
}

}  // namespace cellshow
