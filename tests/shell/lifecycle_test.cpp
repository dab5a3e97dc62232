// Start-up order, the asset reads it makes, and the shutdown sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "show/show.h"
#include "support/fake_platform.h"

namespace cellshow {
namespace {

using test::FakePlatform;

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

TEST(Lifecycle, StartUpOpensReadsAndClosesInOrderThenShutsDownOnce) {
  FakePlatform host;
  for (const char* name : {ImgFileName, TrFileName, Tr2FileName, Tr3FileName, HitFileName,
                           BlFileName, Lc1FileName, Lc2FileName, Lc3FileName})
    host.files[name] = Bytes(9000, 1);
  auto show = std::make_unique<Show>(host);
  Start(*show);  // the key is already pending at the first poll
  const std::vector<std::string> expected = {"console",
                                             "open data\\img.txt",
                                             "open data\\tr.img",
                                             "read 1 1280",
                                             "open data\\tr2.img",
                                             "read 2 1280",
                                             "open data\\tr3.img",
                                             "read 3 1280",
                                             "open data\\hit.img",
                                             "open data\\bl.img",
                                             "open data\\lc1.txt",
                                             "read 6 120",
                                             "close 6",
                                             "open data\\lc2.txt",
                                             "read 7 96",
                                             "close 7",
                                             "open data\\lc3.txt",
                                             "read 8 216",
                                             "close 8",
                                             "begin 17",
                                             "timer 17 17",
                                             "keep ticks out",
                                             "close 0",
                                             "close 1",
                                             "close 2",
                                             "close 3",
                                             "close 4",
                                             "close 5",
                                             "media close all",
                                             "kill 7",
                                             "end 17",
                                             "exit 0"};
  EXPECT_EQ(host.calls, expected);
  ASSERT_EQ(host.records.size(), 2u);
  EXPECT_EQ(host.records[0].kind, PresentRecord);
  EXPECT_TRUE(std::all_of(host.records[0].cells.begin(), host.records[0].cells.end(),
                          [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(host.records[1].command, "close all");
  EXPECT_EQ(show->shell.TimerId, 0u);

  // A second shutdown (a key during the closing scene's) does nothing visible.
  host.calls.clear();
  Shutdown(*show);
  EXPECT_EQ(host.calls, std::vector<std::string>{"await exit"});
}

TEST(Lifecycle, OverlaysAndModelsKeepWhatShortOrMissingFilesLeave) {
  FakePlatform host;
  host.files[TrFileName] = std::vector<uint8_t>(8000, 65);  // only 1280 bytes are read
  host.files[Tr2FileName] = std::vector<uint8_t>(10, 66);   // short
  // lc1: vertex 0 = (1024, 0, 0), then a partial y of vertex 1 (two bytes).
  host.files[Lc1FileName] = {0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xff, 0xff};
  host.files[Lc3FileName] = std::vector<uint8_t>(400, 0xff);  // oversized
  auto show = std::make_unique<Show>(host);
  StartUp(*show);
  const auto& pictures = show->assets.OverlayImages;
  EXPECT_EQ(std::count(pictures[0], pictures[0] + 1280, 65), 1280);
  EXPECT_EQ(std::count(pictures[0] + 1280, pictures[0] + 8000, 32), 8000 - 1280);
  EXPECT_EQ(std::count(pictures[1], pictures[1] + 10, 66), 10);
  EXPECT_EQ(std::count(pictures[1] + 10, pictures[1] + 8000, 32), 7990);
  EXPECT_EQ(std::count(pictures[2], pictures[2] + 8000, 32), 8000);  // missing
  EXPECT_EQ(show->assets.ModelA[0].x, 1024);
  EXPECT_EQ(show->assets.ModelA[0].y, 0);
  EXPECT_EQ(show->assets.ModelA[1].x, 1);
  EXPECT_EQ(show->assets.ModelA[1].y, 0xffff);  // only its two low bytes arrived
  EXPECT_EQ(show->assets.ModelB[7].z, 0);       // missing table: zeros
  EXPECT_EQ(show->assets.ModelC[17].z, -1);     // all 216 bytes of 0xff read
  EXPECT_EQ(show->assets.FileHandles[TrSlot], 0);
  EXPECT_EQ(show->assets.FileHandles[Tr3Slot], InvalidFile);
  // The spin matrices are composed before the timer starts.
  EXPECT_EQ(show->matrices.SpinA.at(3, 0), 1780);
}

}  // namespace
}  // namespace cellshow
