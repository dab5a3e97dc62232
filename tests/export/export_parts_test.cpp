// The small parts of the exports: --at times, format names, the MP3 delay
// read from the LAME tag, the progress line and the whole-or-nothing file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "app/options.h"
#include "export/audio_track.h"
#include "export/export_run.h"
#include "export/progress_line.h"
#include "export/target_file.h"
#include "mp3_writer.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

namespace fs = std::filesystem;

TEST(ExportParts, AtSecondsIsTheTickExactly) {
  // floor(s x 1000 / 17), with no floating-point error at tick boundaries.
  EXPECT_EQ(TickAtSeconds("0"), 0);
  EXPECT_EQ(TickAtSeconds("0.016"), 0);
  EXPECT_EQ(TickAtSeconds("0.017"), 1);
  EXPECT_EQ(TickAtSeconds("22.032"), 1296);
  EXPECT_EQ(TickAtSeconds("22.031999999"), 1295);
  EXPECT_EQ(TickAtSeconds("64.141"), 3773);
  EXPECT_EQ(TickAtSeconds(".5"), 29);
  EXPECT_EQ(TickAtSeconds("5."), 294);
  EXPECT_EQ(TickAtSeconds("1000000"), 58823529);
  for (const char* bad : {"", ".", "-1", "+1", "1e3", "1,5", "abc", "1.5s", " 1", "1.0000000001",
                          "1000001", "99999999999999999999"})
    EXPECT_EQ(TickAtSeconds(bad), -1) << bad;
}

TEST(ExportParts, FormatComesFromTheExtensionInAnyCase) {
  EXPECT_EQ(ExportKindOf("show.mp4"), ExportKind::Mp4);
  EXPECT_EQ(ExportKindOf("dir.x/SHOW.MKV"), ExportKind::Matroska);
  EXPECT_EQ(ExportKindOf("a.b.webm"), ExportKind::WebM);
  EXPECT_EQ(ExportKindOf("/tmp/x.Gif"), ExportKind::Gif);
  EXPECT_EQ(ExportKindOf("x.png"), ExportKind::Png);
  EXPECT_EQ(ExportKindOf("X.ANS"), ExportKind::Ans);
  EXPECT_EQ(ExportKindOf("a/b.bin"), ExportKind::Bin);
  EXPECT_EQ(ExportKindOf("x.xb"), ExportKind::XBin);
  EXPECT_EQ(ExportKindOf("x.cast"), ExportKind::Cast);
  for (const char* other : {"x.avi", "x", "dir.gif/x", ".gif", "x.gif.part", "x."})
    EXPECT_EQ(ExportKindOf(other), ExportKind::Unknown) << other;
}

// An MP3 made by LAME (the generator's writer): its tag says 576 samples of
// encoder delay, and the synthesis filter adds 529.
std::vector<uint8_t> LameMp3(int rate, int channels) {
  test::TempDir dir;
  const std::string path = (dir.path() / "t.mp3").string();
  std::vector<int16_t> samples(static_cast<size_t>(rate) * channels / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(8000 * std::sin(static_cast<double>(i) / 20));
  std::string error;
  EXPECT_TRUE(WriteMp3(path, samples.data(), samples.size() / channels, channels, rate, 128, error))
      << error;
  return test::ReadBytes(path);
}

TEST(ExportParts, Mp3DelayComesFromTheLameTag) {
  for (const auto& [rate, channels] : {std::pair{44100, 2}, {44100, 1}, {22050, 1}, {22050, 2}}) {
    std::vector<uint8_t> mp3 = LameMp3(rate, channels);
    EXPECT_EQ(Mp3DecoderDelay(mp3.data(), mp3.size()), 1105) << rate << " Hz x" << channels;
    // Behind an ID3v2 tag.
    std::vector<uint8_t> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0};  // 128 bytes follow
    tagged.resize(10 + 128);
    tagged.insert(tagged.end(), mp3.begin(), mp3.end());
    EXPECT_EQ(Mp3DecoderDelay(tagged.data(), tagged.size()), 1105);
    // Without the info frame only the filter's delay is known.
    for (size_t i = 0; i + 4 < mp3.size(); ++i)
      if (std::equal(mp3.begin() + i, mp3.begin() + i + 4, "Info")) mp3[i] = 'X';
    EXPECT_EQ(Mp3DecoderDelay(mp3.data(), mp3.size()), 529);
  }
  const std::vector<uint8_t> text(100, 'a');
  EXPECT_EQ(Mp3DecoderDelay(text.data(), text.size()), -1);
  EXPECT_EQ(Mp3DecoderDelay(nullptr, 0), -1);
}

TEST(ExportParts, ProgressTextGivesPercentFramesAndTimes) {
  EXPECT_EQ(ProgressText("show.mp4", 0, 3774, 200), "show.mp4    0%  0/3774 frames  0:00 elapsed");
  EXPECT_EQ(ProgressText("show.mp4", 1887, 3774, 10500),
            "show.mp4   50%  1887/3774 frames  0:10 elapsed  0:10 left");
  EXPECT_EQ(ProgressText("a.gif", 3774, 3774, 75000),
            "a.gif  100%  3774/3774 frames  1:15 elapsed  0:00 left");
}

TEST(ExportParts, TargetFileReplacesWholeOrNotAtAll) {
  test::TempDir dir;
  const std::string target = (dir.path() / "out.gif").string();
  dir.Write("out.gif", {'o', 'l', 'd'});
  std::string error;
  {
    TargetFile file;
    ASSERT_TRUE(file.Create(target, error)) << error;
    EXPECT_NE(file.writePath(), target);
    EXPECT_EQ(fs::path(file.writePath()).parent_path(), dir.path());
  }  // dropped without a commit: the temporary file goes, the old one stays
  EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  TargetFile file;
  ASSERT_TRUE(file.Create(target, error)) << error;
  std::FILE* out = std::fopen(file.writePath().c_str(), "wb");
  std::fputs("new", out);
  std::fclose(out);
  EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  ASSERT_TRUE(file.Commit(error)) << error;
  EXPECT_EQ(test::ReadBytes(target), (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  TargetFile device;
  ASSERT_TRUE(device.Create("/dev/null", error)) << error;
  EXPECT_EQ(device.writePath(), "/dev/null");
  EXPECT_TRUE(device.Commit(error));
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  TargetFile missing;
  EXPECT_FALSE(missing.Create((dir.path() / "no" / "x.gif").string(), error));
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace cellshow
