// Whole-show golden runs: the real binary records the show headless for data
// sets made here, and every present and media command is checked against the
// script's timeline and against a stored digest of the frame.
//
// The digests live in tests/scenes/golden/<set>.txt. Regenerate them only when
// a change is meant to alter what the show displays:
//   CELLSHOW_UPDATE_GOLDEN=1 build/tests/test_scenes --gtest_filter='GoldenShow.*'
// then review the diff of the .txt files before committing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/headless/recording.h"
#include "support/golden_data.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::TempDir;

// The ticks of every record of a whole show, from the script's timeline.
std::vector<std::pair<uint32_t, uint32_t>> ExpectedTimeline() {
  std::vector<std::pair<uint32_t, uint32_t>> t;
  auto every = [&](uint32_t first, uint32_t step, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) t.push_back({first + step * i, PresentRecord});
  };
  every(3, 3, 431);  // plasma
  t.push_back({1296, PresentRecord});
  t.push_back({1296, MediaRecord});
  every(1298, 2, 100);  // img.txt, first run
  t.push_back({1496, PresentRecord});
  every(1497, 1, 66);   // first burst
  every(1565, 2, 142);  // hit.img
  every(1850, 1, 138);  // bl.img
  every(1988, 1, 66);   // second burst
  every(2057, 3, 120);  // two spinning models
  every(2415, 2, 100);  // img.txt, second run
  t.push_back({2614, PresentRecord});
  every(2617, 2, 190);  // spin and fly-off
  every(2997, 2, 142);  // hit.img
  every(3282, 1, 138);  // bl.img three times
  every(3420, 1, 138);
  every(3558, 1, 138);
  t.push_back({3773, PresentRecord});  // shutdown
  t.push_back({3773, MediaRecord});
  return t;
}

uint64_t Digest(const std::array<uint8_t, PresentBytes>& cells) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : cells) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

std::string Describe(const std::vector<Record>& records) {
  std::ostringstream out;
  for (const Record& r : records) {
    out << r.tick << ' ';
    if (r.kind == PresentRecord) {
      char hex[17];
      std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Digest(r.cells)));
      out << "present " << hex << '\n';
    } else {
      out << "media " << r.command << '\n';
    }
  }
  return out.str();
}

class GoldenShow : public testing::TestWithParam<const char*> {};

TEST_P(GoldenShow, WholeShowMatchesTheTimelineAndTheStoredFrames) {
  const std::string set = GetParam();
  TempDir dir;
  test::MakeDataSet(set, dir.path());
  const auto recording = dir.path() / "show.rec";
  const std::string command = std::string(CELLSHOW_BINARY) + " --data '" + dir.path().string() +
                              "' --record '" + recording.string() + "'";
  ASSERT_EQ(test::RunCommand(command), 0) << command;

  std::vector<Record> records;
  std::string error;
  ASSERT_TRUE(ReadRecordingFile(recording.string(), records, error)) << error;
  const auto timeline = ExpectedTimeline();
  ASSERT_EQ(records.size(), timeline.size());
  for (size_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ(records[i].tick, timeline[i].first) << "record " << i;
    ASSERT_EQ(records[i].kind, timeline[i].second) << "record " << i;
  }
  EXPECT_EQ(records[432].command, "play data\\03.mp3");
  EXPECT_EQ(records.back().command, "close all");
  for (uint8_t b : records[records.size() - 2].cells) ASSERT_EQ(b, 0);

  const std::string actual = Describe(records);
  const std::string goldenPath =
      std::string(CELLSHOW_SOURCE_DIR) + "/tests/scenes/golden/" + set + ".txt";
  if (std::getenv("CELLSHOW_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(goldenPath) << actual;
    GTEST_SKIP() << "rewrote " << goldenPath;
  }
  std::ifstream in(goldenPath);
  ASSERT_TRUE(in) << "no digests at " << goldenPath;
  std::stringstream expected;
  expected << in.rdbuf();
  // Compare line by line so that a failure names the first frame that changed.
  std::istringstream a(actual), e(expected.str());
  std::string la, le;
  for (int line = 1; std::getline(e, le); ++line) {
    ASSERT_TRUE(std::getline(a, la)) << "recording ends before line " << line;
    ASSERT_EQ(la, le) << set << ".txt line " << line;
  }
  EXPECT_FALSE(std::getline(a, la)) << "recording has more records than " << set << ".txt";
}

INSTANTIATE_TEST_SUITE_P(DataSets, GoldenShow,
                         testing::Values("exact", "short", "extreme", "empty"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace cellshow
