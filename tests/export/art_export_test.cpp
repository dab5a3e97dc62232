// --export FILE.ans|.bin|.xb --at SECONDS through the program, read back with
// the art reader (which its own tests hold to hand-made files).
#include <gtest/gtest.h>

#include <string>

#include "export/export_checks.h"
#include "render/art/ansi_art.h"
#include "render/art/sauce.h"
#include "support/shell_run.h"
#include "support/show_recording.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

// Guards against a picture that is not the show's screen at that moment, a
// SAUCE record without the size, iCE colours and font, and a missing --at.
TEST(ArtExport, EachFormatHoldsTheScreenAtItsMoment) {
  const test::TempDir dir;
  const std::vector<Record> records = test::RecordDefaultShow();
  // 64.158, the show's length, is its last frame.
  for (const char* at : {"6", "42.5", "64.158"}) {
    ScreenCells expected;
    ASSERT_TRUE(FrameAt(records, static_cast<uint32_t>(std::stod(at) * 1000 / 17), expected));
    for (const char* extension : {"ans", "bin", "xb"}) {
      SCOPED_TRACE(std::string(extension) + " at " + at);
      const std::string file = (dir.path() / ("shot." + std::string(extension))).string();
      const test::ShellRun run = test::RunShell(test::ShellQuote(CELLSHOW_BINARY) + " --data " +
                                                test::ShellQuote(test::DataDir()) + " --export " +
                                                test::ShellQuote(file) + " --at " + at);
      ASSERT_EQ(run.status, 0) << run.err;
      const std::vector<uint8_t> bytes = test::ReadBytes(file);
      const sauce::Record record = sauce::Read(bytes.data(), bytes.size());
      EXPECT_TRUE(record.present);
      EXPECT_EQ(record.fontName, "IBM VGA50");
      EXPECT_EQ(record.flags & sauce::IceColours, sauce::IceColours);
      EXPECT_EQ(record.title.rfind("cellshow at ", 0), 0u) << record.title;
      ArtImage art;
      const ArtFormat format = ArtFormatOf(bytes.data(), bytes.size(), ArtFormat::Ansi);
      ASSERT_EQ(ReadArt(bytes.data(), bytes.size(), format, art), "");
      ASSERT_EQ(art.width, 80);
      ASSERT_EQ(art.height, 50);
      for (int i = 0; i < ScreenCellCount; ++i) {
        const int ch = expected[i].Char & 0xFF;
        // .ans cannot hold the five control bytes as glyphs.
        if (format != ArtFormat::Ansi ||
            (ch != 9 && ch != 10 && ch != 13 && ch != 26 && ch != 27)) {
          ASSERT_EQ(art.cells[i].Char, ch) << i;
        }
        ASSERT_EQ(art.cells[i].Attributes, expected[i].Attributes & 0xFF) << i;
      }
    }
  }
  // Like .png, each needs --at.
  const test::ShellRun run = test::RunShell(test::ShellQuote(CELLSHOW_BINARY) + " --export " +
                                            test::ShellQuote((dir.path() / "x.xb").string()));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("needs --at SECONDS"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace cellshow
