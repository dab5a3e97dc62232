#include "picture.h"

#include <array>
#include <cstring>
#include <thread>
#include <unordered_map>

#include "render/match/cell_matcher.h"
#include "render/pixels/cp437_font.h"

namespace cellshow::datagen {
namespace {

// A block as its 64 colour numbers, four bits each, row by row.
struct BlockKey {
  uint64_t rows[4];
  bool operator==(const BlockKey&) const = default;
};

struct BlockHash {
  size_t operator()(const BlockKey& k) const {
    uint64_t h = k.rows[0] * 0x9e3779b97f4a7c15ull;
    for (int i = 1; i < 4; ++i) h = (h ^ (h >> 29)) * 0xbf58476d1ce4e5b9ull + k.rows[i];
    return static_cast<size_t>(h ^ (h >> 32));
  }
};

// The shade glyphs by fifth of a step: none, light, medium, dark, whole.
constexpr uint8_t ShadeGlyphs[3] = {LightShade, MediumShade, DarkShade};

}  // namespace

uint8_t ShadeAt(const Ramp& ramp, int tone, int x, int y) {
  if (tone <= 0) return ramp.colours[0];
  if (tone >= ramp.MaxTone()) return ramp.colours[ramp.count - 1];
  const int base = tone / ToneStep;
  const int fifth = ((tone % ToneStep) * 4 + ToneStep / 2) / ToneStep;  // 0 to 4
  if (fifth == 0) return ramp.colours[base];
  if (fifth == 4) return ramp.colours[base + 1];
  const uint8_t row = GlyphRows(ShadeGlyphs[fifth - 1])[y & 7];
  return (row >> (7 - (x & 7)) & 1) != 0 ? ramp.colours[base + 1] : ramp.colours[base];
}

void Picture::Fill(uint8_t colour) { std::memset(pixels, colour, sizeof pixels); }

struct PictureMatcher::State {
  CellMatcher matcher;
  std::unordered_map<BlockKey, uint16_t, BlockHash> seen;  // glyph | attributes << 8

  // The cell for the block of (column, row); `mask`, when given, keeps only
  // its marked pixels (the rest count as black).
  uint16_t CellAt(const Picture& picture, const Picture* mask, int column, int row) {
    BlockKey key{};
    for (int y = 0; y < 8; ++y) {
      const uint8_t* line = &picture.pixels[row * 8 + y][column * 8];
      const uint8_t* marks = mask != nullptr ? &mask->pixels[row * 8 + y][column * 8] : nullptr;
      for (int x = 0; x < 8; ++x) {
        const uint64_t colour = (marks == nullptr || marks[x] != 0) ? line[x] & 15 : Black;
        const int at = y * 8 + x;
        key.rows[at / 16] |= colour << (4 * (at % 16));
      }
    }
    const auto found = seen.find(key);
    if (found != seen.end()) return found->second;
    LabBlock block;
    const LabColour* palette = VgaLabColours();
    for (int at = 0; at < 64; ++at)
      block.pixels[at] = palette[key.rows[at / 16] >> (4 * (at % 16)) & 15];
    const CellChoice choice = matcher.Match(block);
    const auto cell = static_cast<uint16_t>(choice.glyph | (choice.bg << 4 | choice.fg) << 8);
    seen.emplace(key, cell);
    return cell;
  }
};

PictureMatcher::PictureMatcher()
    : top_(std::make_unique<State>()), bottom_(std::make_unique<State>()) {}
PictureMatcher::~PictureMatcher() = default;

Frame PictureMatcher::Cells(const Picture& picture) {
  Frame frame{};
  auto match = [&](State& state, int firstRow, int endRow) {
    for (int row = firstRow; row < endRow; ++row)
      for (int column = 0; column < Columns; ++column) {
        const uint16_t cell = state.CellAt(picture, nullptr, column, row);
        const size_t at = 2 * static_cast<size_t>(row * Columns + column);
        frame[at] = static_cast<uint8_t>(cell);
        frame[at + 1] = static_cast<uint8_t>(cell >> 8);
      }
  };
  // Two threads, each on half the rows with blocks of its own: the choice
  // of a cell does not depend on which thread makes it.
  std::thread other([&] { match(*bottom_, Rows / 2, Rows); });
  match(*top_, 0, Rows / 2);
  other.join();
  return frame;
}

Frame PictureMatcher::Overlay(const Picture& picture, const Picture& opaque) {
  Frame frame{};
  for (size_t i = 0; i < frame.size(); i += 2) frame[i] = Space;
  for (int row = 0; row < OverlayRows; ++row)
    for (int column = 0; column < Columns; ++column) {
      bool any = false;
      for (int y = 0; y < 8 && !any; ++y)
        for (int x = 0; x < 8 && !any; ++x) any = opaque.pixels[row * 8 + y][column * 8 + x] != 0;
      if (!any) continue;
      const uint16_t cell = top_->CellAt(picture, &opaque, column, row);
      const auto glyph = static_cast<uint8_t>(cell);
      const size_t at = 2 * static_cast<size_t>(row * Columns + column);
      frame[at] = glyph == 0 || glyph == Space ? uint8_t{255} : glyph;
      frame[at + 1] = static_cast<uint8_t>(cell >> 8);
    }
  return frame;
}

}  // namespace cellshow::datagen
