// Frame-file playback: which file frame each tick shows, in both runs of the
// looping and the one-shot scenes, and what short or missing files show.
#include <gtest/gtest.h>

#include "support/show_run.h"

namespace cellshow {
namespace {

using test::NumberedFrames;
using test::ShowRun;

// The frame marker of a present: 0 for a black screen.
int Marker(const Record* r) { return r->cells[0]; }

std::vector<int> Markers(const std::vector<const Record*>& presents) {
  std::vector<int> out;
  for (const Record* r : presents) out.push_back(Marker(r));
  return out;
}

std::vector<int> Range(int first, int last) {
  std::vector<int> out;
  for (int i = first; i <= last; ++i) out.push_back(i);
  return out;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(FramePlayback, BothRunsOfEachSceneShowTheirFramesOnTheirTicks) {
  ShowRun run;
  run.host.files[ImgFileName] = NumberedFrames(63);
  run.host.files[HitFileName] = NumberedFrames(143);
  run.host.files[BlFileName] = NumberedFrames(138);
  run.Play();

  // Scene 1 reads on its even ticks in the first run, odd ticks in the second;
  // frames 0..62, then 0..36; the 200th tick ends black.
  const std::vector<int> imgFrames = Concat(Range(1, 63), Range(1, 37));
  auto first = run.Presents(1297, 1496);
  ASSERT_EQ(first.size(), 101u);
  EXPECT_EQ(first[0]->tick, 1298u);
  EXPECT_EQ(first[99]->tick, 1496u);
  EXPECT_EQ(Markers(first), Concat(imgFrames, {0}));
  auto second = run.Presents(2415, 2614);
  ASSERT_EQ(second.size(), 101u);
  EXPECT_EQ(second[0]->tick, 2415u);
  EXPECT_EQ(second[99]->tick, 2613u);
  EXPECT_EQ(Markers(second), Concat(imgFrames, {0}));

  // Scene 3: frames 0..141, the first on the 3rd tick, then on the 2nd tick
  // of the second run; the 143rd read is never shown.
  for (auto [start, end, firstTick] : {std::tuple{1563u, 1849u, 1565u}, {2996u, 3281u, 2997u}}) {
    auto hit = run.Presents(start, end);
    ASSERT_EQ(hit.size(), 142u);
    EXPECT_EQ(hit.front()->tick, firstTick);
    EXPECT_EQ(hit.back()->tick, firstTick + 2 * 141);
    EXPECT_EQ(Markers(hit), Range(1, 142));
    // Frame 141 stays until scene 4 presents in the next tick.
    EXPECT_EQ(run.Presents(end + 1, end + 1).size(), 1u);
  }

  // Scene 4, four runs: frames 0..136 on consecutive ticks, the 138th black.
  for (uint32_t start : {1850u, 3282u, 3420u, 3558u}) {
    auto bl = run.Presents(start, start + 137);
    ASSERT_EQ(bl.size(), 138u);
    EXPECT_EQ(Markers(bl), Concat(Range(1, 137), {0}));
  }
  EXPECT_EQ(run.host.exitCode, 0);
}

TEST(FramePlayback, ShortAndMissingFilesShowWhatTheBufferHolds) {
  ShowRun run;
  // img.txt ends half-way through its 3rd frame: the 3rd shown frame is half
  // frame 2, half frame 1; later reads deliver nothing.
  std::vector<uint8_t> img = NumberedFrames(3);
  img.resize(2 * 8000 + 4000);
  run.host.files[ImgFileName] = img;
  run.Play();  // hit.img and bl.img are missing
  auto first = run.Presents(1297, 1496);
  ASSERT_EQ(first.size(), 101u);
  EXPECT_EQ(Marker(first[0]), 1);
  EXPECT_EQ(Marker(first[1]), 2);
  EXPECT_EQ(first[2]->cells[0], 3);
  EXPECT_EQ(first[2]->cells[3998], 3);
  EXPECT_EQ(first[2]->cells[4000], 2);
  EXPECT_EQ(first[2]->cells[7998], 2);
  EXPECT_EQ(first[3]->cells[0], 3);  // the end of the file: the mixture again
  EXPECT_EQ(first[3]->cells[4000], 2);
  // After every rewind the file plays again from its start.
  EXPECT_EQ(Marker(first[63]), 1);
  // hit.img missing: scene 3 shows the frame last read (the mixture, since
  // the loop's last read, number 37, came after the end of the file).
  auto hit = run.Presents(1563, 1849);
  ASSERT_EQ(hit.size(), 142u);
  EXPECT_EQ(hit.front()->cells, first[99]->cells);
  // bl.img missing: the same, then black on the 138th tick.
  auto bl = run.Presents(1850, 1987);
  EXPECT_EQ(bl[0]->cells, first[99]->cells);
  EXPECT_EQ(Marker(bl[137]), 0);
  EXPECT_EQ(run.host.exitCode, 0);
}

TEST(FramePlayback, MissingHitFileShowsTheLastFrameOfTheLoop) {
  ShowRun run;
  run.host.files[ImgFileName] = NumberedFrames(63);
  run.Play();
  for (auto [start, end] : {std::pair{1563u, 1849u}, {2996u, 3281u}}) {
    auto hit = run.Presents(start, end);
    ASSERT_EQ(hit.size(), 142u);
    for (const Record* r : hit) ASSERT_EQ(Marker(r), 37);  // frame 36 of img.txt
  }
}

}  // namespace
}  // namespace cellshow
