// The encoder's bytes read back through an emulated terminal.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/ansi/frame_encoder.h"
#include "support/test_frames.h"
#include "support/vterm_grid.h"
#include "support/vterm_screen.h"

namespace cellshow {
namespace {

using test::GridMismatch;
using test::VtermScreen;

using test::AllGlyphsAllAttributes;
using test::Frame;

class Harness {
 public:
  Harness(bool trueColor, TerminalSize size)
      : encoder(trueColor),
        terminal(size.rows, size.columns),
        size_(size),
        out_(FrameEncoder::MaxFrameBytes) {}

  std::string Present(const ScreenCells& screen) {
    const size_t n = encoder.Encode(screen, size_, out_.data());
    std::string bytes(out_.data(), n);
    terminal.Feed(bytes);
    return bytes;
  }

  FrameEncoder encoder;
  VtermScreen terminal;

 private:
  TerminalSize size_;
  std::vector<char> out_;
};

// The emulator itself notices what the tests rely on it to notice.
TEST(VtermScreen, SeesScrollsLastCellPrintsAndColours) {
  VtermScreen terminal(3, 4);
  terminal.Feed("\x1b[3;4HX");
  EXPECT_EQ(terminal.lastCellPrints(), 1);
  EXPECT_EQ(terminal.scrolledLines(), 0);
  terminal.Feed("Y");
  EXPECT_EQ(terminal.scrolledLines(), 1);
  terminal.Feed("\x1b[H\x1b[94;41m\xe2\x96\x88\x1b[38;2;1;2;3m!");
  EXPECT_EQ(terminal.At(0, 0).glyph, U'\u2588');
  EXPECT_EQ(test::Describe(terminal.At(0, 0).fg), "index 12");
  EXPECT_EQ(test::Describe(terminal.At(0, 0).bg), "index 1");
  EXPECT_EQ(test::Describe(terminal.At(0, 1).fg), "rgb 1,2,3");
  EXPECT_EQ(terminal.RowText(0), "\u2588!  ");
}

class EncoderThroughTerminal : public ::testing::TestWithParam<bool> {};

TEST_P(EncoderThroughTerminal, EveryGlyphAndAttributeShowsAsTheGridSays) {
  const bool trueColor = GetParam();
  for (TerminalSize size : {TerminalSize{80, 50}, TerminalSize{81, 51}, TerminalSize{123, 67}}) {
    Harness h(trueColor, size);
    for (int shift : {0, 1, 128, 77}) {
      auto frame = AllGlyphsAllAttributes(shift);
      const std::string bytes = h.Present(frame->cells);
      ASSERT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "")
          << size.columns << "x" << size.rows << " shift " << shift;
      EXPECT_EQ(h.terminal.scrolledLines(), 0);
      EXPECT_EQ(h.terminal.lastCellPrints(), 0);
      EXPECT_EQ(h.terminal.unknownSequences(), "");
      EXPECT_EQ(bytes.rfind("\x1b[?2026h", 0), 0u);
      EXPECT_TRUE(bytes.ends_with("\x1b[?2026l"));
    }
  }
}

TEST_P(EncoderThroughTerminal, UnchangedFrameSendsNothing) {
  Harness h(GetParam(), {80, 50});
  auto frame = AllGlyphsAllAttributes(3);
  EXPECT_GT(h.Present(frame->cells).size(), 0u);
  EXPECT_EQ(h.Present(frame->cells), "");
  // Colours that cannot be seen are not sent either.
  frame->cells[0] = {32, 0x4F};
  frame->cells[1] = {0xDB, 0x0C};
  h.Present(frame->cells);
  frame->cells[0].Attributes = 0x41;  // a blank's foreground
  frame->cells[1].Attributes = 0x7C;  // a full block's background
  frame->cells[2 * 80].Char = 0;      // character 0 shows as the blank it replaces
  frame->cells[2 * 80 + 1] = {0, 0x40};
  frame->cells[2 * 80 + 2] = {32, 0x40};
  h.Present(frame->cells);
  frame->cells[2 * 80 + 1].Char = 32;
  frame->cells[2 * 80 + 2].Char = 0;
  EXPECT_EQ(h.Present(frame->cells), "");
}

TEST_P(EncoderThroughTerminal, InvalidateRedrawsWhatWasDisturbed) {
  const bool trueColor = GetParam();
  for (TerminalSize size : {TerminalSize{80, 50}, TerminalSize{90, 52}}) {
    Harness h(trueColor, size);
    auto frame = AllGlyphsAllAttributes(9);
    h.Present(frame->cells);
    // Another program ran: it left text, bold red, insert mode, no autowrap
    // and a scrolling region behind.
    h.terminal.Feed("\x1b[0m\x1b[2J\x1b[5;5Hnoise\x1b[1;31mred\x1b[4h\x1b[?7l\x1b[10;20r");
    h.encoder.Invalidate();
    h.Present(frame->cells);
    EXPECT_TRUE(h.encoder.lastFrame().fullRedraw);
    EXPECT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
    // The frames after it are drawn by damage on the mended terminal.
    for (int i = 0; i < ScreenCellCount; i += 7) frame->cells[i].Char ^= 0x41;
    h.Present(frame->cells);
    EXPECT_FALSE(h.encoder.lastFrame().fullRedraw);
    EXPECT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
  }
}

// The last cell of the terminal is filled without ever printing in it.
TEST_P(EncoderThroughTerminal, LastCellNeverPrintedInPlace) {
  const bool trueColor = GetParam();
  Harness h(trueColor, {80, 50});
  auto frame = std::make_unique<Frame>();
  h.Present(frame->cells);
  const std::pair<Cell, Cell> cases[] = {
      {{'A', 0x1E}, {'B', 0x2D}}, {{0xDB, 0x0F}, {0xB0, 0x41}}, {{0, 0}, {'z', 0x70}},
      {{0x01, 0xF0}, {0, 0}},     {{'q', 0x07}, {'q', 0x07}},
  };
  for (const auto& [last, beforeLast] : cases) {
    frame->cells[ScreenCellCount - 1] = last;
    frame->cells[ScreenCellCount - 2] = beforeLast;
    h.Present(frame->cells);
    ASSERT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
    EXPECT_EQ(h.terminal.scrolledLines(), 0);
    EXPECT_EQ(h.terminal.lastCellPrints(), 0);
  }
}

TEST_P(EncoderThroughTerminal, SparseChangesCostLittle) {
  const bool trueColor = GetParam();
  Harness h(trueColor, {80, 50});
  auto frame = AllGlyphsAllAttributes(5);
  h.Present(frame->cells);
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) {
      Cell& cell = frame->cells[random() % ScreenCellCount];
      cell.Char = static_cast<uint16_t>('a' + random() % 26);
      cell.Attributes = static_cast<uint16_t>(random() & 0xFF);
    }
    const std::string bytes = h.Present(frame->cells);
    ASSERT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
    // Per changed cell: a move (at most 8 bytes), a colour change, a glyph.
    const size_t perCell = 8 + (trueColor ? 36 : 11) + 1;
    EXPECT_LE(bytes.size(), 16 + changes * perCell);
    EXPECT_LE(h.encoder.lastFrame().cellsWritten, changes * 13);
  }
}

