// The encoder's exact output: the bytes of single cursor moves, and the byte
// total and digest of the whole default show, pinned so that any change in
// what the encoder writes shows up here with its size.
//
// The pinned figures live in tests/render/golden/default_show.txt. Regenerate
// them only when a change is meant to alter the encoder's bytes:
//   CELLSHOW_UPDATE_GOLDEN=1 build/tests/test_render --gtest_filter='EncoderBytes.*'
// and give the byte delta in the commit message.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/recording.h"
#include "render/ansi/frame_encoder.h"
#include "support/show_recording.h"
#include "support/test_frames.h"

namespace cellshow {
namespace {

constexpr char SyncBegin[] = "\x1b[?2026h";
constexpr char SyncEnd[] = "\x1b[?2026l";

using test::Frame;

// A blank frame is drawn in full; frame 1 writes an 'X' at `from`, so the
// cursor stands just after it; frame 2 writes a 'Y' at `to`, and is made of
// the move there and the 'Y' alone.
TEST(EncoderBytes, EachCursorMoveTakesItsCheapestForm) {
  const struct {
    int fromRow, fromColumn, toRow, toColumn;
    const char* move;
  } cases[] = {
      {0, 0, 0, 2, " "},              // writing a blank through beats CUF
      {0, 0, 0, 4, "   "},            // three cells through (3) beat CUF 3 (4)
      {0, 0, 0, 5, "\x1b[4C"},        // four cells through cost as much as CUF 4
      {0, 0, 0, 40, "\x1b[39C"},      // 39 cells: too many to write through
      {0, 0, 1, 1, "\x1b[B"},         // straight down
      {20, 3, 21, 3, "\r\n   "},      // CR LF and three through (5) against CUD CUB (6)
      {0, 0, 2, 0, "\r\n\n"},         // a carriage return and two line feeds
      {0, 0, 3, 0, "\x1b[4H"},        // CUP (4) against CR LF LF LF (4): CUP
      {0, 0, 20, 1, "\x1b[20B"},      // CUD 20 (5) against CUP 21;2 (7)
      {0, 0, 49, 70, "\x1b[50;71H"},  // CUP (8) against CUD 48 and CUF 69 (10)
      {40, 10, 38, 11, "\x1b[2A"},    // straight up
      {40, 10, 5, 30, "\x1b[6;31H"},  // CUP (7) against CUU 35 and CUF 19 (10)
      {30, 70, 30, 5, "\x1b[6G"},     // back on the row: CHA (4) against CUB 66 (5)
      {30, 70, 30, 2, "\r  "},        // a carriage return and two cells through
      {10, 79, 11, 0, ""},            // printing in the last column has wrapped
      {10, 79, 11, 3, "   "},         // ... and printing on reaches column 3
      {10, 79, 12, 0, "\x1b[13H"},    // after a wrap only an absolute move is safe
  };
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "(" << c.fromRow << "," << c.fromColumn << ") to ("
                                      << c.toRow << "," << c.toColumn << ")");
    FrameEncoder encoder(false);
    auto frame = std::make_unique<Frame>();
    encoder.Encode(frame->cells, TerminalSize{}, out.data());
    frame->cells[c.fromRow * ScreenWidth + c.fromColumn] = Cell{'X', 0x07};
    encoder.Encode(frame->cells, TerminalSize{}, out.data());
    frame->cells[c.toRow * ScreenWidth + c.toColumn] = Cell{'Y', 0x07};
    const size_t n = encoder.Encode(frame->cells, TerminalSize{}, out.data());
    EXPECT_EQ(std::string(out.data(), n), std::string(SyncBegin) + c.move + "Y" + SyncEnd);
  }
}

struct Totals {
  uint64_t bytes = 0;
  uint64_t digest = 0xcbf29ce484222325ull;  // FNV-1a over every byte in order
};

Totals EncodeAll(const std::vector<Record>& records, bool trueColor) {
  FrameEncoder encoder(trueColor);
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  auto frame = std::make_unique<Frame>();
  Totals totals;
  for (const Record& r : records) {
    if (r.kind != PresentRecord) continue;
    CellsOf(r, frame->cells);
    const size_t n = encoder.Encode(frame->cells, TerminalSize{}, out.data());
    totals.bytes += n;
    for (size_t i = 0; i < n; ++i)
      totals.digest = (totals.digest ^ static_cast<uint8_t>(out[i])) * 0x100000001b3ull;
  }
  return totals;
}

std::string Describe(const char* mode, const Totals& totals) {
  char line[96];
  std::snprintf(line, sizeof line, "%s %llu %016llx\n", mode,
                static_cast<unsigned long long>(totals.bytes),
                static_cast<unsigned long long>(totals.digest));
  return line;
}

// The default show's frames, recorded from the program, encoded for an
// 80x50 terminal in both colour modes.
TEST(EncoderBytes, TheDefaultShowEncodesToThePinnedBytes) {
  const std::vector<Record> records = test::RecordDefaultShow();
  ASSERT_FALSE(records.empty()) << "cannot play the default show headless";

  const std::string actual =
      Describe("16", EncodeAll(records, false)) + Describe("truecolor", EncodeAll(records, true));
  const std::string path =
      std::string(CELLSHOW_SOURCE_DIR) + "/tests/render/golden/default_show.txt";
  if (std::getenv("CELLSHOW_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path) << actual;
    GTEST_SKIP() << "rewrote " << path;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << "no pinned figures at " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "mode, byte total, digest";
}

}  // namespace
}  // namespace cellshow
