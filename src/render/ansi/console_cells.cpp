#include "render/ansi/console_cells.h"

namespace cellshow {
namespace {

struct ColorTables {
  const std::array<SgrParameter, 16>& fg;
  const std::array<SgrParameter, 16>& bg;
};
// By PenTable.
constexpr ColorTables ColorTablesFor[3] = {{EightForeground, EightBackground},
                                           {AnsiForeground, AnsiBackground},
                                           {TrueForeground, TrueBackground}};

constexpr int PenTable(ColorDepth depth) {
  switch (depth) {
    case ColorDepth::Eight:
      return 0;
    case ColorDepth::Sixteen:
    case ColorDepth::Xterm256:
      return 1;
    case ColorDepth::TrueColor:
      break;
  }
  return 2;
}

constexpr PenSequences MakePenSequences(ColorDepth depth) {
  const auto& fgTable = ColorTablesFor[PenTable(depth)].fg;
  const auto& bgTable = ColorTablesFor[PenTable(depth)].bg;
  PenSequences out{};
  // A colour index of -1 leaves that colour out.
  auto build = [&](PenSequence& s, int fg, int bg) {
    auto append = [&s](const char* text, int size) {
      for (int i = 0; i < size; ++i) s.text[s.size++] = text[i];
    };
    append(escape::Csi, sizeof escape::Csi - 1);
    if (fg >= 0) append(fgTable[fg].text, fgTable[fg].size);
    if (fg >= 0 && bg >= 0) s.text[s.size++] = ';';
    if (bg >= 0) append(bgTable[bg].text, bgTable[bg].size);
    s.text[s.size++] = escape::SetRendition;
  };
  for (int c = 0; c < 16; ++c) {
    build(out.fg[c], c, -1);
    build(out.bg[c], -1, c);
    out.background[c] = bgTable[c];
  }
  for (int f = 0; f < 16; ++f) {
    for (int b = 0; b < 16; ++b) build(out.both[f << 4 | b], f, b);
  }
  return out;
}

// By PenTable.
constexpr PenSequences Pens[3] = {MakePenSequences(ColorDepth::Eight),
                                  MakePenSequences(ColorDepth::Sixteen),
                                  MakePenSequences(ColorDepth::TrueColor)};

// WorstCellBytes counts 36 bytes for a change of pen: both colours in
// 24-bit form, bright white on bright white.
constexpr int LongestPen() {
  int longest = 0;
  for (const PenSequences& pens : Pens) {
    for (const PenSequence& s : pens.both) longest = s.size > longest ? s.size : longest;
  }
  return longest;
}
static_assert(LongestPen() == 36);

}  // namespace

const PenSequences& PenSequencesFor(ColorDepth depth) { return Pens[PenTable(depth)]; }

}  // namespace cellshow
