#include "render/match/cell_matcher.h"

#include <algorithm>
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

// The lowest colour of least cost among 16, with no branch: the keys
// 16 x cost + colour order by cost, then colour. A cost lies within
// +-2^26 (the bounds above), so a key fits in 32 bits.
struct Pick {
  int32_t cost;
  int colour;
};
inline Pick Lowest(const int32_t (&cost)[16]) {
  int32_t key = INT32_MAX;
  for (int c = 0; c < 16; ++c) key = std::min(key, cost[c] * 16 + c);
  return {key >> 4, key & 15};
}

// A sum of L over 64 pixels reaches 32768, one past 16 bits: the products
// with it are taken of L - 16384, and 16384 x 2 L added back.
constexpr int32_t LOffset = 16384;

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
    for (int channel = 0; channel < 3; ++channel)
      twice16_[channel][c] = static_cast<int16_t>(twice_[channel][c]);
    offsetDot_[c] = twice_[0][c] * LOffset;
    const int32_t norm = LabDistance(palette[c], LabColour{});
    for (int n = 0; n <= 64; ++n) normTimes_[n][c] = n * norm;
  }
}

CellChoice CellMatcher::Match(const LabBlock& block) const {
  // One colour over the whole block (flat areas of drawings, bars): every
  // glyph fits with that side's nearest colour, so the blank glyph 0 with
  // foreground 0 wins the tie, on the nearest background.
  if (std::all_of(std::begin(block.pixels), std::end(block.pixels),
                  [&](const LabColour& p) { return p == block.pixels[0]; })) {
    const LabColour* palette = VgaLabColours();
    int nearest = 0;
    for (int c = 1; c < 16; ++c)
      if (LabDistance(block.pixels[0], palette[c]) < LabDistance(block.pixels[0], palette[nearest]))
        nearest = c;
    return {0, 0, static_cast<uint8_t>(nearest),
            64 * int64_t{LabDistance(block.pixels[0], palette[nearest])}};
  }
  // sums[channel][row][bits]: the sum of the row's pixels whose bits are
  // set in `bits` (bit 7 the leftmost): the sum over the left four pixels
  // picked by the high nibble plus that over the right four by the low one.
  int32_t sums[3][8][256];
  int64_t squares = 0;
  int32_t total[3] = {0, 0, 0};
  for (int r = 0; r < 8; ++r) {
    const LabColour* row = &block.pixels[r * 8];
    for (int x = 0; x < 8; ++x) squares += LabDistance(row[x], LabColour{});
    for (int channel = 0; channel < 3; ++channel) {
      int32_t value[8];
      for (int x = 0; x < 8; ++x)
        value[x] = channel == 0 ? row[x].L : channel == 1 ? row[x].a : row[x].b;
      int32_t high[16], low[16];
      for (int nibble = 0; nibble < 16; ++nibble) {
        high[nibble] = (nibble & 8 ? value[0] : 0) + (nibble & 4 ? value[1] : 0) +
                       (nibble & 2 ? value[2] : 0) + (nibble & 1 ? value[3] : 0);
        low[nibble] = (nibble & 8 ? value[4] : 0) + (nibble & 4 ? value[5] : 0) +
                      (nibble & 2 ? value[6] : 0) + (nibble & 1 ? value[7] : 0);
      }
      int32_t* table = sums[channel][r];
      for (int h = 0; h < 16; ++h)
        for (int l = 0; l < 16; ++l) table[h * 16 + l] = high[h] + low[l];
      total[channel] += table[255];
    }
  }

  // 2 f . T for the whole block: the background's sum is T - S.
  int32_t wholeDot[16];
  for (int c = 0; c < 16; ++c)
    wholeDot[c] = twice_[0][c] * total[0] + twice_[1][c] * total[1] + twice_[2][c] * total[2];

  // The colours that can be nearest to the mean of some of the block's
  // pixels. Every such mean lies in the box the pixels span; a colour that
  // is farther than another from every point of that box is never the
  // nearest and never ties, so leaving it out changes no choice. A block of
  // a few close colours (most of a photograph) keeps two to five.
  int32_t lo[3], hi[3];
  for (int channel = 0; channel < 3; ++channel) lo[channel] = INT32_MAX, hi[channel] = INT32_MIN;
  for (const LabColour& p : block.pixels) {
    const int32_t v[3] = {p.L, p.a, p.b};
    for (int channel = 0; channel < 3; ++channel) {
      lo[channel] = std::min(lo[channel], v[channel]);
      hi[channel] = std::max(hi[channel], v[channel]);
    }
  }
  int candidates[16];
  int candidateCount = 0;
  for (int c = 0; c < 16; ++c) {
    bool beaten = false;
    for (int d = 0; d < 16 && !beaten; ++d) {
      if (d == c) continue;
      // |x - d|^2 - |x - c|^2 = 2 (c - d) . x + |d|^2 - |c|^2, linear in
      // x: its largest value on the box is at a corner.
      int64_t most = normTimes_[1][d] - normTimes_[1][c];
      for (int channel = 0; channel < 3; ++channel) {
        const int64_t k = twice_[channel][c] - twice_[channel][d];
        most += std::max(k * lo[channel], k * hi[channel]);
      }
      beaten = most < 0;
    }
    if (!beaten) candidates[candidateCount++] = c;
  }
  if (candidateCount > 8) return MatchAll(sums, wholeDot, squares);

  int64_t bestCost = INT64_MAX;
  CellChoice best;
  for (int i = 0; i < glyphCount_; ++i) {
    const Glyph& g = glyphs_[i];
    int32_t s[3] = {0, 0, 0};
    for (int channel = 0; channel < 3; ++channel)
      for (int r = 0; r < 8; ++r) s[channel] += sums[channel][r][g.rows[r]];
    // With no pixel on a side, every colour costs 0 there and the lowest,
    // 0, is chosen (whether or not it is a candidate).
    const int n = g.setPixels;
    Pick fg{n == 0 ? 0 : INT32_MAX, 0}, bg{n == 64 ? 0 : INT32_MAX, 0};
    for (int k = 0; k < candidateCount; ++k) {
      const int c = candidates[k];
      const int32_t dot = twice_[0][c] * s[0] + twice_[1][c] * s[1] + twice_[2][c] * s[2];
      const int32_t fgCost = normTimes_[n][c] - dot;
      const int32_t bgCost = normTimes_[64 - n][c] - (wholeDot[c] - dot);
      if (n != 0 && fgCost < fg.cost) fg = {fgCost, c};
      if (n != 64 && bgCost < bg.cost) bg = {bgCost, c};
    }
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

CellChoice CellMatcher::MatchAll(const int32_t (&sums)[3][8][256], const int32_t (&wholeDot)[16],
                                 int64_t squares) const {
  int64_t bestCost = INT64_MAX;
  CellChoice best;
  for (int i = 0; i < glyphCount_; ++i) {
    const Glyph& g = glyphs_[i];
    int32_t s[3] = {0, 0, 0};
    for (int channel = 0; channel < 3; ++channel)
      for (int r = 0; r < 8; ++r) s[channel] += sums[channel][r][g.rows[r]];
    // 16-bit factors, so that the 16 products are one vector of each.
    const auto sL = static_cast<int16_t>(s[0] - LOffset);
    const auto sa = static_cast<int16_t>(s[1]), sb = static_cast<int16_t>(s[2]);
    const int32_t* fgNorm = normTimes_[g.setPixels];
    const int32_t* bgNorm = normTimes_[64 - g.setPixels];
    int32_t fgCost[16], bgCost[16];
    for (int c = 0; c < 16; ++c) {
      const int32_t dot = int32_t{twice16_[0][c]} * sL + int32_t{twice16_[1][c]} * sa +
                          int32_t{twice16_[2][c]} * sb + offsetDot_[c];
      fgCost[c] = fgNorm[c] - dot;
      bgCost[c] = bgNorm[c] - (wholeDot[c] - dot);
    }
    const Pick fg = Lowest(fgCost), bg = Lowest(bgCost);
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
