// `cellshow-data convert` on pictures, video and sound, through the real
// program: animations take their frames by time at each file's cadence
// (from --start, looping a short source), pictures fit as --fit says,
// overlays keep transparency, music is MP3 of the sound; and the show then
// plays the converted frames at its script's ticks.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "data_tool.h"
#include "platform/headless/recording.h"
#include "render/pixels/vga_palette.h"
#include "support/media_reader.h"
#include "support/media_writer.h"
#include "support/shell_run.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::CellFile;
using test::ProgramRun;
using test::RunDataTool;
using test::ShellQuote;
using test::TempDir;

constexpr int Fps = 50;  // a picture every 20 ms
constexpr int ClipWidth = 160, ClipHeight = 100;

uint32_t Vga(int colour) {
  const Rgb c = VgaPalette[colour & 15];
  return test::Rgba(c.r, c.g, c.b);
}

// Picture n of a clip: its number in three colours, n % 16 on the left
// half, n / 16 % 16 on the right and `mark` + n / 256 in the top rows.
void NumberedClip(const std::string& path, int frames, int mark = 0) {
  test::WriteVideo(path, ClipWidth, ClipHeight, frames, Fps, [&](int n, test::Picture& p) {
    for (int y = 0; y < ClipHeight; ++y)
      for (int x = 0; x < ClipWidth; ++x)
        p[y * ClipWidth + x] = Vga(y < 20 ? mark + n / 256 : x < ClipWidth / 2 ? n % 16 : n / 16);
  });
}

// The picture number frame f shows: a 16:10 clip contained in the 4:3
// screen fills its middle rows.
int ShownNumber(const CellFile& file, size_t f) {
  return (file.Attribute(f, 20, 25) >> 4) + 16 * (file.Attribute(f, 60, 25) >> 4);
}

std::string Q(const std::filesystem::path& p) { return ShellQuote(p.string()); }

// The picture shown at second t of a clip of `pictures` at Fps (each as
// the container times it, in milliseconds), played again from `start` when
// t is past its end: the same arithmetic as the tool's.
int PictureAt(double t, double start, int pictures) {
  const double end = static_cast<double>(20 * (pictures - 1)) * 0.001 + 20 * 0.001;
  if (t >= end) t = start + std::fmod(t - start, std::max(end - start, 1e-3));
  int n = 0;
  while (n + 1 < pictures && static_cast<double>(20 * (n + 1)) * 0.001 <= t) ++n;
  return n;
}

TEST(ConvertMedia, AnimationsTakeTheirFramesByTimeAtTheirCadence) {
  const TempDir dir;
  NumberedClip((dir.path() / "long.mkv").string(), 200);   // 4 s
  NumberedClip((dir.path() / "short.mkv").string(), 100);  // 2 s: loops
  struct Case {
    const char *source, *dest, *options;
    double start;
    int pictures, frames, cadenceMs;
  };
  const Case cases[] = {
      {"long.mkv", "img.txt", "", 0, 200, 63, 34},
      {"long.mkv", "bl.img", "--start 1.5", 1.5, 200, 138, 17},
      {"short.mkv", "hit.img", "", 0, 100, 143, 34},
      {"short.mkv", "hit.img", "--start=1", 1.0, 100, 143, 34},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dest) + " from " + c.source + " " + c.options);
    const auto dest = dir.path() / c.dest;
    const ProgramRun run = RunDataTool("convert " + std::string(c.options) + " " +
                                       Q(dir.path() / c.source) + " " + Q(dest));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find(std::to_string(c.frames) + " frames"), std::string::npos) << run.out;
    const CellFile file = test::ReadCellFile(dest.string());
    ASSERT_EQ(file.bytes.size(), static_cast<size_t>(c.frames) * 8000);
    for (int k = 0; k < c.frames; ++k) {
      const double t = c.start + k * (c.cadenceMs / 1000.0);
      ASSERT_EQ(ShownNumber(file, k), PictureAt(t, c.start, c.pictures)) << "frame " << k;
    }
  }
}

