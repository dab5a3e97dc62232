// The encoder on terminals of fewer capabilities: 8 colours, ASCII only, no
// background colour erase. Each is read back through an emulated terminal of
// the same kind (one without colour erase leaves erased cells in its default
// background).
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "render/ansi/ascii_glyphs.h"
#include "render/ansi/console_palette.h"
#include "render/ansi/frame_encoder.h"
#include "support/sgr_codes.h"
#include "support/test_frames.h"
#include "support/vterm_grid.h"
#include "support/vterm_screen.h"

namespace cellshow {
namespace {

using test::GridMismatch;
using test::SgrCodes;
using test::VtermScreen;

using test::AllGlyphsAllAttributes;
using test::Frame;

struct Case {
  const char* name;
  TerminalCapabilities capabilities;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class EncoderCapabilities : public ::testing::TestWithParam<Case> {
 protected:
  // Encodes a frame for a terminal of `size` and feeds it to `terminal`.
  std::string Present(FrameEncoder& encoder, VtermScreen& terminal, const Frame& frame,
                      TerminalSize size) {
    const size_t n = encoder.Encode(frame.cells, size, out_.data());
    std::string bytes(out_.data(), n);
    terminal.Feed(bytes);
    return bytes;
  }

 private:
  std::vector<char> out_ = std::vector<char>(FrameEncoder::MaxFrameBytes);
};

// Whole frames, a mostly blank one (drawn by an erase only with colour
// erase), sparse damage and rows moved sideways, at sizes with and without
// margins: after every frame the terminal shows exactly the grid, on black.
TEST_P(EncoderCapabilities, EveryFrameShowsAsTheGridSays) {
  const TerminalCapabilities caps = GetParam().capabilities;
  for (TerminalSize size : {TerminalSize{80, 50}, TerminalSize{81, 51}, TerminalSize{100, 60}}) {
    SCOPED_TRACE(::testing::Message() << size.columns << "x" << size.rows);
    FrameEncoder encoder(caps);
    VtermScreen terminal(size.rows, size.columns, caps.backgroundColorErase);
    std::string all;
    auto check = [&](const Frame& frame, const char* what) {
      all += Present(encoder, terminal, frame, size);
      ASSERT_EQ(GridMismatch(terminal, frame.cells, caps), "") << what;
      ASSERT_EQ(terminal.scrolledLines(), 0) << what;
      ASSERT_EQ(terminal.lastCellPrints(), 0) << what;
    };
    for (int shift : {0, 1, 128}) check(*AllGlyphsAllAttributes(shift), "every glyph");

    auto frame = std::make_unique<Frame>();
    for (int i = 0; i < ScreenCellCount; ++i) {
      frame->cells[i] = i % 97 == 0 ? Cell{0xDB, 0x0E} : Cell{' ', 0x40};
    }
    check(*frame, "mostly blank");

    std::mt19937 random(11);
    for (int round = 0; round < 30; ++round) {
      for (int i = 0; i < 1 + static_cast<int>(random() % 40); ++i) {
        Cell& cell = frame->cells[random() % ScreenCellCount];
        cell.Char = static_cast<uint16_t>(random() & 0xFF);
        cell.Attributes = static_cast<uint16_t>(random() & 0xFF);
      }
      check(*frame, "sparse damage");
    }

    for (int offset : {0, 2, -1}) {
      for (int row = 0; row < ScreenHeight; ++row) {
        for (int column = 1; column < ScreenWidth - 1; ++column) {
          const int k = column + offset + row + 8;
          frame->cells[row * ScreenWidth + column] = {static_cast<uint16_t>(0xB0 + k % 5),
                                                      static_cast<uint16_t>(k / 3 % 16 << 4 | 9)};
        }
      }
      check(*frame, "rows moved sideways");
    }

    // What the bytes may contain on this terminal.
    if (caps.glyphs == GlyphSet::Ascii) {
      for (char c : all) ASSERT_LT(static_cast<unsigned char>(c), 0x80);
    }
    for (int code : SgrCodes(all)) {
      if (caps.colors == ColorDepth::Eight) {
        ASSERT_TRUE(code <= 1 || code == 22 || (code >= 30 && code <= 37) ||
                    (code >= 40 && code <= 47))
            << code;
      } else if (caps.colors == ColorDepth::Sixteen) {
        ASSERT_TRUE(code != 1 && code / 10 != 38 && code / 10 != 48 && code != 38 && code != 48)
            << code;
      }
    }
  }
}

// Without colour erase, the redraw after a terminal grows writes the new
// margins; a notice in between changes nothing of that.
TEST_P(EncoderCapabilities, MarginsStayBlackThroughResizes) {
  const TerminalCapabilities caps = GetParam().capabilities;
  FrameEncoder encoder(caps);
  VtermScreen terminal(50, 80, caps.backgroundColorErase);
  auto frame = AllGlyphsAllAttributes(5);
  for (TerminalSize size : {TerminalSize{80, 50}, TerminalSize{90, 50}, TerminalSize{80, 20},
                            TerminalSize{85, 57}, TerminalSize{120, 51}}) {
    SCOPED_TRACE(::testing::Message() << size.columns << "x" << size.rows);
    terminal.Resize(size.rows, size.columns);
    Present(encoder, terminal, *frame, size);
    if (size.rows >= ScreenHeight) {
      EXPECT_EQ(GridMismatch(terminal, frame->cells, caps), "");
    }
    EXPECT_EQ(terminal.scrolledLines(), 0);
    EXPECT_EQ(terminal.lastCellPrints(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Terminals, EncoderCapabilities,
    ::testing::Values(Case{"EightColours", {ColorDepth::Eight, GlyphSet::Unicode, true}},
                      Case{"SixteenNoColourErase", {ColorDepth::Sixteen, GlyphSet::Unicode, false}},
                      Case{"EightAsciiNoColourErase", {ColorDepth::Eight, GlyphSet::Ascii, false}},
                      Case{"TrueColourAscii", {ColorDepth::TrueColor, GlyphSet::Ascii, true}},
                      Case{"TrueColourNoColourErase",
                           {ColorDepth::TrueColor, GlyphSet::Unicode, false}}),
    [](const auto& info) { return std::string(info.param.name); });

// The emulated terminal without colour erase tells the difference: a frame
// drawn for a terminal with it leaves default backgrounds there.
TEST(EncoderCapabilities, ColourErasesShowOnATerminalWithoutIt) {
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = AllGlyphsAllAttributes(0);
  FrameEncoder encoder(false);
  VtermScreen terminal(60, 100, /*backgroundColorErase=*/false);
  terminal.Feed(out.data(), encoder.Encode(frame->cells, {100, 60}, out.data()));
  EXPECT_EQ(test::Describe(terminal.At(0, 0).bg), "default");
  EXPECT_EQ(test::Describe(terminal.At(59, 99).bg), "default");
  EXPECT_NE(GridMismatch(terminal, frame->cells, false), "");
  // Split anywhere, the bytes still read the same.
  VtermScreen halves(60, 100, false);
  FrameEncoder again(TerminalCapabilities{ColorDepth::Sixteen, GlyphSet::Unicode, false});
  const size_t n = again.Encode(frame->cells, {100, 60}, out.data());
  for (size_t at = 0; at < n; at += 997)
    halves.Feed(out.data() + at, std::min<size_t>(997, n - at));
  EXPECT_EQ(GridMismatch(halves, frame->cells, again.capabilities()), "");
}

// The margins of the largest terminal that gets them written fit the buffer
// with the dearest grid there is.
TEST(EncoderCapabilities, FilledMarginsFitTheBuffer) {
  constexpr size_t Guard = 256;
  std::vector<char> out(FrameEncoder::MaxFrameBytes + Guard, '\x5A');
  auto a = std::make_unique<Frame>(), b = std::make_unique<Frame>();
  test::DearestFrames(*a, *b);
  const TerminalCapabilities caps{ColorDepth::TrueColor, GlyphSet::Unicode, false};
  for (TerminalSize size : {TerminalSize{512, 512}, TerminalSize{80, 3276}, TerminalSize{3276, 80},
                            TerminalSize{65535, 65535}}) {
    FrameEncoder encoder(caps);
    for (int round = 0; round < 4; ++round) {
      encoder.Invalidate();
      EXPECT_LE(encoder.Encode((round % 2 ? b : a)->cells, size, out.data()),
                FrameEncoder::MaxFrameBytes);
    }
  }
  for (size_t i = FrameEncoder::MaxFrameBytes; i < out.size(); ++i) ASSERT_EQ(out[i], '\x5A');
}

// A bright background on 8 colours: no normal colour is nearer in the
// palette, and of equally near ones its own normal colour is taken.
TEST(EightColours, BackgroundsTakeTheNearestNormalColour) {
  auto distance = [](int a, int b) {
    const Rgb x = VgaPalette[a], y = VgaPalette[b];
    return (x.r - y.r) * (x.r - y.r) + (x.g - y.g) * (x.g - y.g) + (x.b - y.b) * (x.b - y.b);
  };
  for (int c = 0; c < 16; ++c) {
    const int chosen = NearestNormalColor(c);
    ASSERT_GE(chosen, 0);
    ASSERT_LT(chosen, 8);
    for (int normal = 0; normal < 8; ++normal) {
      EXPECT_GE(distance(c, normal), distance(c, chosen)) << c << " is nearer " << normal;
    }
    if (distance(c, c & 7) == distance(c, chosen)) {
      EXPECT_EQ(chosen, c & 7) << c;
    }
  }
}

TEST(AsciiStandIns, LookLikeTheGlyphs) {
  const struct {
    int byte;
    char ascii;
  } cases[] = {
      {0xB0, '.'}, {0xB1, ':'}, {0xB2, '#'},                            // shades by density
      {0x01, 'o'}, {0x02, '@'}, {0x07, '*'}, {0x09, 'o'}, {0x0A, '@'},  // faces, bullets
      {0x10, '>'}, {0x1B, '<'}, {0x18, '^'}, {0x19, 'v'},               // arrows
      {0xB3, '|'}, {0xC4, '-'}, {0xC5, '+'}, {0xCD, '='},               // box lines
      {0x82, 'e'}, {0x99, 'O'}, {'A', 'A'},  {'~', '~'},  {0x00, ' '}, {0xFF, ' '},
  };
  for (const auto& c : cases) EXPECT_EQ(AsciiStandIns[c.byte], c.ascii) << c.byte;
}

}  // namespace
}  // namespace cellshow
