// The overlay pictures, laid over the plasma from screen row 32 down. Rows
// 32 to 34 are plasma (bright white, yellow and cyan) and rows 35 to 39 the
// black-on-red band, and the show's black rays start in rows 38 and 39
// between columns 34 and 41 and fan out downwards. Everything around a
// picture is transparent.
//
// tr.img shows while the plasma starts: the title in tall block letters.
// tr3.img flashes up in its middle: the grid size. tr2.img shows for its
// last 9 s: the credits, in text on the band, above the rays.
#include <cstring>

#include "canvas.h"

namespace cellshow::datagen {
namespace {

// A word in the 5x7 block font, one row to a font pixel. A wide word has
// each font pixel two cells across and a black drop shadow down and to the
// right; a narrow one has one cell to a pixel, emboldened: a cell is lit
// where its pixel or the one to its left is, so its letters are six cells
// across.
struct BlockWord {
  const char* word;
  bool wide;
  int gap;                     // cells between letters
  uint8_t shades[FontHeight];  // letter colour, row by row from the top
};

int LetterWidth(const BlockWord& w) { return w.wide ? 2 * FontWidth : FontWidth + 1; }

int WordWidth(const BlockWord& w) {
  const int n = static_cast<int>(std::strlen(w.word));
  return n * LetterWidth(w) + (n - 1) * w.gap;
}

bool LetterCell(const BlockWord& w, int left, int x, int y) {
  if (y < 0 || y >= FontHeight) return false;
  const int n = static_cast<int>(std::strlen(w.word));
  const int pitch = LetterWidth(w) + w.gap;
  const int offset = x - left;
  if (offset < 0) return false;
  const int letter = offset / pitch;
  const int within = offset % pitch;
  if (letter >= n || within >= LetterWidth(w)) return false;
  const char c = w.word[letter];
  if (w.wide) return FontPixel(c, within / 2, y);
  return FontPixel(c, within, y) || FontPixel(c, within - 1, y);
}

void DrawBlockWord(CellFrame& frame, const BlockWord& w) {
  const int left = (Columns - WordWidth(w)) / 2;
  for (int y = 0; y < OverlayRows; ++y)
    for (int x = 0; x < Columns; ++x) {
      if (LetterCell(w, left, x, y))
        frame.Put(x, y, FullBlock, Attr(w.shades[y], Black));
      else if (w.wide && LetterCell(w, left, x - 1, y - 1))
        frame.Put(x, y, FullBlock, Attr(Black, Black));
    }
}

// A line of text, centred, on the band's red; its spaces are transparent.
void DrawText(CellFrame& frame, int row, const char* text, uint8_t colour) {
  const int n = static_cast<int>(std::strlen(text));
  const int left = (Columns - n) / 2;
  for (int i = 0; i < n; ++i)
    if (text[i] != ' ') frame.Put(left + i, row, static_cast<uint8_t>(text[i]), Attr(colour, Red));
}

constexpr BlockWord Title = {
    "CELLSHOW", false, 2, {Blue, Blue, LightBlue, LightBlue, LightCyan, LightCyan, White}};
constexpr BlockWord GridSize = {
    "80x50", true, 2, {Magenta, Magenta, LightMagenta, LightMagenta, LightRed, Yellow, White}};

}  // namespace

Frame MakeOverlay(int picture) {
  CellFrame frame;  // all spaces: transparent
  switch (picture) {
    case 0:
      DrawBlockWord(frame, Title);
      break;
    case 1:
      DrawText(frame, 4, "code, pictures and music", White);
      DrawText(frame, 5, "by the cellshow team", Yellow);
      break;
    default:
      DrawBlockWord(frame, GridSize);
      break;
  }
  return frame.bytes();
}

}  // namespace cellshow::datagen
