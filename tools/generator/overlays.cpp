// The overlay pictures, laid over the plasma from screen row 32 down. Rows
// 32 to 34 are plasma (bright white, yellow and cyan) and rows 35 to 39 the
// black-on-red band, and the show's black rays start in rows 38 and 39
// between columns 34 and 41 and fan out downwards. Everything around a
// picture is transparent.
//
// tr.img shows while the plasma starts: the title in tall letters. tr3.img
// flashes up in its middle: the grid size. tr2.img shows for its last 9 s:
// the credits on a framed panel, above the rays. Each is drawn as a 640x64
// picture and matched to cells; a cell is drawn where the picture covers
// any of its pixels, and the rest of such a cell shows black.
#include <algorithm>
#include <cstring>

#include "picture.h"
#include "render/pixels/cp437_font.h"

namespace cellshow::datagen {
namespace {

constexpr int StripHeight = OverlayRows * 8;  // 64 pixels

// A word in the 5x7 block font, each font pixel `width` by `height` pixels,
// with a face shaded down `ramp` from top to bottom, a bright top edge and a
// dark bottom edge on each stroke, a black outline and a black drop shadow.
struct BlockWord {
  const char* word;
  int width, height, gap, top;  // pixels
  Ramp ramp;
};

struct Strip {
  Picture& picture;
  Picture& opaque;
  void Put(int x, int y, uint8_t colour) {
    if (y < 0 || y >= StripHeight) return;
    picture.Set(x, y, colour);
    opaque.Set(x, y, 1);
  }
};

bool WordPixel(const BlockWord& w, int left, int x, int y) {
  if (x < left || y < w.top) return false;
  const int pitch = FontWidth * w.width + w.gap;
  const int letter = (x - left) / pitch, within = (x - left) % pitch;
  if (letter >= static_cast<int>(std::strlen(w.word))) return false;
  return FontPixel(w.word[letter], within / w.width, (y - w.top) / w.height);
}

void DrawBlockWord(Strip& strip, const BlockWord& w) {
  const int n = static_cast<int>(std::strlen(w.word));
  const int left = (PictureWidth - n * FontWidth * w.width - (n - 1) * w.gap) / 2;
  const int bottom = w.top + FontHeight * w.height;
  constexpr int Outline = 2, ShadowX = 5, ShadowY = 4, Bevel = 2;
  for (int y = 0; y < StripHeight; ++y)
    for (int x = 0; x < PictureWidth; ++x) {
      if (WordPixel(w, left, x, y)) {
        int tone = (bottom - 1 - y) * w.ramp.MaxTone() / (bottom - 1 - w.top);
        if (!WordPixel(w, left, x, y - Bevel)) tone = w.ramp.MaxTone();
        if (!WordPixel(w, left, x, y + Bevel)) tone = 0;
        strip.Put(x, y, ShadeAt(w.ramp, tone, x, y));
        continue;
      }
      bool near = WordPixel(w, left, x - ShadowX, y - ShadowY);
      for (int dy = -Outline; dy <= Outline && !near; ++dy)
        for (int dx = -Outline; dx <= Outline && !near; ++dx)
          near = WordPixel(w, left, x + dx, y + dy);
      if (near) strip.Put(x, y, Black);
    }
}

// A line of text in the console font, centred, on cell row `row`.
void DrawText(Strip& strip, int row, const char* text, uint8_t colour) {
  const int n = static_cast<int>(std::strlen(text));
  const int left = (Columns - n) / 2;
  for (int i = 0; i < n; ++i) {
    const auto& rows = GlyphRows(static_cast<uint8_t>(text[i]));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        if ((rows[y] >> (7 - x) & 1) != 0) strip.Put((left + i) * 8 + x, row * 8 + y, colour);
  }
}

// A black panel with a two-pixel frame, lit from above: bright on its top,
// red down its sides, dark red along the bottom; its corners are cut.
void DrawPanel(Strip& strip, int left, int top, int right, int bottom) {
  constexpr int Frame = 2;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const int fromEdge =
          std::min(std::min(x - left, right - 1 - x), std::min(y - top, bottom - 1 - y));
      const bool corner = (x - left < Frame || right - 1 - x < Frame) &&
                          (y - top < Frame || bottom - 1 - y < Frame);
      if (corner) continue;
      uint8_t colour = Black;
      if (fromEdge < Frame)
        colour = y - top < Frame ? Yellow : bottom - 1 - y < Frame ? Red : LightRed;
      strip.Put(x, y, colour);
    }
}

constexpr uint8_t TitleColours[] = {Blue, LightBlue, LightCyan, White};
constexpr BlockWord Title = {"CELLSHOW", 12, 8, 16, 4, {TitleColours, 4}};
constexpr uint8_t GridColours[] = {Magenta, LightMagenta, LightRed, Yellow, White};
constexpr BlockWord GridSize = {"80x50", 16, 8, 24, 4, {GridColours, 5}};

}  // namespace

Frame MakeOverlay(int picture) {
  auto pixels = std::make_unique<Picture>();
  auto opaque = std::make_unique<Picture>();
  pixels->Fill(Black);
  opaque->Fill(0);
  Strip strip{*pixels, *opaque};
  switch (picture) {
    case 0:
      DrawBlockWord(strip, Title);
      break;
    case 1:
      DrawPanel(strip, 26 * 8 - 4, 3 * 8 + 4, 54 * 8 + 4, 6 * 8 + 4);
      DrawText(strip, 4, "code, pictures and music", White);
      DrawText(strip, 5, "by the cellshow team", Yellow);
      break;
    default:
      DrawBlockWord(strip, GridSize);
      break;
  }
  PictureMatcher matcher;
  return matcher.Overlay(*pixels, *opaque);
}

}  // namespace cellshow::datagen