// A 2:1 picture, its left half opaque red and its right half transparent.
TEST(ConvertMedia, PicturesFitAsAskedAndOverlaysKeepTransparency) {
  const TempDir dir;
  test::Picture half(200 * 100);
  // The left half opaque, green in its top quarter and red below; the right
  // half transparent.
  for (int i = 0; i < 200 * 100; ++i)
    half[i] = i % 200 >= 100 ? test::Rgba(0, 0, 0, 0) : i < 200 * 25 ? Vga(2) : Vga(4);
  test::WritePng((dir.path() / "half.png").string(), 200, 100, half);
  // Seen at 4:3 a cell is 8 wide and 9.6 tall: the 80x8 strip is 640 x 77,
  // so a 2:1 picture contained in it is 154 pixels wide, columns 30 to 49.
  // Cover crops the green top away; contain and stretch keep it in row 0.
  struct Case {
    const char* fit;
    int firstRed, lastRed;        // columns of row 4 that are opaque red
    int firstClear;               // the first column after them that is transparent
    int topColumn, topAttribute;  // a cell of row 0 and its colours
  };
  const Case cases[] = {{"contain", 31, 38, 41, 35, 0x20},
                        {"cover", 0, 38, 41, 10, 0x40},
                        {"stretch", 0, 38, 41, 10, 0x20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fit);
    const auto dest = dir.path() / "tr2.img";
    const ProgramRun run = RunDataTool("convert --fit=" + std::string(c.fit) + " " +
                                       Q(dir.path() / "half.png") + " " + Q(dest));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const CellFile file = test::ReadCellFile(dest.string());
    ASSERT_EQ(file.bytes.size(), 8000u);
    for (int column = 0; column < 80; ++column) {
      if (column >= c.firstRed && column <= c.lastRed) {
        EXPECT_NE(file.Char(0, column, 4), 32) << column;
        EXPECT_EQ(file.Attribute(0, column, 4), 0x40) << column;
      } else if (column < c.firstRed - 1 || column >= c.firstClear) {
        EXPECT_EQ(file.Char(0, column, 4), 32) << column << " should be transparent";
      }
    }
    EXPECT_EQ(file.Attribute(0, c.topColumn, 0), c.topAttribute);
    for (int row = 8; row < 50; ++row) EXPECT_EQ(file.Char(0, row * 7 % 80, row), 32) << row;
  }
  // As an animation: a still picture in every frame; black bars above and
  // below (transparent pixels are black).
  const auto dest = dir.path() / "bl.img";
  const ProgramRun run = RunDataTool("convert " + Q(dir.path() / "half.png") + " " + Q(dest));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const CellFile file = test::ReadCellFile(dest.string());
  ASSERT_EQ(file.frames(), 138u);
  for (size_t f = 1; f < file.frames(); ++f)
    ASSERT_TRUE(
        std::equal(file.bytes.begin(), file.bytes.begin() + 8000, file.bytes.begin() + f * 8000));
  EXPECT_EQ(file.Attribute(0, 20, 0), 0x00) << "a black bar above";
  EXPECT_EQ(file.Attribute(0, 20, 25), 0x40) << "red in the middle";
  EXPECT_EQ(file.Attribute(0, 60, 25), 0x00) << "transparent is black";
}

