// Seeded random frame sequences drawn by damage must leave the emulated
// terminal looking exactly like a full redraw of each frame.
#include <gtest/gtest.h>

#include <algorithm>
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

using test::AppearanceMismatch;
using test::GridMismatch;
using test::VtermScreen;

using test::Frame;

// Changes of the kinds the show makes, and some it does not.
class FrameMaker {
 public:
  explicit FrameMaker(uint32_t seed) : random_(seed) {}

  int Pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

  Cell RandomCell() {
    // Plenty of blanks and full blocks, whose hidden colours are free.
    static const uint16_t common[] = {0, 32, 0xDB, 0xFF, 0xB0, 0xB2, 'o', 2, 7};
    const uint16_t c = Pick(3) == 0 ? common[Pick(9)] : static_cast<uint16_t>(Pick(256));
    return {c, static_cast<uint16_t>(Pick(256))};
  }

  // One step: returns a description of what changed.
  const char* Step(Frame& f) {
    switch (Pick(9)) {
      case 0:
        for (Cell& cell : f.cells) cell = RandomCell();
        return "full change";
      case 1: {
        const int n = 1 + Pick(40);
        for (int i = 0; i < n; ++i) f.cells[Pick(ScreenCellCount)] = RandomCell();
        return "sparse change";
      }
      case 2: {
        const int shift = Pick(256);
        for (int i = 0; i < ScreenCellCount; ++i) {
          f.cells[i].Char = static_cast<uint16_t>((i + shift) & 0xFF);
        }
        return "all 256 glyphs";
      }
      case 3: {
        const int shift = Pick(256);
        for (int i = 0; i < ScreenCellCount; ++i) {
          f.cells[i].Attributes = static_cast<uint16_t>((i * 7 + shift) & 0xFF);
        }
        return "all 256 attributes";
      }
      case 4: {
        // Rows moved sideways, as a scroller does, with a few new cells.
        for (int n = 1 + Pick(20); n > 0; --n) {
          Cell* row = &f.cells[Pick(ScreenHeight) * ScreenWidth];
          const int by = 1 + Pick(6);
          if (Pick(2) == 0) {
            std::rotate(row, row + by, row + ScreenWidth);
          } else {
            std::rotate(row, row + ScreenWidth - by, row + ScreenWidth);
          }
          row[Pick(ScreenWidth)] = RandomCell();
        }
        return "rows shifted";
      }
      case 5: {
        // Colours nobody can see change; nothing else.
        for (Cell& cell : f.cells) {
          const uint8_t c = cell.Char & 0xFF;
          if (c == 0 || c == 32 || c == 0xFF) cell.Attributes ^= Pick(16);
          if (c == 0xDB) cell.Attributes ^= Pick(16) << 4;
          if (c == 0 && Pick(2) == 0) cell.Char = 32;
        }
        return "hidden colours";
      }
      case 6:
        for (Cell& cell : f.cells) cell = {0, 0};
        return "black";
      case 7:
        f.cells[ScreenCellCount - 1] = RandomCell();
        f.cells[ScreenCellCount - 2 - Pick(2)] = RandomCell();
        f.cells[Pick(ScreenHeight) * ScreenWidth + ScreenWidth - 1] = RandomCell();
        return "last cells";
      default:
        return "unchanged";
    }
  }

  TerminalSize Size() {
    static const TerminalSize sizes[] = {{80, 50},  {80, 50}, {80, 50},  {81, 51},
                                         {100, 60}, {80, 57}, {131, 50}, {60, 20}};
    return sizes[Pick(8)];
  }

 private:
  std::mt19937 random_;
};

struct Viewer {
  Viewer(bool trueColor, TerminalSize size)
      : encoder(trueColor), terminal(size.rows, size.columns) {}
  size_t Show(const Frame& f, TerminalSize size, std::vector<char>& out, bool deliver = true) {
    const size_t n = encoder.Encode(f.cells, size, out.data());
    if (deliver) terminal.Feed(out.data(), n);
    return n;
  }
  void Resize(TerminalSize size) { terminal.Resize(size.rows, size.columns); }
  FrameEncoder encoder;
  VtermScreen terminal;
};

class Differential : public ::testing::TestWithParam<bool> {};

TEST_P(Differential, DamageLooksLikeFullRedraw) {
  const bool trueColor = GetParam();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    FrameMaker maker(seed);
    TerminalSize size{80, 50};
    Viewer damage(trueColor, size);
    auto frame = std::make_unique<Frame>();
    size_t damageBytes = 0, fullBytes = 0;
    for (int step = 0; step < 120; ++step) {
      const char* what = maker.Step(*frame);
      if (maker.Pick(12) == 0) {
        size = maker.Size();
        damage.Resize(size);
        what = "resize";
      }
      const size_t damageFrame = damage.Show(*frame, size, out);
      // The reference: a fresh encoder and terminal that see only this frame.
      Viewer full(trueColor, size);
      const size_t fullFrame = full.Show(*frame, size, out);
      damageBytes += damageFrame;
      fullBytes += fullFrame;
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << step << " (" << what
                                        << ") " << size.columns << "x" << size.rows);
      ASSERT_EQ(AppearanceMismatch(damage.terminal, full.terminal), "");
      if (size.columns >= 80 && size.rows >= 50) {
        ASSERT_EQ(GridMismatch(damage.terminal, frame->cells, trueColor), "");
      }
      ASSERT_EQ(damage.terminal.scrolledLines(), 0);
      ASSERT_EQ(damage.terminal.lastCellPrints(), 0);
      ASSERT_EQ(damage.terminal.unknownSequences(), "");
      // Damage never costs more than a redraw (which starts by clearing).
      ASSERT_LE(damageFrame, fullFrame + 4);
    }
    EXPECT_LT(damageBytes, fullBytes) << "seed " << seed;
  }
}

// The comparison has teeth: a frame whose bytes never reach the terminal
// shows up, and Invalidate() mends it.
TEST_P(Differential, DroppedFrameIsCaught) {
  const bool trueColor = GetParam();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  const TerminalSize size{80, 50};
  Viewer damage(trueColor, size);
  auto frame = std::make_unique<Frame>();
  FrameMaker maker(99);
  for (int i = 0; i < 3; ++i) maker.Step(*frame);
  damage.Show(*frame, size, out);

  frame->cells[100] = {'X', 0x1E};  // this frame is lost on the way
  damage.Show(*frame, size, out, /*deliver=*/false);
  frame->cells[2000] = {'Y', 0x2D};
  damage.Show(*frame, size, out);
  Viewer full(trueColor, size);
  full.Show(*frame, size, out);
  EXPECT_NE(AppearanceMismatch(damage.terminal, full.terminal), "");
  EXPECT_NE(GridMismatch(damage.terminal, frame->cells, trueColor), "");

  damage.encoder.Invalidate();
  damage.Show(*frame, size, out);
  EXPECT_EQ(AppearanceMismatch(damage.terminal, full.terminal), "");
  EXPECT_EQ(GridMismatch(damage.terminal, frame->cells, trueColor), "");
}

INSTANTIATE_TEST_SUITE_P(ColourModes, Differential, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "TrueColor" : "Ansi16"; });

}  // namespace
}  // namespace cellshow
