// Exports of a moment through the program, read back: --export with --start 30
// (tick 1764), and ANSI art (.ans, .bin, .xb) --at a moment, through the art
// reader, which its own tests hold to hand-made files.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "export/export_checks.h"
#include "render/art/ansi_art.h"
#include "render/art/sauce.h"
#include "support/media_reader.h"
#include "support/shell_run.h"
#include "support/show_recording.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::MediaReader;

constexpr uint32_t StartTick = 1764, Played = 120;  // --start 30, --key-after
// The music started at the end of tick 1296; how long it has played by then.
constexpr double MusicAtStart = (StartTick - 1296) * 0.017;

// Runs the program on the default data with `args`.
test::ShellRun Cellshow(std::initializer_list<std::string> args) {
  std::string command =
      test::ShellQuote(CELLSHOW_BINARY) + " --data " + test::ShellQuote(test::DataDir());
  for (const std::string& a : args) command += " " + test::ShellQuote(a);
  return test::RunShell(command);
}

// Exports the default show to `file` from --start 30 until the key.
int Export(const std::string& file) {
  return Cellshow({"--export", file, "--start", "30", "--key-after", std::to_string(Played)})
      .status;
}

// Guards against frames that are not the whole show's from the start tick on.
TEST(ExportStart, FramesFromTheStartTickOnWithTheScreenOfThatMoment) {
  const std::vector<test::Screen> whole = test::WholeShowScreens();
  ASSERT_GT(whole.size(), StartTick + Played);
  std::vector<test::Screen> expected(whole.begin() + StartTick, whole.begin() + StartTick + Played);
  expected.push_back(test::Screen{});  // the key's black frame
  test::TempDir dir;
  ASSERT_EQ(Export((dir.path() / "start.gif").string()), 0);
  test::CheckGifFile((dir.path() / "start.gif").string(), expected, Played);
}

// Guards against sound that starts late or not as far into the music as it is.
TEST(ExportStart, TheMusicIsAsFarInAsItIsByThen) {
  test::TempDir dir;
  ASSERT_EQ(Export((dir.path() / "start.mp4").string()), 0);
  MediaReader file((dir.path() / "start.mp4").string());
  ASSERT_TRUE(file.ok()) << file.error();
  const AVStream* video = file.Stream(AVMEDIA_TYPE_VIDEO);
  const AVStream* audio = file.Stream(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr) << "no sound";
  const auto packets = file.ReadPackets();
  EXPECT_EQ(packets[video->index].size(), Played + 1);
  std::vector<float> heard, music;
  int64_t firstHeard = AV_NOPTS_VALUE;
  ASSERT_TRUE(MediaReader::Decode(audio, packets[audio->index], true, [&](const AVFrame& f) {
    if (firstHeard == AV_NOPTS_VALUE) firstHeard = f.best_effort_timestamp;
    test::AppendFloatSamples(f, heard);
  }));
  MediaReader mp3(test::MusicPath());  // the music as a player of the file hears it
  const AVStream* stream = mp3.Stream(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(MediaReader::Decode(stream, mp3.ReadPackets()[stream->index], true,
                                  [&](const AVFrame& f) { test::AppendFloatSamples(f, music); }));
  const int rate = audio->codecpar->sample_rate;
  const auto channels = static_cast<size_t>(audio->codecpar->ch_layout.nb_channels);
  const double heardFrom = static_cast<double>(firstHeard) * av_q2d(audio->time_base);
  EXPECT_GE(heardFrom, 0.0);
  EXPECT_LT(heardFrom, 0.03) << "the sound starts with the video, within an MP3 packet";
  // A tenth of a second in (past the packets a decoder needs to settle), the
  // sound is the music at the same moment plus the music's time at the start.
  const size_t at = static_cast<size_t>(rate) / 10;
  const double when = heardFrom + static_cast<double>(at) / rate + MusicAtStart;
  const auto want = static_cast<size_t>(std::lround(when * rate));
  const size_t window = static_cast<size_t>(rate) * 5 / 1000, probe = 4096 * channels;
  ASSERT_GT(heard.size(), at * channels + probe);
  size_t found = 0;
  for (size_t d = want - window; d <= want + window && found == 0; ++d)
    if (std::equal(heard.begin() + at * channels, heard.begin() + at * channels + probe,
                   music.begin() + d * channels))
      found = d;
  ASSERT_NE(found, 0u) << "the music at " << when << " s is not heard within 5 ms";
  // MP4 places a track's start in whole milliseconds (its edit list).
  EXPECT_NEAR(static_cast<double>(found), static_cast<double>(want), rate / 1000.0);
  for (size_t i = at * channels; i < heard.size(); ++i)
    ASSERT_EQ(heard[i], music[(found - at) * channels + i]) << "sample " << i / channels;
}

// Guards against a picture that is not the show's screen at that moment, a
// SAUCE record without the size, iCE colours and font, and a missing --at.
TEST(ArtExport, EachFormatHoldsTheScreenAtItsMoment) {
  const test::TempDir dir;
  const std::vector<Record> records = test::RecordDefaultShow();
  // 64.158, the show's length, is its last frame.
  for (const char* at : {"6", "42.5", "64.158"}) {
    ScreenCells expected;
    ASSERT_TRUE(FrameAt(records, static_cast<uint32_t>(std::stod(at) * 1000 / 17), expected));
    for (const char* extension : {"ans", "bin", "xb"}) {
      SCOPED_TRACE(std::string(extension) + " at " + at);
      const std::string file = (dir.path() / ("shot." + std::string(extension))).string();
      const test::ShellRun run = Cellshow({"--export", file, "--at", at});
      ASSERT_EQ(run.status, 0) << run.err;
      const std::vector<uint8_t> bytes = test::ReadBytes(file);
      const sauce::Record record = sauce::Read(bytes.data(), bytes.size());
      EXPECT_TRUE(record.present);
      EXPECT_EQ(record.fontName, "IBM VGA50");
      EXPECT_EQ(record.flags & sauce::IceColours, sauce::IceColours);
      EXPECT_EQ(record.title.rfind("cellshow at ", 0), 0u) << record.title;
      ArtImage art;
      const ArtFormat format = ArtFormatOf(bytes.data(), bytes.size(), ArtFormat::Ansi);
      ASSERT_EQ(ReadArt(bytes.data(), bytes.size(), format, art), "");
      ASSERT_EQ(art.width, 80);
      ASSERT_EQ(art.height, 50);
      for (int i = 0; i < ScreenCellCount; ++i) {
        const int ch = expected[i].Char & 0xFF;
        // .ans cannot hold the five control bytes as glyphs.
        if (format != ArtFormat::Ansi ||
            (ch != 9 && ch != 10 && ch != 13 && ch != 26 && ch != 27)) {
          ASSERT_EQ(art.cells[i].Char, ch) << i;
        }
        ASSERT_EQ(art.cells[i].Attributes, expected[i].Attributes & 0xFF) << i;
      }
    }
  }
  // Like .png, each needs --at.
  const test::ShellRun run = Cellshow({"--export", (dir.path() / "x.xb").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("needs --at SECONDS"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace cellshow