// The music decodes as 44100 Hz stereo MP3 of the tone, from --start on.
TEST(ConvertMedia, MusicIsAnMp3OfTheSound) {
  const TempDir dir;
  std::vector<int16_t> tone(22050 * 3 / 2);  // 1.5 s of 440 Hz at 22050 Hz
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] =
        static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / 22050));
  test::WriteWave((dir.path() / "tone.wav").string(), tone, 22050);
  for (const double start : {0.0, 0.5}) {
    SCOPED_TRACE(start);
    const auto dest = dir.path() / "03.mp3";
    const ProgramRun run = RunDataTool("convert --start " + std::to_string(start) + " " +
                                       Q(dir.path() / "tone.wav") + " " + Q(dest));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    test::MediaReader reader(dest.string());
    ASSERT_TRUE(reader.ok()) << reader.error();
    const AVStream* audio = reader.Stream(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codecpar->codec_id, AV_CODEC_ID_MP3);
    EXPECT_EQ(audio->codecpar->sample_rate, 44100);
    EXPECT_EQ(audio->codecpar->ch_layout.nb_channels, 2);
    const auto packets = reader.ReadPackets();
    std::vector<int16_t> samples;
    ASSERT_TRUE(
        test::MediaReader::Decode(audio, packets[audio->index], true,
                                  [&](const AVFrame& f) { test::AppendSamples(f, samples); }));
    const double seconds = static_cast<double>(samples.size()) / 2 / 44100;
    EXPECT_NEAR(seconds, 1.5 - start, 0.06);
    // Crossings of zero, counted past a margin that the coding noise does
    // not reach.
    int crossings = 0;
    bool high = samples[0] > 0;
    for (size_t i = 0; i < samples.size(); i += 2)
      if ((high && samples[i] < -2000) || (!high && samples[i] > 2000)) high = !high, ++crossings;
    EXPECT_NEAR(crossings / seconds, 880, 20) << "not the 440 Hz tone";
  }
}

// Convert, then the show's own recording: every frame scene 1 and scene 3
// present is one of the converted files', in the order the script plays
// them.
TEST(ConvertMedia, TheShowPlaysTheConvertedFramesAtItsTicks) {
  const TempDir dir;
  NumberedClip((dir.path() / "clip.mkv").string(), 400, 9);  // 8 s
  const auto data = dir.path() / "data";
  ASSERT_EQ(RunDataTool(Q(data)).exitCode, 0);
  for (const auto& [dest, options] :
       std::map<std::string, std::string>{{"img.txt", ""}, {"hit.img", "--start 3"}}) {
    const ProgramRun run =
        RunDataTool("convert " + options + " " + Q(dir.path() / "clip.mkv") + " " + Q(data / dest));
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  const auto recording = dir.path() / "show.rec";
  const test::ShellRun record = test::RunShell(ShellQuote(CELLSHOW_BINARY) + " --record " +
                                               Q(recording) + " --data " + Q(data));
  ASSERT_EQ(record.status, 0) << record.err;
  std::vector<Record> records;
  std::string error;
  ASSERT_TRUE(ReadRecordingFile(recording.string(), records, error)) << error;
  for (const auto& [name, runs] :
       std::map<std::string, std::vector<int>>{{"img.txt", {63, 37}}, {"hit.img", {142}}}) {
    SCOPED_TRACE(name);
    const CellFile file = test::ReadCellFile((data / name).string());
    std::map<std::vector<uint8_t>, int> index;
    for (size_t f = 0; f < file.frames(); ++f)
      index.emplace(
          std::vector<uint8_t>(file.bytes.begin() + f * 8000, file.bytes.begin() + (f + 1) * 8000),
          static_cast<int>(f));
    ASSERT_EQ(index.size(), file.frames()) << "the clip's frames should all differ";
    std::vector<int> expected, shown;
    for (int pass = 0; pass < 2; ++pass)  // each scene plays twice in the script
      for (const int count : runs)
        for (int f = 0; f < count; ++f) expected.push_back(f);
    uint32_t lastTick = 0;
    for (const Record& r : records) {
      if (r.kind != PresentRecord) continue;
      const auto found = index.find(std::vector<uint8_t>(r.cells.begin(), r.cells.end()));
      if (found == index.end()) continue;
      // A frame every second tick (34 ms), except across the loop and the runs.
      EXPECT_TRUE(shown.empty() || found->second == 0 || r.tick - lastTick == 2u)
          << r.tick << " after " << lastTick;
      shown.push_back(found->second);
      lastTick = r.tick;
    }
    EXPECT_EQ(shown, expected);
  }
}

}  // namespace
}  // namespace cellshow
