// The cellshow-data program: the ten files, their sizes and bytes, the music
// as a decoder hears it, and the command line. Each test that writes data
// runs the program once.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "data_tool.h"
#include "show_data.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using namespace cellshow::datagen;
using test::BuildDataFolder;
using test::ProgramRun;
using test::ReadBytes;
using test::RunDataTool;
using test::TempDir;

constexpr const char* FileNames[] = {"img.txt", "hit.img", "bl.img",  "tr.img",  "tr2.img",
                                     "tr3.img", "lc1.txt", "lc2.txt", "lc3.txt", "03.mp3"};

std::vector<uint8_t> Bytes(const Frame& frame) { return {frame.begin(), frame.end()}; }

// Every file but the music at its size, with the bytes that the generator
// makes in this process.
void ExpectTheGeneratorsFiles(const std::string& dir) {
  struct Expected {
    const char* name;
    size_t size;
    std::vector<uint8_t> bytes;
  };
  const Expected files[] = {
      {"img.txt", 63 * 8000, FrameFileBytes(MakeTunnelFrames())},
      {"hit.img", 143 * 8000, FrameFileBytes(MakeStarsAndFlamesFrames())},
      {"bl.img", 138 * 8000, FrameFileBytes(MakeCubeFrames())},
      {"tr.img", 8000, Bytes(MakeOverlay(0))},
      {"tr2.img", 8000, Bytes(MakeOverlay(1))},
      {"tr3.img", 8000, Bytes(MakeOverlay(2))},
      {"lc1.txt", 120, VertexTableBytes(MakeModelA())},
      {"lc2.txt", 96, VertexTableBytes(MakeModelB())},
      {"lc3.txt", 216, VertexTableBytes(MakeModelC())},
  };
  for (const Expected& file : files) {
    SCOPED_TRACE(file.name);
    const std::vector<uint8_t> written = ReadBytes(dir + "/" + file.name);
    EXPECT_EQ(written.size(), file.size);
    EXPECT_TRUE(written == file.bytes) << "the program wrote other bytes than the generator makes";
  }
}

// Decodes the music and checks its format, length and level.
void ExpectTheTune(const std::string& path) {
  ASSERT_EQ(mpg123_init(), MPG123_OK);
  int error = 0;
  mpg123_handle* decoder = mpg123_new(nullptr, &error);
  ASSERT_NE(decoder, nullptr);
  ASSERT_EQ(mpg123_open(decoder, path.c_str()), MPG123_OK);
  long rate = 0;
  int channels = 0, encoding = 0;
  ASSERT_EQ(mpg123_getformat(decoder, &rate, &channels, &encoding), MPG123_OK);
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  ASSERT_EQ(encoding, MPG123_ENC_SIGNED_16);

  std::vector<int16_t> chunk(16384);
  size_t frames = 0, inSecond = 0;
  double sumSquares = 0, sumSecond = 0, loudestSecond = 0;
  int peak = 0;
  for (;;) {
    size_t done = 0;
    const int result = mpg123_read(decoder, reinterpret_cast<unsigned char*>(chunk.data()),
                                   chunk.size() * sizeof(int16_t), &done);
    for (size_t i = 0; i < done / sizeof(int16_t); ++i) {
      const double s = chunk[i] / 32768.0;
      sumSquares += s * s;
      sumSecond += s * s;
      peak = std::max(peak, std::abs(static_cast<int>(chunk[i])));
      if (++inSecond == 2 * 44100) {
        loudestSecond = std::max(loudestSecond, std::sqrt(sumSecond / inSecond));
        sumSecond = 0;
        inSecond = 0;
      }
    }
    frames += done / sizeof(int16_t) / 2;
    if (result == MPG123_DONE) break;
    ASSERT_EQ(result, MPG123_OK) << mpg123_strerror(decoder);
  }
  mpg123_close(decoder);
  mpg123_delete(decoder);

  // The info frame tells the decoder the encoder's delay and padding, so it
  // gives back exactly the samples that were synthesized.
  EXPECT_EQ(frames, MakeMusic().size() / MusicChannels);
  EXPECT_GE(frames, 45u * 44100);
  EXPECT_GT(std::sqrt(sumSquares / (2.0 * frames)), 0.05) << "too quiet";
  EXPECT_GT(loudestSecond, 0.1);
  EXPECT_LT(peak, 32767) << "clipped";
  // About 128 kbit/s: 45 s is some 720 kB.
  const size_t bytes = ReadBytes(path).size();
  EXPECT_GT(bytes, 600000u);
  EXPECT_LT(bytes, 800000u);
}

TEST(DataTool, MakesTheTenFilesInANewFolderAndReportsEach) {
  const TempDir folder;
  const std::string dir = (folder.path() / "made/data").string();  // both levels are new
  const ProgramRun run = RunDataTool("'" + dir + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* name : FileNames)
    EXPECT_NE(run.out.find(std::string("  ") + name + ": "), std::string::npos)
        << name << " not reported:\n"
        << run.out;
  EXPECT_NE(run.out.find("Done"), std::string::npos);
  ExpectTheGeneratorsFiles(dir);
  ExpectTheTune(dir + "/03.mp3");
}

// A second run, over a folder that holds an older and longer file and a
// half-written one, gives byte for byte what the build's run gave.
TEST(DataTool, ReplacesWhatTheFolderHeldWithTheSameBytesAsEveryRun) {
  const TempDir folder;
  const std::string dir = folder.path().string();
  folder.Write("img.txt", std::vector<uint8_t>(600000, 'x'));
  folder.Write("03.mp3.part", {'h', 'a', 'l', 'f'});
  const ProgramRun run = RunDataTool("'" + dir + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* name : FileNames) {
    const std::vector<uint8_t> bytes = ReadBytes(dir + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(bytes == ReadBytes(BuildDataFolder() + "/" + name))
        << name << " differs from the build's run";
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

TEST(DataTool, CommandLineErrorsAndFoldersThatCannotBeWritten) {
  const TempDir folder;
  folder.Write("plain-file", {'x'});
  const std::string file = (folder.path() / "plain-file").string();
  struct Case {
    std::string arguments;
    int exitCode;
    const char* message;  // expected in stderr, or in stdout for --help
  };
  const Case cases[] = {
      {"--help", 0, "Usage: cellshow-data DIR"},
      {"-h", 0, "Usage: cellshow-data DIR"},
      {"", 2, "no folder given"},
      {"--frames 3 x", 2, "unknown option '--frames'"},
      {"a b", 2, "one folder only"},
      {"'" + file + "'", 1, "is not a folder"},
      {"'" + file + "/data'", 1, "is not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProgramRun run = RunDataTool(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode);
    const std::string& text = c.exitCode == 0 ? run.out : run.err;
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace cellshow
