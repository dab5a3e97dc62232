// Terminals of every size: the grid centred on black when there is room, a
// notice of the size needed when there is not, and never a scroll.
#include <gtest/gtest.h>

#include <memory>
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

using test::Frame;

std::unique_ptr<Frame> Pattern() {
  auto f = std::make_unique<Frame>();
  for (int i = 0; i < ScreenCellCount; ++i) {
    f->cells[i] = {static_cast<uint16_t>(i % 251), static_cast<uint16_t>(i % 253)};
  }
  return f;
}

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The notice's lines, top to bottom, joined by single spaces.
std::string NoticeText(const VtermScreen& terminal) {
  std::string text;
  for (int row = 0; row < terminal.rows(); ++row) {
    const std::string line = Trim(terminal.RowText(row));
    if (line.empty()) continue;
    if (!text.empty()) text += ' ';
    text += line;
  }
  return text;
}

TEST(EncoderSizes, SmallTerminalsGetANotice) {
  const struct {
    TerminalSize size;
    const char* text;  // what the notice reads, line by line joined by spaces
  } cases[] = {
      {{80, 24}, "cellshow needs 80x50 - this terminal is 80x24 (or try cellshow --window)"},
      {{79, 50}, "cellshow needs 80x50 - this terminal is 79x50 (or try cellshow --window)"},
      {{80, 49}, "cellshow needs 80x50 - this terminal is 80x49 (or try cellshow --window)"},
      {{200, 20}, "cellshow needs 80x50 - this terminal is 200x20 (or try cellshow --window)"},
      {{30, 10}, "cellshow needs 80x50 - this terminal is 30x10 (or try cellshow --window)"},
      {{12, 5}, "cellshow needs 80x50 - this terminal is 12x5"},  // five lines of 11, no hint
      {{12, 4}, "needs 80x50, is 12x4"},                          // the long text needs more rows
      {{20, 2}, "needs 80x50, is 20x2"},
      {{8, 2}, "needs 80x50,"},  // cut to the rows there are
      {{4, 1}, "nee"},
      {{2, 3}, "n e e"},
      {{1, 4}, "n e e"},  // one column: the last row is left alone
      {{1, 1}, ""},
  };
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = Pattern();
  for (const auto& c : cases) {
    for (bool trueColor : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.size.columns << "x" << c.size.rows);
      FrameEncoder encoder(trueColor);
      VtermScreen terminal(c.size.rows, c.size.columns);
      size_t n = encoder.Encode(frame->cells, c.size, out.data());
      terminal.Feed(out.data(), n);
      EXPECT_TRUE(encoder.lastFrame().notice);
      EXPECT_EQ(NoticeText(terminal), c.text);
      EXPECT_EQ(terminal.scrolledLines(), 0);
      EXPECT_EQ(terminal.lastCellPrints(), 0);
      for (int row = 0; row < terminal.rows() && c.size.columns > 1; ++row) {
        EXPECT_EQ(terminal.At(row, c.size.columns - 1).glyph, U' ') << "last column, row " << row;
      }
      // Up once, the notice costs nothing more while the size stays.
      frame->cells[5].Char ^= 1;
      EXPECT_EQ(encoder.Encode(frame->cells, c.size, out.data()), 0u);
    }
  }
}

TEST(EncoderSizes, NoticeIsCentred) {
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = Pattern();
  FrameEncoder encoder(false);
  VtermScreen terminal(24, 80);
  terminal.Feed(out.data(), encoder.Encode(frame->cells, {80, 24}, out.data()));
  const std::string text =
      "cellshow needs 80x50 - this terminal is 80x24 (or try cellshow --window)";
  const std::string row = terminal.RowText(11);  // one line in the middle of 24
  EXPECT_EQ(row.find(text), (79 - text.size()) / 2) << row;
  EXPECT_EQ(test::Describe(terminal.At(11, 20).bg), "default");  // the terminal's own colours
}

