// The headless recorder: the recording format, the virtual clock and the key.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/headless/headless_platform.h"
#include "platform/headless/recording.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::TempDir;

TEST(Recording, WriterAndReaderAgreeAndTruncationIsReported) {
  TempDir dir;
  const std::string path = (dir.path() / "r.bin").string();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  RecordingWriter writer(out);
  ScreenCells screen{};
  for (int k = 0; k < ScreenCellCount; ++k)
    screen[k] = {static_cast<uint16_t>(k & 255), static_cast<uint16_t>(k % 7)};
  writer.WritePresent(12, screen);
  writer.WriteMedia(13, "play data\\03.mp3");
  writer.WriteMedia(4000000000u, "");
  ASSERT_EQ(std::fclose(out), 0);
  EXPECT_FALSE(writer.failed());

  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  ASSERT_EQ(bytes.size(), 8u + 8000 + 12 + 16 + 12);
  // Little-endian tick and kind, then the cells character first.
  EXPECT_EQ(bytes[0], 12);
  EXPECT_EQ(bytes[4], 1);
  EXPECT_EQ(bytes[8 + 2 * 300], 300 & 255);
  EXPECT_EQ(bytes[9 + 2 * 300], 300 % 7);
  std::vector<Record> records;
  std::string error;
  ASSERT_TRUE(ParseRecording(bytes, records, error)) << error;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].cells[2 * 4001 % 8000], 4001 % 4000 & 255);
  EXPECT_EQ(records[1].tick, 13u);
  EXPECT_EQ(records[1].command, "play data\\03.mp3");
  EXPECT_EQ(records[2].tick, 4000000000u);
  EXPECT_EQ(records[2].command, "");

  for (size_t cut : {size_t{3}, size_t{8 + 7999}, bytes.size() - 1}) {
    std::vector<Record> partial;
    EXPECT_FALSE(
        ParseRecording(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), partial, error))
        << cut;
  }
  std::vector<uint8_t> unknown = bytes;
  unknown[4] = 3;
  EXPECT_FALSE(ParseRecording(unknown, records, error));
  EXPECT_NE(error.find("unknown record kind 3"), std::string::npos);
}

struct BinaryRun {
  TempDir dir;
  int status = -1;
  std::vector<Record> records;
  std::string stderrText;
  explicit BinaryRun(const std::string& arguments) {
    const auto rec = dir.path() / "r.bin";
    const auto err = dir.path() / "err.txt";
    status = test::RunCommand("cd '" + dir.path().string() + "' && " + CELLSHOW_BINARY + " " +
                              arguments + " >/dev/null 2>'" + err.string() + "'");
    const auto e = test::ReadBytes(err);
    stderrText.assign(e.begin(), e.end());
    std::string error;
    ReadRecordingFile(rec.string(), records, error);
  }
};

TEST(HeadlessBinary, KeyAfterTicksEndsWithABlackFrameAndCloseAll) {
  for (uint32_t n : {0u, 5u, 1296u}) {
    BinaryRun run("--data . --record r.bin --key-after " + std::to_string(n));
    EXPECT_EQ(run.status, 0) << run.stderrText;
    ASSERT_GE(run.records.size(), 2u);
    const Record& black = run.records[run.records.size() - 2];
    EXPECT_EQ(black.tick, n);
    EXPECT_EQ(black.kind, PresentRecord);
    for (uint8_t b : black.cells) ASSERT_EQ(b, 0);
    EXPECT_EQ(run.records.back().tick, n);
    EXPECT_EQ(run.records.back().command, "close all");
    EXPECT_EQ(run.stderrText,
              "cellshow: no show files in .; the show will be blank and silent (see --data)\n");
  }
  // With n = 0 nothing but the shutdown is recorded.
  BinaryRun first("--data . --record r.bin --key-after 0");
  EXPECT_EQ(first.records.size(), 2u);
}

TEST(HeadlessBinary, BadCommandLinesAreRefusedClearly) {
  struct Case {
    const char* arguments;
    int status;
    const char* message;
  };
  for (const Case& c : {Case{"--bogus", 2, "unknown option '--bogus'"},
                        Case{"--record", 2, "--record needs a value"},
                        Case{"--record r.bin --key-after -3", 2, "--key-after needs a tick count"},
                        Case{"--record r.bin --key-after 12x", 2, "--key-after needs a tick count"},
                        Case{"--colors=256", 2, "--colors must be auto, 8, 16 or truecolor"},
                        Case{"--colors --mute", 2, "--colors needs a value"},
                        Case{"--colors", 2, "--colors needs a value"},
                        Case{"--glyphs=utf8", 2, "--glyphs must be auto, unicode or ascii"},
                        Case{"--data --record r.bin", 2, "--data needs a value"},
                        Case{"--data /nonexistent/x --record r.bin", 2, "is not a folder"},
                        Case{"--record /nonexistent/dir/r.bin", 1, "cannot write"},
                        Case{"--output=screen", 2, "--output must be auto, terminal or window"},
                        Case{"--output", 2, "--output needs a value"},
                        Case{"--fullscreen --output=terminal", 2, "--fullscreen is for the window"},
                        Case{"--record r.bin --window", 2, "--record plays without a window"}}) {
    BinaryRun run(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.stderrText.find(c.message), std::string::npos)
        << c.arguments << ": " << run.stderrText;
  }
  BinaryRun help("--help");
  EXPECT_EQ(help.status, 0);
}

// --stats with --record: the virtual clock's figures, as the recording has
// them; a data folder with any show file in it is not reported empty.
TEST(HeadlessBinary, StatsCountWhatTheRecordingHolds) {
  BinaryRun run("--data . --record r.bin --key-after 300 --stats");
  ASSERT_EQ(run.status, 0) << run.stderrText;
  size_t presents = 0, media = 0;
  for (const Record& r : run.records) (r.kind == PresentRecord ? presents : media) += 1;
  EXPECT_EQ(run.stderrText,
            "cellshow: no show files in .; the show will be blank and silent (see --data)\n"
            "cellshow stats (virtual clock)\n"
            "  ticks run              300\n"
            "  frames presented       " +
                std::to_string(presents) + "\n" + "  media commands         " +
                std::to_string(media) + "\n");
  EXPECT_GT(presents, 2u);
  BinaryRun withData(std::string("--data '") + CELLSHOW_BUILD_DIR +
                     "/data' --record r.bin --key-after 1");
  EXPECT_EQ(withData.stderrText, "");
}

TEST(HeadlessBinary, RecordingToAFullDiskIsAFailure) {
  BinaryRun run("--data . --record /dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.stderrText.find("writing /dev/full failed"), std::string::npos) << run.stderrText;
}

}  // namespace
}  // namespace cellshow
