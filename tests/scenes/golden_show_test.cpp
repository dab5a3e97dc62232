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
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::TempDir;

// A small fixed generator, so the data sets are the same on every machine.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  uint8_t Byte() { return static_cast<uint8_t>(Next()); }
  int32_t Between(int32_t low, int32_t high) {
    const uint64_t span = static_cast<uint64_t>(int64_t{high} - low + 1);
    return static_cast<int32_t>(low + static_cast<int64_t>(Next() % span));
  }
};

std::vector<uint8_t> RandomBytes(Random& r, size_t n) {
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = r.Byte();
  return bytes;
}

// Overlay cells: mostly transparent (character 32, any attribute), some
// character-0 cells, the rest random.
std::vector<uint8_t> Overlay(Random& r, size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i + 1 < n; i += 2) {
    const uint64_t pick = r.Next() % 10;
    bytes[i] = pick < 6 ? 32 : pick < 7 ? 0 : r.Byte();
    bytes[i + 1] = r.Byte();
  }
  if (n % 2) bytes[n - 1] = r.Byte();
  return bytes;
}

std::vector<uint8_t> Vertices(Random& r, int count, int32_t low, int32_t high) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 3 * count; ++i) {
    const auto v = static_cast<uint32_t>(r.Between(low, high));
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
  }
  return bytes;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t n) {
  bytes.resize(n);
  return bytes;
}

void MakeDataSet(const std::string& name, const TempDir& dir) {
  Random r{name.size() * 7919 + static_cast<uint8_t>(name[0])};
  if (name == "exact") {
    // Every file exactly as long as the show reads; models that leave the grid.
    dir.Write("img.txt", RandomBytes(r, 63 * 8000));
    dir.Write("hit.img", RandomBytes(r, 143 * 8000));
    dir.Write("bl.img", RandomBytes(r, 138 * 8000));
    dir.Write("tr.img", Overlay(r, 1280));
    dir.Write("tr2.img", Overlay(r, 1280));
    dir.Write("tr3.img", Overlay(r, 1280));
    dir.Write("lc1.txt", Vertices(r, 10, -20 * 1024, 100 * 1024));
    dir.Write("lc2.txt", Vertices(r, 8, 0, 120 * 1024));
    dir.Write("lc3.txt", Vertices(r, 18, -30 * 1024, 90 * 1024));
  } else if (name == "short") {
    // Files that end early, some mid-frame or mid-vertex, some missing.
    dir.Write("img.txt", RandomBytes(r, 20 * 8000 + 3001));
    dir.Write("hit.img", RandomBytes(r, 50 * 8000 + 100));
    dir.Write("tr.img", Overlay(r, 601));
    dir.Write("tr3.img", Overlay(r, 8000));
    dir.Write("lc1.txt", Cut(Vertices(r, 10, -50 * 1024, 50 * 1024), 53));
  } else if (name == "extreme") {
    // Files longer than the show reads and vertex tables over the whole
    // 32-bit range.
    dir.Write("img.txt", RandomBytes(r, 70 * 8000));
    dir.Write("hit.img", RandomBytes(r, 150 * 8000));
    dir.Write("bl.img", RandomBytes(r, 140 * 8000 + 77));
    dir.Write("tr.img", Overlay(r, 9000));
    dir.Write("tr2.img", Overlay(r, 1280));
    dir.Write("tr3.img", RandomBytes(r, 1280));
    dir.Write("lc1.txt", Vertices(r, 10, INT32_MIN, INT32_MAX));
    dir.Write("lc2.txt", Vertices(r, 8, INT32_MIN, INT32_MAX));
    dir.Write("lc3.txt", Vertices(r, 18, INT32_MIN, INT32_MAX));
  }
  // "empty": an empty data folder, every file missing.
}

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
  MakeDataSet(set, dir);
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
