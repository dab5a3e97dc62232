#include "scenes/plasma.h"

#include "raster/byte_tracer.h"
#include "show/show.h"

namespace cellshow {
namespace {

// The three-level wave: 44 x 2, 43 x 1, 85 x 0, 43 x 1, 41 x 2.
constexpr auto MakeLevelTable() {
  struct Table {
    uint8_t level[256];
  } t{};
  for (int i = 0; i < 256; ++i)
    t.level[i] = i < 44 ? 2 : i < 87 ? 1 : i < 172 ? 0 : i < 215 ? 1 : 2;
  return t;
}
constexpr auto LevelTable = MakeLevelTable();

constexpr uint8_t ShadeGlyphs[9] = {0, 0, 39, 7, 111, 43, 79, 48, 2};
constexpr uint8_t GlowAttributes[3] = {255, 239, 191};

struct RayOrigin {
  uint8_t column, row;
};
constexpr RayOrigin FirstRays[5] = {{34, 38}, {34, 39}, {35, 39}, {37, 39}, {36, 39}};
constexpr RayOrigin SecondRays[5] = {{38, 39}, {39, 39}, {40, 39}, {40, 38}, {41, 38}};

constexpr int PlasmaRows = 35;          // rows 0..34 carry the plasma
constexpr int BandFirstRow = 35;        // rows 35..49 the black-on-red band
constexpr int OverlayFirstCell = 2560;  // row 32
constexpr int OverlayCells = 1440;      // through the end of row 49
constexpr int EndStep = 80;             // the scene ends once d passes this

// How much the fade lowers the sum at each cell: it grows with the distance
// from a point 40 columns in and 100 rows above the top row.
constexpr auto MakeFade() {
  struct Table {
    uint8_t penalty[PlasmaRows][ScreenWidth];
  } t{};
  for (int y = 0; y < PlasmaRows; ++y)
    for (int x = 0; x < ScreenWidth; ++x) {
      const int r = (x - 40) * (x - 40) + (y + 100) * (y + 100);
      t.penalty[y][x] = static_cast<uint8_t>((r > 12000 ? 2 : 0) + (r > 14000 ? 2 : 0) +
                                             (r > 15000 ? 1 : 0) + (r > 16000 ? 2 : 0));
    }
  return t;
}
constexpr auto Fade = MakeFade();

uint8_t Level(uint8_t phase) { return LevelTable.level[phase]; }

// Both passes of the plasma over rows 0..34. Each cell's sum is a column
// term plus a row term per pass, so the terms are summed once per column and
// once per row; the phases advance exactly as a cell-by-cell walk would move
// them.
void DrawPlasma(Show& show, int d) {
  PlasmaState& p = show.plasma;
  uint8_t* P = p.PlasmaPhases;
  uint8_t* W = p.PlasmaWork;
  uint8_t columnSum[ScreenWidth], rowSum[PlasmaRows];
  W[2] = P[2];
  W[3] = P[3];
  W[6] = P[6];
  W[7] = P[7];
  for (int y = 0; y < PlasmaRows; ++y) {
    rowSum[y] = static_cast<uint8_t>(Level(W[2]) + Level(W[3]) + Level(W[6]) + Level(W[7]));
    W[2] = static_cast<uint8_t>(W[2] + 12);
    W[3] = static_cast<uint8_t>(W[3] + 15);
    W[6] = static_cast<uint8_t>(W[6] + 18);
    W[7] = static_cast<uint8_t>(W[7] + 20);
  }
  W[0] = P[0];
  W[1] = P[1];
  W[4] = P[4];
  W[5] = P[5];
  for (int x = 0; x < ScreenWidth; ++x) {
    columnSum[x] = static_cast<uint8_t>(Level(W[0]) + Level(W[1]) + Level(W[4]) + Level(W[5]));
    W[0] = static_cast<uint8_t>(W[0] + 2);
    W[1] = static_cast<uint8_t>(W[1] + 14);
    W[4] = static_cast<uint8_t>(W[4] + 32);
    W[5] = static_cast<uint8_t>(W[5] + 25);
  }
  static constexpr uint8_t FrameSteps[8] = {7, 22, 17, 14, 7, 22, 17, 15};
  for (int i = 0; i < 8; ++i) P[i] = static_cast<uint8_t>(P[i] + FrameSteps[i]);

  // The glow point travels from the right edge to the left in an arc.
  const int glowX = 80 - d;
  const int glowY = (d - 39) * (d - 39) / 128;
  for (int y = 0; y < PlasmaRows; ++y) {
    p.RowCounter = static_cast<uint8_t>(y);
    const int dy2 = (y - glowY) * (y - glowY);
    Cell* row = show.Screen + y * ScreenWidth;
    for (int x = 0; x < ScreenWidth; ++x) {
      int sum = columnSum[x] + rowSum[y] - Fade.penalty[y][x];
      if (sum < 0) sum = 0;
      const int shade = sum > 8 ? sum - 8 : sum;
      const int g = (x - glowX) * (x - glowX) + dy2;
      int glow = (shade >> 2 & 1) + (g > 80) + (g > 300);
      if (glow > 2) glow = 2;
      row[x].Char = ShadeGlyphs[shade];
      row[x].Attributes = GlowAttributes[glow];
    }
  }
  p.ColumnCounter = ScreenWidth;
  p.RowCounter = PlasmaRows;
}

void DrawBand(Show& show) {
  for (int k = BandFirstRow * ScreenWidth; k < ScreenCellCount; ++k) show.Screen[k] = RedBlank;
}

// Chooses the overlay picture for step d and records in OverlayState whether
// the second ray group is still to be drawn.
int ChooseOverlay(PlasmaState& p, int d) {
  const int e = d > 42 ? d - 42 : 42 - d;
  if (d < 42) p.OverlayState = 1;
  if (e < 6) {
    p.OverlayState = 2;
    return 2;
  }
  if (p.OverlayState & 1) return 0;
  p.OverlayState = 0;
  return 1;
}

// Lays the picture over rows 32 down; a character byte of 32 is transparent.
void LayOverlay(Show& show, int picture) {
  const uint8_t* cells = show.assets.OverlayImages[picture];
  for (int k = 0; k < OverlayCells; ++k) {
    const uint8_t ch = cells[2 * k];
    if (ch == 32) continue;
    show.Screen[OverlayFirstCell + k] = {ch, cells[2 * k + 1]};
  }
}

void TraceRays(Show& show, const RayOrigin (&group)[5]) {
  for (const RayOrigin& o : group)
    TraceCellLine(show.points, o.column, o.row, show.plasma.RayTipX, 50, 1, 0);
}

void DrawRays(Show& show, int d) {
  PlasmaState& p = show.plasma;
  p.RayTipX = static_cast<uint8_t>(17 + d / 2);
  if (d <= 47) {
    TraceRays(show, FirstRays);
    if (p.OverlayState & 2) {
      p.OverlayState = 0;
      TraceRays(show, SecondRays);
    }
  } else {
    p.OverlayState = 0;
    TraceRays(show, SecondRays);
  }
  // The ray tips lie on row 50, below the screen, and are not painted.
  WalkPointList(show.points, [&](uint16_t k) {
    if (k < ScreenCellCount) show.Screen[k] = BlackBlock;
  });
  ResetPointList(show.points);
}

}  // namespace

void PlasmaScene(Show& show) {
  Sequencer& seq = show.seq;
  seq.SceneClock = static_cast<uint16_t>(seq.SceneClock + 1);
  ++seq.PlasmaDivider;
  if (seq.PlasmaDivider != 3) return;
  seq.PlasmaDivider = 0;
  const int d = seq.SceneClock / 16;

  DrawPlasma(show, d);
  DrawBand(show);
  if (d > EndStep) {
    // The last tick discards its frame, goes black and starts the music.
    seq.AdvancePending = 1;
    seq.SceneClock = 0;
    seq.PlasmaDivider = 0;
    ClearScreen(show.Screen);
    PresentScreen(show);
    SendMediaCommand(show, PlayMusicCommand);
    return;
  }
  LayOverlay(show, ChooseOverlay(show.plasma, d));
  DrawRays(show, d);
  PresentScreen(show);
}

}  // namespace cellshow
