// Long exports by the program, read back: the whole show as a video with its
// music and as a GIF, and a video long enough to reach the music without it.
// Each takes from seconds to a minute or two.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "export/export_checks.h"
#include "export/export_run.h"
#include "export/image_export.h"
#include "support/media_reader.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

int Export(const test::TempDir& dir, const std::string& name) {
  return test::RunCommand(std::string(CELLSHOW_BINARY) + " --data '" + test::DataDir() +
                          "' --export '" + (dir.path() / name).string() + "' 2>'" +
                          (dir.path() / "stderr").string() + "'");
}

TEST(ExportLong, WholeShowAsMp4WithItsMusic) {
  const std::vector<test::Screen> screens = test::WholeShowScreens();
  ASSERT_EQ(screens.size(), 3774u);  // ticks 0..3773: 64.158 s
  test::TempDir dir;
  ASSERT_EQ(Export(dir, "show.mp4"), 0);
  EXPECT_TRUE(test::ReadBytes(dir.path() / "stderr").empty());
  // Every seventh frame is compared, which meets every scene.
  test::CheckVideoFile((dir.path() / "show.mp4").string(), screens,
                       {AV_CODEC_ID_H264, AV_CODEC_ID_MP3, 44100, 36, 3773, 1296, 7});
}

TEST(ExportLong, WholeShowAsGifKeepsItsLength) {
  test::TempDir dir;
  ASSERT_EQ(Export(dir, "show.gif"), 0);
  test::MediaReader file((dir.path() / "show.gif").string());
  ASSERT_TRUE(file.ok()) << file.error();
  const auto packets = file.ReadPackets();
  int64_t total = 0;
  for (const test::PacketCopy& p : packets[0]) total += p.duration;
  EXPECT_EQ(total, GifCentiseconds(3774));
}

// The play command comes at tick 1296, so the video has to be long enough.
TEST(ExportLong, NoMusicGivesASilentVideoAndSaysSo) {
  test::TempDir dir;
  test::TempDir noData;
  EXPECT_EQ(test::RunCommand(std::string(CELLSHOW_BINARY) + " --data '" + noData.path().string() +
                             "' --key-after 1300 --export '" + (dir.path() / "show.mkv").string() +
                             "' 2>'" + (dir.path() / "stderr").string() + "'"),
            0);
  const std::vector<uint8_t> err = test::ReadBytes(dir.path() / "stderr");
  const std::string text(err.begin(), err.end());
  // The empty folder's notice, then the one line about the sound.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  EXPECT_NE(text.find("no show files in " + noData.path().string()), std::string::npos) << text;
  EXPECT_NE(text.find("no sound in the video: " + noData.path().string() + "/03.mp3: "),
            std::string::npos)
      << text;
  test::MediaReader file((dir.path() / "show.mkv").string());
  ASSERT_TRUE(file.ok()) << file.error();
  EXPECT_EQ(file.context()->nb_streams, 1u);
  EXPECT_EQ(file.Stream(AVMEDIA_TYPE_AUDIO), nullptr);
}

}  // namespace
}  // namespace cellshow
