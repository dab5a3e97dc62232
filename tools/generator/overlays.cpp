// The overlay pictures: one word each in big block letters with a drop
// shadow, laid over the plasma from screen row 32 down. Rows 32 to 34 are
// plasma (bright white, yellow and cyan) and rows 35 to 39 the black-on-red
// band, so the letters run from dark at the top to bright at the bottom, and
// everything around them is transparent.
#include <cstring>

#include "canvas.h"

namespace cellshow::datagen {
namespace {

constexpr int PixelWidth = 2;  // cells per font pixel across
constexpr int LetterGap = 2;   // cells between letters

struct Title {
  const char* word;
  uint8_t shades[FontHeight];  // letter colour, row by row from the top
};

// tr.img shows while the plasma starts, tr3.img in its middle, tr2.img at its
// end: CELL ... 80x50 ... SHOW.
constexpr Title Titles[OverlayCount] = {
    {"CELL", {Blue, Blue, LightBlue, LightBlue, LightCyan, LightCyan, White}},
    {"SHOW", {Green, Green, LightGreen, LightGreen, Yellow, Yellow, White}},
    {"80x50", {Magenta, Magenta, LightMagenta, LightMagenta, LightRed, Yellow, White}},
};

int WordWidth(const char* word) {
  const int n = static_cast<int>(std::strlen(word));
  return n * FontWidth * PixelWidth + (n - 1) * LetterGap;
}

bool LetterCell(const char* word, int left, int x, int y) {
  if (y < 0 || y >= FontHeight) return false;
  const int n = static_cast<int>(std::strlen(word));
  const int pitch = FontWidth * PixelWidth + LetterGap;
  const int offset = x - left;
  if (offset < 0) return false;
  const int letter = offset / pitch;
  const int within = offset % pitch;
  if (letter >= n || within >= FontWidth * PixelWidth) return false;
  return FontPixel(word[letter], within / PixelWidth, y);
}

}  // namespace

Frame MakeOverlay(int picture) {
  const Title& title = Titles[picture];
  CellFrame frame;  // all spaces: transparent
  const int left = (Columns - WordWidth(title.word)) / 2;
  for (int y = 0; y < OverlayRows; ++y)
    for (int x = 0; x < Columns; ++x) {
      if (LetterCell(title.word, left, x, y))
        frame.Put(x, y, FullBlock, Attr(title.shades[y], Black));
      else if (LetterCell(title.word, left, x - 1, y - 1))
        frame.Put(x, y, FullBlock, Attr(Black, Black));  // shadow, down and to the right
    }
  return frame.bytes();
}

}  // namespace cellshow::datagen
