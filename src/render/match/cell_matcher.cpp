#include "render/match/cell_matcher.h"

#include <bit>
#include <climits>
#include <cstring>

#include "render/pixels/cp437_font.h"

namespace cellshow {
namespace {

// Bounds that keep the per-colour terms in 32 bits: a channel is at most
// 512 in size (L; a and b stay within 170), so a sum over 64 pixels is at
// most 32768 and 2 f . S at most 2 x 64 x (512^2 + 2 x 170^2) < 2^26.
static_assert(LabScale == 512);

// The cost of each colour for a sum S over n pixels, n |f|^2 - 2 f . S,
// and the lowest colour of least cost.
struct Pick {
  int32_t cost;
  int colour;
};
inline Pick Cheapest(const int32_t* normTimes, const int32_t (&twice)[3][16], int32_t sL,
                     int32_t sa, int32_t sb) {
  int32_t cost[16];
  for (int c = 0; c < 16; ++c)
    cost[c] = normTimes[c] - (twice[0][c] * sL + twice[1][c] * sa + twice[2][c] * sb);
  Pick best{cost[0], 0};
  for (int c = 1; c < 16; ++c)
    if (cost[c] < best.cost) best = {cost[c], c};
  return best;
}

}  // namespace

CellMatcher::CellMatcher() {
  for (int code = 0; code < 256; ++code) {
    const auto& rows = GlyphRows(static_cast<uint8_t>(code));
    bool seen = false;
    for (int i = 0; i < glyphCount_ && !seen; ++i)
      seen = std::memcmp(glyphs_[i].rows, rows.data(), 8) == 0;
    if (seen) continue;  // the same picture as a lower code: never chosen
    Glyph& g = glyphs_[glyphCount_++];
    g.code = static_cast<uint8_t>(code);
    std::memcpy(g.rows, rows.data(), 8);
    int set = 0;
    for (const uint8_t row : rows) set += std::popcount(row);
    g.setPixels = static_cast<uint8_t>(set);
  }
  const LabColour* palette = VgaLabColours();
  for (int c = 0; c < 16; ++c) {
    twice_[0][c] = 2 * palette[c].L;
    twice_[1][c] = 2 * palette[c].a;
    twice_[2][c] = 2 * palette[c].b;
    const int32_t norm = LabDistance(palette[c], LabColour{});
    for (int n = 0; n <= 64; ++n) normTimes_[n][c] = n * norm;
  }
}

CellChoice CellMatcher::Match(const LabBlock& block) const {
  // sums[channel][row][bits]: the sum of the row's pixels whose bits are
  // set in `bits` (bit 7 the leftmost), built one lowest bit at a time.
  int32_t sums[3][8][256];
  int64_t squares = 0;
  int32_t total[3] = {0, 0, 0};
  for (int r = 0; r < 8; ++r) {
    const LabColour* row = &block.pixels[r * 8];
    int32_t* sL = sums[0][r];
    int32_t* sa = sums[1][r];
    int32_t* sb = sums[2][r];
    sL[0] = sa[0] = sb[0] = 0;
    for (int bits = 1; bits < 256; ++bits) {
      const LabColour& p = row[7 - std::countr_zero(static_cast<unsigned>(bits))];
      const int rest = bits & (bits - 1);
      sL[bits] = sL[rest] + p.L;
      sa[bits] = sa[rest] + p.a;
      sb[bits] = sb[rest] + p.b;
    }
    total[0] += sL[255];
    total[1] += sa[255];
    total[2] += sb[255];
    for (int x = 0; x < 8; ++x) squares += LabDistance(row[x], LabColour{});
  }

  int64_t bestCost = INT64_MAX;
  CellChoice best;
  for (int i = 0; i < glyphCount_; ++i) {
    const Glyph& g = glyphs_[i];
    int32_t s[3] = {0, 0, 0};
    for (int channel = 0; channel < 3; ++channel)
      for (int r = 0; r < 8; ++r) s[channel] += sums[channel][r][g.rows[r]];
    const Pick fg = Cheapest(normTimes_[g.setPixels], twice_, s[0], s[1], s[2]);
    const Pick bg = Cheapest(normTimes_[64 - g.setPixels], twice_, total[0] - s[0], total[1] - s[1],
                             total[2] - s[2]);
    const int64_t cost = int64_t{fg.cost} + bg.cost;
    if (cost < bestCost) {
      bestCost = cost;
      best.glyph = g.code;
      best.fg = static_cast<uint8_t>(fg.colour);
      best.bg = static_cast<uint8_t>(bg.colour);
    }
  }
  best.error = squares + bestCost;
  return best;
}

void BlockAt(const PixelImage& image, int column, int row, LabBlock& out) {
  // Neighbouring pixels are often the same colour: each is converted once.
  uint32_t last = 0;
  LabColour lastLab = ToLabColour(Rgb{0, 0, 0});
  for (int y = 0; y < 8; ++y) {
    const uint32_t* line = &image.pixels[(row * 8 + y) * ImageWidth + column * 8];
    for (int x = 0; x < 8; ++x) {
      const uint32_t p = line[x] & 0xFFFFFFu;
      if (p != last) {
        last = p;
        lastLab = ToLabColour(Rgb{static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                  static_cast<uint8_t>(p >> 16)});
      }
      out.pixels[y * 8 + x] = lastLab;
    }
  }
}

void CellMatcher::MatchRows(const PixelImage& image, int firstRow, int endRow,
                            ScreenCells& cells) const {
  LabBlock block;
  for (int row = firstRow; row < endRow; ++row)
    for (int column = 0; column < ScreenWidth; ++column) {
      BlockAt(image, column, row, block);
      const CellChoice choice = Match(block);
      Cell& cell = cells[row * ScreenWidth + column];
      cell.Char = choice.glyph;
      cell.Attributes = static_cast<uint16_t>(choice.bg << 4 | choice.fg);
    }
}

CellChoice MatchByTrying(const LabBlock& block) {
  const LabColour* palette = VgaLabColours();
  int32_t distance[64][16];
  for (int p = 0; p < 64; ++p)
    for (int c = 0; c < 16; ++c) distance[p][c] = LabDistance(block.pixels[p], palette[c]);
  CellChoice best;
  best.error = INT64_MAX;
  for (int glyph = 0; glyph < 256; ++glyph) {
    const auto& rows = GlyphRows(static_cast<uint8_t>(glyph));
    for (int fg = 0; fg < 16; ++fg)
      for (int bg = 0; bg < 16; ++bg) {
        int64_t error = 0;
        for (int p = 0; p < 64; ++p)
          error += distance[p][(rows[p / 8] >> (7 - p % 8) & 1) != 0 ? fg : bg];
        if (error < best.error) {
          best = {static_cast<uint8_t>(glyph), static_cast<uint8_t>(fg), static_cast<uint8_t>(bg),
                  error};
        }
      }
  }
  return best;
}

}  // namespace cellshow
