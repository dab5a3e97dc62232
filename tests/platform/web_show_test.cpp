// The web backend's show driver against the headless recorder: the frames it
// draws, the music it asks the page for, a key, and playing again.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "platform/web/web_platform.h"
#include "support/show_recording.h"
#include "support/temp_dir.h"
#include "support/test_frames.h"

namespace cellshow {
namespace {

using test::TempDir;

std::string DefaultData() { return std::string(CELLSHOW_BUILD_DIR) + "/data"; }

std::vector<Record> Recording(const std::string& dataDir) { return test::RecordShow(dataDir); }

using test::NewestPresent;

using test::Frame;

std::unique_ptr<PixelImage> ImageOf(const Record& present) {
  auto frame = std::make_unique<Frame>();
  CellsOf(present, frame->cells);
  auto image = std::make_unique<PixelImage>();
  RenderCells(frame->cells, *image);
  return image;
}

bool SameImage(const PixelImage& a, const PixelImage& b) {
  return std::equal(a.pixels, a.pixels + ImagePixels, b.pixels);
}

struct PageLog : PageHooks {
  struct Play {
    std::string file;
    double dueMs;
    uint32_t tick;
  };
  std::vector<Play> plays;
  int closes = 0;
  const WebShow* show = nullptr;
  void PlayMusic(const char* file, double dueMs) override {
    plays.push_back({file, dueMs, show->ticks()});
  }
  void CloseAllMusic() override { ++closes; }
};

struct WebRun {
  PageLog page;
  std::unique_ptr<WebShow> show;
  explicit WebRun(const std::string& dataDir) : show(std::make_unique<WebShow>(dataDir, page)) {
    page.show = show.get();
  }
};

constexpr double Start = 5000.25;
constexpr double FrameMs = 1000.0 / 60;

TEST(WebShow, FramesDrawTheRecordedShowAndTheMusicStartsOnThePlayTicksGridPoint) {
  const std::vector<Record> recording = Recording(DefaultData());
  WebRun run(DefaultData());
  run.show->Begin(Start);
  EXPECT_TRUE(run.show->running());
  uint32_t images = 0;
  uint32_t flags = 0;
  double now = Start;
  for (int frame = 0; !(flags & WebShow::Ended) && frame < 10000; ++frame) {
    now += FrameMs;
    flags = run.show->Frame(now);
    const uint32_t tick = run.show->ticks();
    if (!(flags & WebShow::Ended)) {
      ASSERT_EQ(tick, static_cast<uint32_t>((now - Start) / 17)) << "the show keeps to the clock";
    }
    const Record* expected = NewestPresent(recording, tick);
    if (!(flags & WebShow::NewImage)) continue;
    ASSERT_NE(expected, nullptr);
    ++images;
    // Every 50th image pixel by pixel (the rest cost too much under ASan).
    if (images % 50 == 1 || (flags & WebShow::Ended)) {
      ASSERT_TRUE(SameImage(run.show->image(), *ImageOf(*expected))) << "tick " << tick;
    }
  }
  EXPECT_TRUE(flags & WebShow::Ended);
  EXPECT_FALSE(run.show->running());
  EXPECT_EQ(run.show->ticks(), recording.back().tick);
  // The play tick and the page-clock time it was due.
  ASSERT_EQ(run.page.plays.size(), 1u);
  EXPECT_EQ(run.page.plays[0].file, "data/03.mp3");
  EXPECT_EQ(run.page.plays[0].tick, 1296u);
  EXPECT_DOUBLE_EQ(run.page.plays[0].dueMs, Start + 17 * 1296);
  EXPECT_EQ(run.page.closes, 1);
  // Nothing runs after the end.
  EXPECT_EQ(run.show->Frame(now + 1000), static_cast<uint32_t>(WebShow::Ended));
  EXPECT_EQ(run.show->ticks(), recording.back().tick);
}

TEST(WebShow, AfterAStallTheMusicIsDueAtTheGridPointItsTickRanFor) {
  WebRun run(DefaultData());
  run.show->Begin(0);
  for (double now = 17; now <= 17 * 100; now += 17) run.show->Frame(now);
  // Two seconds without a frame: 118 grid points pass, 8 run.
  run.show->Frame(17 * 218);
  ASSERT_EQ(run.show->ticks(), 108u);
  const uint32_t dropped = 110;
  for (double now = 17 * 218 + 5; run.page.plays.empty() && now < 17 * 2000; now += 17)
    run.show->Frame(now);
  ASSERT_EQ(run.page.plays.size(), 1u);
  EXPECT_EQ(run.page.plays[0].tick, 1296u);
  EXPECT_DOUBLE_EQ(run.page.plays[0].dueMs, 17.0 * (1296 + dropped));
}

TEST(WebShow, AKeyEndsWithTheBlackFrameOnceAndPlayingAgainStartsAfresh) {
  const std::vector<Record> recording = Recording(DefaultData());
  WebRun run(DefaultData());
  run.show->Begin(Start);
  // Into the first frame animation, which reads its file as it plays.
  for (double now = Start; run.show->ticks() < 1400; now += FrameMs) run.show->Frame(now);
  run.show->Key();
  EXPECT_FALSE(run.show->running());
  EXPECT_EQ(run.page.closes, 1);
  const uint32_t atKey = run.show->ticks();
  const uint32_t flags = run.show->Frame(Start + 17 * 5000);
  EXPECT_EQ(flags, static_cast<uint32_t>(WebShow::Ended | WebShow::NewImage));
  EXPECT_EQ(run.show->ticks(), atKey) << "no tick after the key";
  auto black = std::make_unique<Frame>();
  ClearScreen(black->cells);
  auto blackImage = std::make_unique<PixelImage>();
  RenderCells(black->cells, *blackImage);
  EXPECT_TRUE(SameImage(run.show->image(), *blackImage));
  run.show->Key();
  EXPECT_EQ(run.page.closes, 1) << "the shutdown runs once";

  // Play again: from tick 1 with fresh state and the files opened anew.
  const double again = Start + 100000;
  run.show->Begin(again);
  EXPECT_TRUE(run.show->running());
  EXPECT_EQ(run.show->ticks(), 0u);
  for (uint32_t tick : {3u, 1400u}) {
    uint32_t shown = 0;
    for (double now = again; shown < tick; now += FrameMs)
      if (run.show->Frame(now, tick) & WebShow::NewImage) shown = run.show->ticks();
    ASSERT_EQ(run.show->ticks(), tick) << "held at the tick limit";
    EXPECT_TRUE(SameImage(run.show->image(), *ImageOf(*NewestPresent(recording, tick))))
        << "tick " << tick;
  }
  ASSERT_EQ(run.page.plays.size(), 2u);
  EXPECT_DOUBLE_EQ(run.page.plays[1].dueMs, again + 17 * 1296);
}

}  // namespace
}  // namespace cellshow
