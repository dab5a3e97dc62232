// The scaled view's bytes read back through an emulated terminal: the grid
// encoder on random grids at any place and depth, and the terminal view on
// the default show and across sizes.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/ansi/grid_encoder.h"
#include "render/ansi/terminal_view.h"
#include "render/scaled/scaled_view.h"
#include "support/show_recording.h"
#include "support/vterm_colour_grid.h"
#include "support/vterm_grid.h"
#include "support/vterm_screen.h"

namespace cellshow {
namespace {

using test::ColourGridMismatch;
using test::VtermScreen;

std::string Name(const TerminalCapabilities& capabilities) {
  const char* const depths[] = {"8", "16", "256", "24-bit"};
  return std::string(depths[static_cast<int>(capabilities.colors)]) + " colours" +
         (capabilities.glyphs == GlyphSet::Ascii ? ", ASCII" : "") +
         (capabilities.backgroundColorErase ? "" : ", no bce");
}

// What the terminal must show for a frame: the scaled view worked out on its
// own.
struct Expected {
  std::unique_ptr<ScaledView> view = std::make_unique<ScaledView>();
  std::vector<RgbCell> cells = std::vector<RgbCell>(GridEncoder::MaxCells);
  GridPlace place;
  void Of(const ScreenCells& screen, TerminalSize size, const TerminalCapabilities& capabilities) {
    const ScaledBox& box =
        view->Fit(size.columns, size.rows, capabilities.glyphs == GlyphSet::Unicode);
    view->Render(screen, capabilities.colors, cells.data());
    place = {box.columns, box.rows, box.left, box.top};
  }
};

// Every depth, and the terminals without background colour erase (tmux
// panes and GNU screen with 8 colours, tmux with 24-bit colour): the margins
// must be written black, never left to an erase. With 8 colours the bright
// colours of the half blocks show through bold foregrounds.
TEST(ScaledThroughTerminal, TheDefaultShowAt80x24InEveryDepth) {
  const auto& frames = test::DefaultShowFrames();
  ASSERT_GT(frames.size(), 1000u);
  std::vector<char> out(TerminalView::MaxFrameBytes);
  const TerminalCapabilities terminals[] = {
      {ColorDepth::TrueColor, GlyphSet::Unicode, true},
      {ColorDepth::Xterm256, GlyphSet::Unicode, true},
      {ColorDepth::Sixteen, GlyphSet::Unicode, true},
      {ColorDepth::Eight, GlyphSet::Unicode, false},
      {ColorDepth::Eight, GlyphSet::Unicode, true},
      {ColorDepth::TrueColor, GlyphSet::Unicode, false},
  };
  for (const TerminalCapabilities& capabilities : terminals) {
    auto view = std::make_unique<TerminalView>(capabilities, FitMode::Auto);
    VtermScreen terminal(24, 80, capabilities.backgroundColorErase);
    Expected expected;
    for (size_t i = 0; i < frames.size(); ++i) {
      terminal.Feed(out.data(), view->Encode(frames[i]->cells, {80, 24}, out.data()));
      ASSERT_EQ(view->shown(), TerminalView::Shown::Scaled);
      if (i % 25 != 0 && i + 1 != frames.size()) continue;
      expected.Of(frames[i]->cells, {80, 24}, capabilities);
      ASSERT_EQ(expected.place, (GridPlace{64, 24, 8, 0}));
      ASSERT_EQ(ColourGridMismatch(terminal, expected.cells.data(), expected.place, capabilities),
                "")
          << Name(capabilities) << ", tick " << frames[i]->tick;
    }
    EXPECT_EQ(terminal.scrolledLines(), 0);
    EXPECT_EQ(terminal.lastCellPrints(), 0);
  }
}

// Random grids of every kind of cell, changing a little or a lot from frame
// to frame, at places that touch every edge of the terminal (the last cell
// included), in every depth, with and without background colour erase, in
// UTF-8 and in ASCII. With 8 colours the cells take all 16 colours: what
// cannot be a foreground shows as the nearest normal colour.
TEST(ScaledThroughTerminal, RandomGridsAtAnyPlace) {
  std::mt19937 random(1215);
  const uint8_t glyphs[] = {0x20, 0x00, 0xFF, UpperHalfBlock, UpperHalfBlock,
                            0xDB, 0xDC, 'A',  0xB1,           0x02};
  std::vector<char> out(GridEncoder::MaxFrameBytes);
  for (int run = 0; run < 48; ++run) {
    const TerminalCapabilities capabilities{static_cast<ColorDepth>(run % 4),
                                            run % 5 == 0 ? GlyphSet::Ascii : GlyphSet::Unicode,
                                            run / 4 % 2 == 0};
    const ColorDepth depth = capabilities.colors;
    auto color = [&] {
      switch (depth) {
        case ColorDepth::TrueColor: {
          // A few colours, so that the pen is often right already.
          const uint8_t v[] = {0, 1, 127, 200, 255};
          return Rgb{v[random() % 5], v[random() % 5], v[random() % 5]};
        }
        case ColorDepth::Xterm256:
          return Xterm256Color(static_cast<uint8_t>(16 + random() % 240));
        case ColorDepth::Eight:
        case ColorDepth::Sixteen:
          break;
      }
      return VgaPalette[random() % 16];
    };
    const TerminalSize size{static_cast<int>(2 + random() % 60),
                            static_cast<int>(1 + random() % 30)};
    GridPlace place;
    place.columns = static_cast<int>(2 + random() % (size.columns - 1));
    place.rows = static_cast<int>(1 + random() % size.rows);
    // Every fourth run fills the terminal to its last cell.
    place.left = run % 4 == 0 ? size.columns - place.columns
                              : static_cast<int>(random() % (size.columns - place.columns + 1));
    place.top = run % 4 == 0 ? size.rows - place.rows
                             : static_cast<int>(random() % (size.rows - place.rows + 1));
    auto encoder = std::make_unique<GridEncoder>(capabilities);
    VtermScreen terminal(size.rows, size.columns, capabilities.backgroundColorErase);
    std::vector<RgbCell> cells(static_cast<size_t>(place.columns * place.rows));
    for (int frame = 0; frame < 12; ++frame) {
      const unsigned changes = frame % 3 == 0 ? 1000 : 1 + random() % 20;
      for (unsigned n = 0; n < changes; ++n) {
        RgbCell& cell = cells[random() % cells.size()];
        cell = {glyphs[random() % std::size(glyphs)], color(), color()};
      }
      terminal.Feed(out.data(), encoder->Encode(cells.data(), place, size, out.data()));
      ASSERT_EQ(ColourGridMismatch(terminal, cells.data(), place, capabilities), "")
          << "run " << run << " (" << Name(capabilities) << ", " << place.columns << "x"
          << place.rows << " at " << place.left << "," << place.top << " in " << size.columns << "x"
          << size.rows << "), frame " << frame;
    }
    EXPECT_EQ(terminal.scrolledLines(), 0) << "run " << run;
    EXPECT_EQ(terminal.lastCellPrints(), 0) << "run " << run;
  }
}

TEST(ScaledThroughTerminal, AFrameCostsItsChanges) {
  std::vector<char> out(GridEncoder::MaxFrameBytes);
  GridEncoder encoder(TerminalCapabilities{ColorDepth::TrueColor});
  const GridPlace place{64, 24, 8, 0};
  std::vector<RgbCell> cells(64 * 24, RgbCell{UpperHalfBlock, {10, 20, 30}, {40, 50, 60}});
  EXPECT_GT(encoder.Encode(cells.data(), place, {80, 24}, out.data()), 0u);
  EXPECT_TRUE(encoder.lastFrame().fullRedraw);
  EXPECT_EQ(encoder.Encode(cells.data(), place, {80, 24}, out.data()), 0u);
  // One cell: a move, one SGR with both colours, the glyph, the update.
  cells[5 * 64 + 7].fg = {255, 255, 255};
  const size_t one = encoder.Encode(cells.data(), place, {80, 24}, out.data());
  EXPECT_EQ(encoder.lastFrame().cellsWritten, 1);
  EXPECT_LE(one, 16u + 8 + 36 + 3 + 10);
  // A row of the same new colours costs one SGR, not one per cell.
  for (int c = 0; c < 64; ++c) cells[9 * 64 + c] = {UpperHalfBlock, {1, 2, 3}, {4, 5, 6}};
  const size_t row = encoder.Encode(cells.data(), place, {80, 24}, out.data());
  EXPECT_LE(row, 16u + 8 + 36 + 64 * 3);
  // The whole grid turning black: erased, not written cell by cell.
  std::fill(cells.begin(), cells.end(), RgbCell{UpperHalfBlock, {0, 0, 0}, {0, 0, 0}});
  EXPECT_LE(encoder.Encode(cells.data(), place, {80, 24}, out.data()), 64u);
  EXPECT_TRUE(encoder.lastFrame().cleared);
  // Without `bce` an erase leaves the terminal's own colour: every cell is
  // written black instead.
  GridEncoder noErase(TerminalCapabilities{ColorDepth::TrueColor, GlyphSet::Unicode, false});
  std::fill(cells.begin(), cells.end(), RgbCell{UpperHalfBlock, {10, 20, 30}, {40, 50, 60}});
  noErase.Encode(cells.data(), place, {80, 24}, out.data());
  std::fill(cells.begin(), cells.end(), RgbCell{UpperHalfBlock, {0, 0, 0}, {0, 0, 0}});
  const std::string bytes(out.data(), noErase.Encode(cells.data(), place, {80, 24}, out.data()));
  EXPECT_FALSE(noErase.lastFrame().cleared);
  EXPECT_EQ(noErase.lastFrame().cellsWritten, 64 * 24);
  EXPECT_EQ(bytes.find("\x1b[2J"), std::string::npos);
}

std::string Text(const VtermScreen& terminal) {
  std::string text;
  for (int row = 0; row < terminal.rows(); ++row) text += terminal.RowText(row) + "\n";
  return text;
}

// One terminal through a run of sizes: each frame shows what its size calls
// for, drawn whole over whatever the last size left.
TEST(ScaledThroughTerminal, TheSizeChoosesGlyphsScaledOrNotice) {
  const auto& frames = test::DefaultShowFrames();
  ASSERT_GT(frames.size(), 1000u);
  std::vector<char> out(TerminalView::MaxFrameBytes);
  using Shown = TerminalView::Shown;
  struct Step {
    TerminalSize size;
    Shown shown;
    const char* notice;
  };
  struct Case {
    FitMode fit;
    TerminalCapabilities capabilities;
    std::vector<Step> steps;
  };
  const TerminalCapabilities trueColor{ColorDepth::TrueColor};
  const Case cases[] = {
      {FitMode::Auto,
       trueColor,
       {{{80, 50}, Shown::Glyphs, nullptr},
        {{80, 24}, Shown::Scaled, nullptr},
        {{39, 30}, Shown::Notice, "cellshow needs 40x12"},
        {{120, 40}, Shown::Scaled, nullptr},
        {{100, 60}, Shown::Glyphs, nullptr},
        {{40, 12}, Shown::Scaled, nullptr},
        {{80, 50}, Shown::Glyphs, nullptr}}},
      // Margins around either view written black at every switch.
      {FitMode::Auto,
       {ColorDepth::Eight, GlyphSet::Unicode, false},
       {{{100, 60}, Shown::Glyphs, nullptr},
        {{80, 24}, Shown::Scaled, nullptr},
        {{90, 50}, Shown::Glyphs, nullptr},
        {{120, 40}, Shown::Scaled, nullptr}}},
      {FitMode::Never,
       trueColor,
       {{{80, 24}, Shown::Notice, "cellshow needs 80x50 - this terminal is 80x24"},
        {{80, 50}, Shown::Glyphs, nullptr}}},
      {FitMode::Always,
       trueColor,
       {{{100, 60}, Shown::Scaled, nullptr},
        {{30, 20}, Shown::Notice, "needs 40x12"},
        {{80, 50}, Shown::Scaled, nullptr}}},
  };
  for (const Case& c : cases) {
    auto view = std::make_unique<TerminalView>(c.capabilities, c.fit);
    VtermScreen terminal(c.steps[0].size.rows, c.steps[0].size.columns,
                         c.capabilities.backgroundColorErase);
    Expected expected;
    size_t frame = 300;  // the plasma: every cell in colour
    for (const Step& step : c.steps) {
      terminal.Resize(step.size.rows, step.size.columns);
      for (int n = 0; n < 3; ++n, ++frame) {
        const ScreenCells& cells = frames[frame]->cells;
        terminal.Feed(out.data(), view->Encode(cells, step.size, out.data()));
        ASSERT_EQ(view->shown(), step.shown) << step.size.columns << "x" << step.size.rows;
        const std::string where = Name(c.capabilities) + ", " + std::to_string(step.size.columns) +
                                  "x" + std::to_string(step.size.rows) + ", frame " +
                                  std::to_string(n);
        if (step.shown == Shown::Glyphs) {
          ASSERT_EQ(test::GridMismatch(terminal, cells, c.capabilities), "") << where;
        } else if (step.shown == Shown::Scaled) {
          expected.Of(cells, step.size, c.capabilities);
          ASSERT_EQ(
              ColourGridMismatch(terminal, expected.cells.data(), expected.place, c.capabilities),
              "")
              << where;
        } else {
          ASSERT_NE(Text(terminal).find(step.notice), std::string::npos) << where << Text(terminal);
        }
      }
    }
  }
}

// With ASCII glyphs (a locale that is not UTF-8) each cell is one pixel, a
// blank in its colour, and every byte is ASCII: on a 256-colour terminal,
// and on GNU screen's 8 colours without background colour erase.
TEST(ScaledThroughTerminal, OnePixelPerCellIsAsciiBlanks) {
  const auto& frames = test::DefaultShowFrames();
  ASSERT_GT(frames.size(), 1000u);
  std::vector<char> out(TerminalView::MaxFrameBytes);
  for (const TerminalCapabilities capabilities :
       {TerminalCapabilities{ColorDepth::Xterm256, GlyphSet::Ascii, true},
        TerminalCapabilities{ColorDepth::Eight, GlyphSet::Ascii, false}}) {
    auto view = std::make_unique<TerminalView>(capabilities, FitMode::Auto);
    VtermScreen terminal(24, 80, capabilities.backgroundColorErase);
    Expected expected;
    for (size_t i = 250; i < 450; ++i) {
      const size_t n = view->Encode(frames[i]->cells, {80, 24}, out.data());
      for (size_t k = 0; k < n; ++k) {
        ASSERT_LT(static_cast<unsigned char>(out[k]), 0x80) << Name(capabilities) << ", " << k;
      }
      terminal.Feed(out.data(), n);
    }
    expected.Of(frames[449]->cells, {80, 24}, capabilities);
    ASSERT_EQ(expected.place, (GridPlace{64, 24, 8, 0}));
    for (int k = 0; k < 64 * 24; ++k) ASSERT_EQ(expected.cells[k].glyph, BlankGlyph);
    EXPECT_EQ(ColourGridMismatch(terminal, expected.cells.data(), expected.place, capabilities), "")
        << Name(capabilities);
  }
}

}  // namespace
}  // namespace cellshow
