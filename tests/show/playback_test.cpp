// Playing from a later tick and playing again, against the whole show.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "platform/headless/headless_run.h"
#include "platform/headless/recording.h"
#include "show/show.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

const std::string Data = CELLSHOW_BUILD_DIR "/data";

// Keeps every present and media command, as a recording would. With a show
// to watch, it also checks between ticks that the screen is the one
// presented last, the fact the catch-up present stands on.
class Keep : public HeadlessSink {
 public:
  void Present(uint32_t tick, const ScreenCells& screen) override {
    records.push_back(PresentOf(tick, screen));
    last = records.back().cells;
  }
  void Media(uint32_t tick, const char* command) override {
    records.push_back({tick, MediaRecord, {}, command});
  }
  bool BetweenTicks(uint32_t ticksRun) override {
    if (watched != nullptr && unlike < 0 && PresentOf(0, watched->Screen).cells != last)
      unlike = static_cast<int64_t>(ticksRun);
    return false;
  }

  std::vector<Record> records;
  const Show* watched = nullptr;
  int64_t unlike = -1;  // the first tick after which the screen was not the one presented
  std::array<uint8_t, PresentBytes> last{};
};

// Stops at the first record of `got` that is not `want`'s, byte for byte.
void ExpectRecords(const std::vector<Record>& got, const std::vector<Record>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    ASSERT_TRUE(got[i].tick == want[i].tick && got[i].kind == want[i].kind &&
                got[i].cells == want[i].cells && got[i].command == want[i].command)
        << "record " << i << " (tick " << got[i].tick << ", want tick " << want[i].tick << " "
        << want[i].command << ")";
}

const std::vector<Record>& WholeShow() {
  static const std::vector<Record> records = [] {
    Keep keep;
    PlayHeadless(Data, -1, keep);
    return keep.records;
  }();
  return records;
}

// Guards against a tick that leaves a screen it did not present.
TEST(Playback, EveryTickPresentsTheScreenItLeaves) {
  Keep keep;
  HeadlessPlatform host(Data, keep, -1);
  auto show = std::make_unique<Show>(host);
  keep.watched = show.get();
  Start(*show);
  EXPECT_EQ(host.ticks(), ShowTicks);
  EXPECT_EQ(keep.unlike, -1) << "after tick " << keep.unlike;
}

// Guards against a later start that renumbers ticks, or sends other than one
// present of the screen after tick `start`, the music's play from where it is
// by then (once started at 1296), and the whole show's records after it.
TEST(Playback, ALaterStartSendsWhatTheWholeShowSendsFromThere) {
  const std::vector<Record>& whole = WholeShow();
  ASSERT_EQ(whole.back().command, CloseAllCommand);
  for (const uint32_t start : {1u, 2u, 3u, 1295u, 1296u, 1297u, 1764u, 2996u, ShowTicks - 1}) {
    SCOPED_TRACE(testing::Message() << "start " << start);
    Keep keep;
    if (start == 1764) {  // as the program records --start 30
      test::TempDir dir;
      const std::string file = (dir.path() / "start.rec").string();
      ASSERT_EQ(
          test::RunCommand(CELLSHOW_BINARY " --data " + Data + " --start 30 --record " + file), 0);
      std::string error;
      ASSERT_TRUE(ReadRecordingFile(file, keep.records, error)) << error;
    } else {
      HeadlessFigures figures;
      PlayHeadless(Data, -1, keep, &figures, HeadlessStart{start, false});
      EXPECT_EQ(figures.ticks, ShowTicks - start);
    }
    std::vector<Record> expected = {{start, PresentRecord, {}, ""}};  // black before a present
    if (const Record* newest = NewestPresent(whole, start)) expected[0].cells = newest->cells;
    if (start >= 1296) {
      const std::string from = " from " + std::to_string((start - 1296) * 17);
      expected.push_back({start, MediaRecord, {}, PlayMusicCommand + (start > 1296 ? from : "")});
    }
    for (const Record& r : whole)
      if (r.tick > start) expected.push_back(r);
    ExpectRecords(keep.records, expected);
  }
}

// Guards against a loop whose music does not stop at the show's end, or whose
// passes differ from the first.
TEST(Playback, ALoopPlaysTheFirstPassAgainUntilAKey) {
  const std::vector<Record>& whole = WholeShow();
  constexpr uint32_t Extra = 400;
  Keep keep;
  HeadlessPlatform host(Data, keep, 2 * ShowTicks + Extra);
  auto show = std::make_unique<Show>(host);
  show->play.Loop = true;
  Start(*show);
  EXPECT_EQ(host.ticks(), 2 * ShowTicks + Extra);
  EXPECT_EQ(host.exitCode(), 0);
  // One pass: the whole show but for its shutdown, with the stop instead.
  std::vector<Record> pass;
  for (const Record& r : whole)
    if (r.tick < ShowTicks) pass.push_back(r);
  pass.push_back({ShowTicks, MediaRecord, {}, StopMusicCommand});
  std::vector<Record> expected;
  for (uint32_t round = 0; round < 3; ++round)
    for (Record r : pass)
      if ((r.tick += round * ShowTicks) <= 2 * ShowTicks + Extra) expected.push_back(r);
  // The key's shutdown: the black frame and "close all".
  for (size_t i = whole.size() - 2; i < whole.size(); ++i) {
    expected.push_back(whole[i]);
    expected.back().tick = 2 * ShowTicks + Extra;
  }
  ExpectRecords(keep.records, expected);
}

}  // namespace
}  // namespace cellshow
