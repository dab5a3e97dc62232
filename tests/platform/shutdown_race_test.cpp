// The one shutdown against a live timer: whichever of the key (main thread)
// and the closing scene (timer thread) comes first, the black frame is the
// last present, "close all" is sent once, and nothing follows.
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "platform/ticks/timed_platform.h"
#include "show/show.h"

namespace cellshow {
namespace {

// The real timer and shutdown rules, with presents and media commands kept
// in a log and an exit that only records.
class RacePlatform : public TimedPlatform {
 public:
  enum Kind : uint8_t { Drawn, Black, CloseAll, OtherMedia, Exit };
  struct Event {
    std::atomic<uint8_t> kind{0};
    std::atomic<bool> onTimer{false};
  };
  static constexpr uint32_t MaxEvents = 1 << 16;

  // The key comes `keyDelayNs` after the start of tick `keyTick` (0: after
  // the timer starts), so that where it lands among the ticks does not hang
  // on how long start-up took.
  RacePlatform(int64_t periodNs, uint32_t keyTick, int64_t keyDelayNs)
      : TimedPlatform("/nonexistent/cellshow-data", periodNs),
        keyTick_(keyTick),
        keyDelay_(keyDelayNs) {}

  void PrepareConsole() override {}
  void PresentScreen(const ScreenCells& screen) override {
    bool black = true;
    for (const Cell& cell : screen) black = black && cell.Char == 0 && cell.Attributes == 0;
    Log(black ? Black : Drawn);
  }
  void SendMediaCommand(const char* command) override {
    Log(std::strcmp(command, "close all") == 0 ? CloseAll : OtherMedia);
  }
  // Every tick first draws and presents a frame, as a drawing scene does, so
  // that a tick that slipped past the shutdown would show in the log.
  uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick,
                      void* context) override {
    tick_ = tick;
    show_ = static_cast<Show*>(context);
    return TimedPlatform::StartTimer(delay, resolution, &DrawingTick, this);
  }
  // The key arrives at its moment (or the closing scene's exit comes first).
  int32_t KeyHit() override {
    const timespec pause{0, 20000};
    while (ticks_.load() < keyTick_ && !ExitRequested()) nanosleep(&pause, nullptr);
    const int64_t keyAt = MonotonicNs() + keyDelay_;
    while (MonotonicNs() < keyAt && !ExitRequested()) nanosleep(&pause, nullptr);
    return 1;
  }

  uint32_t events() const { return count_.load() < MaxEvents ? count_.load() : MaxEvents; }
  Kind kind(uint32_t i) const { return static_cast<Kind>(events_[i].kind.load()); }
  bool onTimer(uint32_t i) const { return events_[i].onTimer.load(); }
  int exits() const { return exits_.load(); }
  int exitCode() const { return exitCode_; }
  bool exitedOnMain() const { return exitedOnMain_; }

 protected:
  void EndProcess(int code) override {
    exitCode_ = code;
    exitedOnMain_ = std::this_thread::get_id() == mainThread_;
    exits_.fetch_add(1);
    Log(Exit);
  }

 private:
  static void DrawingTick(void* self) {
    auto& host = *static_cast<RacePlatform*>(self);
    host.ticks_.fetch_add(1);
    Show& show = *host.show_;
    for (Cell& cell : show.Screen) cell = Cell{'#', 0x1e};
    cellshow::PresentScreen(show);
    host.tick_(host.show_);
  }

  void Log(Kind kind) {
    const uint32_t i = count_.fetch_add(1);
    if (i >= MaxEvents) return;
    events_[i].onTimer.store(OnTimerThread());
    events_[i].kind.store(kind);
  }