// A scroller: the middle of every row moves sideways, its first and last
// cells stay. Shifted rows must keep their edges right, and cost little.
TEST_P(EncoderThroughTerminal, RowsMovedSidewaysAreShifted) {
  const bool trueColor = GetParam();
  for (TerminalSize size : {TerminalSize{80, 50}, TerminalSize{82, 50}}) {
    for (int by : {1, 3, -2, -4}) {
      SCOPED_TRACE(::testing::Message() << size.columns << " columns, moved by " << by);
      Harness h(trueColor, size);
      auto frame = std::make_unique<Frame>();
      auto scroller = [&](int offset) {
        for (int row = 0; row < ScreenHeight; ++row) {
          for (int column = 0; column < ScreenWidth; ++column) {
            const int k = column + offset + row;
            frame->cells[row * ScreenWidth + column] = {static_cast<uint16_t>('a' + k % 23),
                                                        static_cast<uint16_t>(k / 5 % 7 + 0x10)};
          }
          frame->cells[row * ScreenWidth] = {'[', 0x1F};
          frame->cells[row * ScreenWidth + ScreenWidth - 1] = {']', 0x1F};
        }
      };
      scroller(0);
      h.Present(frame->cells);
      scroller(by);
      const std::string bytes = h.Present(frame->cells);
      ASSERT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
      EXPECT_EQ(h.terminal.lastCellPrints(), 0);
      // Per row: a move, the shift, the edges and the cells moved in.
      if (size.columns == ScreenWidth) {
        EXPECT_LT(bytes.size(), 50u * (trueColor ? 80 : 40));
      }
    }
  }
}

// A frame that turns mostly blank erases the screen in that colour first;
// a terminal with margins is only ever erased in black.
TEST_P(EncoderThroughTerminal, MostlyBlankFramesEraseFirst) {
  const bool trueColor = GetParam();
  const struct {
    TerminalSize size;
    uint16_t blank;  // the attribute of most of the new frame
    bool erased;
  } cases[] = {
      {{80, 50}, 0x00, true}, {{80, 50}, 0x40, true},  {{80, 50}, 0x1F, true},
      {{90, 55}, 0x00, true}, {{90, 55}, 0x40, false}, {{80, 51}, 0x20, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.size.columns << "x" << c.size.rows << " blank " << c.blank);
    Harness h(trueColor, c.size);
    auto frame = AllGlyphsAllAttributes(1);
    h.Present(frame->cells);
    for (int i = 0; i < ScreenCellCount; ++i) {
      frame->cells[i] =
          i % 97 == 0 ? Cell{'*', 0x0E} : Cell{static_cast<uint16_t>(i % 2 ? 0 : 32), c.blank};
    }
    h.Present(frame->cells);
    EXPECT_EQ(h.encoder.lastFrame().cleared, c.erased);
    ASSERT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
    EXPECT_EQ(h.terminal.lastCellPrints(), 0);
    // The next frame is drawn by damage from what the erase left.
    frame->cells[123] = {'#', 0x5A};
    EXPECT_LT(h.Present(frame->cells).size(), 64u);
    ASSERT_EQ(GridMismatch(h.terminal, frame->cells, trueColor), "");
  }
}

INSTANTIATE_TEST_SUITE_P(ColourModes, EncoderThroughTerminal, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "TrueColor" : "Ansi16"; });

}  // namespace
}  // namespace cellshow