// Larger terminals show the grid in the middle, on black; resizing either
// way redraws, and the grid comes back as soon as it fits.
TEST(EncoderSizes, GridFollowsTheTerminalSize) {
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = Pattern();
  for (bool trueColor : {false, true}) {
    FrameEncoder encoder(trueColor);
    VtermScreen terminal(50, 80);
    const TerminalSize sizes[] = {{80, 50}, {82, 52},  {80, 24}, {81, 50},
                                  {40, 60}, {200, 61}, {80, 50}, {79, 49}};
    for (const TerminalSize size : sizes) {
      SCOPED_TRACE(::testing::Message() << size.columns << "x" << size.rows);
      terminal.Resize(size.rows, size.columns);
      terminal.Feed(out.data(), encoder.Encode(frame->cells, size, out.data()));
      EXPECT_TRUE(encoder.lastFrame().fullRedraw);
      if (size.columns >= 80 && size.rows >= 50) {
        EXPECT_FALSE(encoder.lastFrame().notice);
        EXPECT_EQ(GridMismatch(terminal, frame->cells, trueColor), "");
      } else {
        EXPECT_TRUE(encoder.lastFrame().notice);
        EXPECT_NE(NoticeText(terminal).find("80x50"), std::string::npos);
      }
      EXPECT_EQ(terminal.scrolledLines(), 0);
      EXPECT_EQ(terminal.lastCellPrints(), 0);
    }
  }
}

TEST(EncoderSizes, GridIsCentred) {
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = std::make_unique<Frame>();
  frame->cells[0] = {'A', 0x1F};
  frame->cells[ScreenCellCount - 1] = {'Z', 0x2E};
  FrameEncoder encoder(false);
  VtermScreen terminal(55, 85);  // two rows and columns to spare before, three after
  terminal.Feed(out.data(), encoder.Encode(frame->cells, {85, 55}, out.data()));
  EXPECT_EQ(terminal.At(2, 2).glyph, U'A');
  EXPECT_EQ(terminal.At(51, 81).glyph, U'Z');
  EXPECT_EQ(test::Describe(terminal.At(0, 0).bg), "index 0");
  EXPECT_EQ(test::Describe(terminal.At(54, 84).bg), "index 0");
}

TEST(EncoderSizes, NoCellsNoBytes) {
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = Pattern();
  FrameEncoder encoder(false);
  for (TerminalSize size : {TerminalSize{0, 0}, TerminalSize{80, 0}, TerminalSize{-3, 50}}) {
    EXPECT_EQ(encoder.Encode(frame->cells, size, out.data()), 0u);
  }
  EXPECT_TRUE(encoder.Encode(frame->cells, {80, 50}, out.data()) > 0);
  EXPECT_TRUE(encoder.lastFrame().fullRedraw);
}

// The dearest frames there are stay inside the buffer, including the bytes
// the fixed-size copies write past the end of the frame.
TEST(EncoderSizes, WorstFramesFitTheBuffer) {
  constexpr size_t Guard = 256;
  std::vector<char> out(FrameEncoder::MaxFrameBytes + Guard, '\x5A');
  auto a = std::make_unique<Frame>(), b = std::make_unique<Frame>();
  test::DearestFrames(*a, *b);
  for (TerminalSize size :
       {TerminalSize{80, 50}, TerminalSize{65535, 65535}, TerminalSize{100000, 70000}}) {
    FrameEncoder encoder(true);
    for (int round = 0; round < 4; ++round) {
      const size_t n = encoder.Encode((round % 2 ? b : a)->cells, size, out.data());
      EXPECT_LE(n, FrameEncoder::MaxFrameBytes);
    }
  }
  for (size_t i = FrameEncoder::MaxFrameBytes; i < out.size(); ++i) ASSERT_EQ(out[i], '\x5A');
}

}  // namespace
}  // namespace cellshow
