// Playing from a later tick and playing again, on the default data, against
// the whole show played once: what a later start sends from its start on is
// exactly what the whole show sends then, after one present of the screen
// as it stands and the music as far in as it is; a loop's every pass is the
// first pass again.
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
    Record r;
    r.tick = tick;
    r.kind = MediaRecord;
    r.command = command;
    records.push_back(r);
  }
  bool BetweenTicks(uint32_t ticksRun) override {
    if (watched == nullptr) return false;
    for (int k = 0; k < ScreenCellCount && unlike < 0; ++k) {
      if (watched->Screen[k].Char != last[2 * k] ||
          watched->Screen[k].Attributes != last[2 * k + 1])
        unlike = static_cast<int64_t>(ticksRun);
    }
    return false;
  }

  std::vector<Record> records;
  const Show* watched = nullptr;
  int64_t unlike = -1;  // the first tick after which the screen was not the one presented
  std::array<uint8_t, PresentBytes> last{};
};

bool Same(const Record& a, const Record& b) {
  return a.tick == b.tick && a.kind == b.kind && a.cells == b.cells && a.command == b.command;
}

const std::vector<Record>& WholeShow() {
  static const std::vector<Record> records = [] {
    Keep keep;
    PlayHeadless(Data, -1, keep);
    return keep.records;
  }();
  return records;
}

TEST(Playback, EveryTickPresentsTheScreenItLeaves) {
  Keep keep;
  HeadlessPlatform host(Data, keep, -1);
  auto show = std::make_unique<Show>(host);
  keep.watched = show.get();
  Start(*show);
  EXPECT_EQ(host.ticks(), ShowTicks);
  EXPECT_EQ(keep.unlike, -1) << "after tick " << keep.unlike;
}

// The recording of a later start keeps the show's tick numbers (none is
// renumbered): start-up is tick `start`, with one present of the screen the
// whole show has after that tick (black before the first present) and, once
// the plasma has started the music, its play from where the music is by
// then; every record after them is the whole show's record of the same tick,
// byte for byte. --start 30 is tick 1764: its records from tick 1765 on are
// the whole recording's.
TEST(Playback, ALaterStartSendsWhatTheWholeShowSendsFromThere) {
  const std::vector<Record>& whole = WholeShow();
  ASSERT_EQ(whole.back().command, CloseAllCommand);
  for (const uint32_t start : {1u, 2u, 3u, 1295u, 1296u, 1297u, 1764u, 2996u, ShowTicks - 1}) {
    SCOPED_TRACE(testing::Message() << "start " << start);
    Keep keep;
    if (start == 1764) {  // as the program records it: --start 30
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

    std::vector<Record> expected;
    Record screen;
    screen.tick = start;
    screen.kind = PresentRecord;
    if (const Record* newest = NewestPresent(whole, start)) screen.cells = newest->cells;
    expected.push_back(screen);
    if (start >= 1296) {
      Record play;
      play.tick = start;
      play.kind = MediaRecord;
      play.command = PlayMusicCommand;
      if (start > 1296) play.command += " from " + std::to_string((start - 1296) * 17);
      expected.push_back(play);
    }
    for (const Record& r : whole)
      if (r.tick > start) expected.push_back(r);
    ASSERT_EQ(keep.records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      ASSERT_TRUE(Same(keep.records[i], expected[i]))
          << "record " << i << " (tick " << keep.records[i].tick << ", want tick "
          << expected[i].tick << " " << expected[i].command << ")";
  }
}

// Two passes and a little: the music stops where the show would have ended,
// and every pass repeats the first, tick for tick, until the key.
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
  Record stop;
  stop.tick = ShowTicks;
  stop.kind = MediaRecord;
  stop.command = StopMusicCommand;
  pass.push_back(stop);

  std::vector<Record> expected;
  for (uint32_t round = 0; round < 3; ++round) {
    for (Record r : pass) {
      r.tick += round * ShowTicks;
      if (r.tick <= 2 * ShowTicks + Extra) expected.push_back(r);
    }
  }
  // The key's shutdown: the black frame and "close all".
  expected.push_back(whole[whole.size() - 2]);
  expected.push_back(whole.back());
  expected[expected.size() - 2].tick = expected.back().tick = 2 * ShowTicks + Extra;
  ASSERT_EQ(keep.records.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    ASSERT_TRUE(Same(keep.records[i], expected[i]))
        << "record " << i << " (tick " << keep.records[i].tick << ")";
}

}  // namespace
}  // namespace cellshow