  const uint32_t keyTick_;
  const int64_t keyDelay_;
  std::atomic<uint32_t> ticks_{0};
  const std::thread::id mainThread_ = std::this_thread::get_id();
  TickCallback tick_ = nullptr;
  Show* show_ = nullptr;
  std::atomic<uint32_t> count_{0};
  Event events_[MaxEvents];
  std::atomic<int> exits_{0};
  int exitCode_ = -1;
  bool exitedOnMain_ = false;
};

struct Outcome {
  bool closingSceneWon = false;
};

// Plays one show to its shutdown and checks the log; returns who won.
Outcome PlayOnce(int64_t periodNs, uint32_t keyTick, int64_t keyDelayNs, int closingPhase) {
  auto host = std::make_unique<RacePlatform>(periodNs, keyTick, keyDelayNs);
  auto show = std::make_unique<Show>(*host);
  if (closingPhase >= 0) {  // straight into the closing scene, close to its end
    show->seq.ScriptIndex = 13;
    show->seq.CurrentScene = 7;
    show->seq.TickPhase = closingPhase;
  }
  Start(*show);
  host->StopTimerAndReadStats();  // the timer thread has ended

  Outcome outcome;
  const uint32_t n = host->events();
  EXPECT_EQ(host->exits(), 1);
  EXPECT_EQ(host->exitCode(), 0);
  EXPECT_TRUE(host->exitedOnMain());
  EXPECT_GE(n, 3u);
  if (n < 3) return outcome;
  // ... black frame, close all, exit: and nothing else of the kind anywhere.
  EXPECT_EQ(host->kind(n - 3), RacePlatform::Black);
  EXPECT_EQ(host->kind(n - 2), RacePlatform::CloseAll);
  EXPECT_EQ(host->kind(n - 1), RacePlatform::Exit);
  for (uint32_t i = 0; i + 3 < n; ++i) {
    EXPECT_EQ(host->kind(i), RacePlatform::Drawn) << "event " << i << " of " << n;
  }
  outcome.closingSceneWon = host->onTimer(n - 3);
  EXPECT_EQ(host->onTimer(n - 2), outcome.closingSceneWon);
  return outcome;
}

TEST(ShutdownRaceThreads, KeyAtRandomMomentsAgainstALiveTimer) {
  std::mt19937 random(20240917);
  constexpr int64_t period = 200000;  // 0.2 ms: many ticks per run
  for (int run = 0; run < 150; ++run) {
    const int64_t keyDelay = std::uniform_int_distribution<int64_t>(0, 20 * period)(random);
    PlayOnce(period, 0, keyDelay, -1);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "run " << run << ", key after " << keyDelay << " ns";
      return;
    }
  }
}

TEST(ShutdownRaceThreads, ClosingSceneShutdownRacesTheKey) {
  constexpr int64_t period = 200000;
  // First two runs whose winner is certain, so that each side is seen to win:
  // the key long after the closing scene's shutdown, then the key at once
  // with the closing scene 78 ticks of 17 ms away.
  EXPECT_TRUE(PlayOnce(period, 0, int64_t{2000} * 1000000, 77).closingSceneWon)
      << "the closing scene could not end the show";
  EXPECT_FALSE(PlayOnce(17000000, 0, 0, 0).closingSceneWon) << "the key could not end the show";
  std::mt19937 random(77);
  int closingWins = 0, keyWins = 0;
  // 300 runs, and more (up to 3000) until each side has won: on a loaded
  // machine or under the sanitizers the two threads' timing shifts.
  for (int run = 0; run < 3000 && (run < 300 || closingWins == 0 || keyWins == 0); ++run) {
    const int phase = std::uniform_int_distribution<int>(72, 77)(random);
    // The closing scene shuts down in tick 78 - phase: the key comes within a
    // period either side of that tick's start.
    const uint32_t keyTick = static_cast<uint32_t>(77 - phase);
    const int64_t keyDelay = std::uniform_int_distribution<int64_t>(0, 2 * period)(random);
    const Outcome outcome = PlayOnce(period, keyTick, keyDelay, phase);
    (outcome.closingSceneWon ? closingWins : keyWins)++;
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "run " << run << ", phase " << phase << ", key " << keyDelay
                    << " ns after tick " << keyTick;
      return;
    }
  }
  RecordProperty("closing_scene_won", closingWins);
  RecordProperty("key_won", keyWins);
  std::printf("closing scene won %d runs, the key %d\n", closingWins, keyWins);
  // Both sides must win some runs, or there was no race.
  EXPECT_GT(closingWins, 0);
  EXPECT_GT(keyWins, 0);
}

TEST(ShutdownRaceThreads, KeyBeforeTheFirstTick) {
  // A pending key at start-up: the show ends before any tick, with the same steps.
  for (int run = 0; run < 20; ++run) PlayOnce(17000000, 0, 0, -1);
}

}  // namespace
}  // namespace cellshow
