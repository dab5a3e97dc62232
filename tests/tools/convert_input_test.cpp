// `cellshow-data convert` on ANSI art and OBJ models, every kind of bad
// input, and `cellshow-data check`, through the real program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "data_tool.h"
#include "render/art/sauce.h"
#include "show_data.h"
#include "support/media_writer.h"
#include "support/shell_run.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

namespace fs = std::filesystem;
using test::CellFile;
using test::ProgramRun;
using test::RunDataTool;
using test::TempDir;

std::string Q(const fs::path& p) { return test::ShellQuote(p.string()); }

// `cellshow-data convert` with these words: options and numbers as they are,
// any other word a file in `d`.
ProgramRun Convert(const fs::path& d, const std::string& words) {
  std::string arguments;
  std::istringstream in(words);
  for (std::string w; in >> w;)
    arguments +=
        " " + (w[0] == '-' || std::isdigit(static_cast<unsigned char>(w[0])) ? w : Q(d / w));
  return RunDataTool("convert" + arguments);
}

// Nothing of a conversion's (a temporary file) is left beside DEST.
void ExpectNothingLeftIn(const fs::path& d) {
  for (const auto& entry : fs::directory_iterator(d))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

// 60 rows of art; row r starts with the letter 'A' + r % 26 in colour r % 8
// on blue, the rest blank.
std::vector<uint8_t> TallArt() {
  std::string art;
  for (int r = 0; r < 60; ++r)
    art += "\x1b[0;3" + std::to_string(r % 8) + ";44m" +
           std::string(1, static_cast<char>('A' + r % 26)) + "\x1b[0m \r\n";
  return Text(art);
}

TEST(ConvertArt, ArtBecomesCellsThatScrollAndOverlaysWithNothingTransparent) {
  const TempDir dir;
  dir.Write("tall.ans", TallArt());
  // hit.img: 143 frames, frame k shows rows k.. until row 59 is at the
  // bottom (from frame 10 on).
  ProgramRun run = Convert(dir.path(), "tall.ans hit.img");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  CellFile file = test::ReadCellFile((dir.path() / "hit.img").string());
  ASSERT_EQ(file.frames(), 143u);
  for (const size_t frame : {0u, 1u, 10u, 11u, 142u}) {
    const int top = static_cast<int>(std::min<size_t>(frame, 10));
    for (int row = 0; row < 50; ++row) {
      const int art = top + row;
      ASSERT_EQ(file.Char(frame, 0, row), 'A' + art % 26) << frame << " " << row;
      // ANSI 3x is console colour with red and blue swapped.
      const int ansi = art % 8, console = (ansi & 2) | (ansi & 1) << 2 | (ansi & 4) >> 2;
      ASSERT_EQ(file.Attribute(frame, 0, row), 0x10 | console);
    }
  }
  // tr.img from row 5: rows 5 to 12, blanks drawn (character 0, not 32).
  run = Convert(dir.path(), "--row 5 tall.ans tr.img");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  file = test::ReadCellFile((dir.path() / "tr.img").string());
  ASSERT_EQ(file.bytes.size(), 8000u);
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(file.Char(0, 0, row), 'A' + (row + 5));
    EXPECT_EQ(file.Char(0, 1, row), 0) << "a blank of the art must stay opaque";
  }
  EXPECT_EQ(file.Char(0, 0, 8), 32) << "rows past the strip are transparent";
  // An XBin with its own font says so, and converts.
  std::vector<uint8_t> xbin = {'X', 'B', 'I', 'N', 26, 80, 0, 1, 0, 8, 2};
  xbin.insert(xbin.end(), 8 * 256, 0xAA);
  for (int i = 0; i < 80; ++i) xbin.insert(xbin.end(), {static_cast<uint8_t>('a' + i % 26), 0x1E});
  dir.Write("font.xb", xbin);
  run = Convert(dir.path(), "font.xb tr3.img");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("its own font is not used"), std::string::npos) << run.out;
  file = test::ReadCellFile((dir.path() / "tr3.img").string());
  EXPECT_EQ(file.Char(0, 3, 0), 'd');
  EXPECT_EQ(file.Attribute(0, 3, 0), 0x1E);
}

// A triangle and a square face sharing an edge: 6 edges into lc1.txt's 5
// is an error; a triangle fits, padded with edges of no length, scaled to
// the default model's size and centred where it is.
TEST(ConvertModel, ObjEdgesFillTheTableAtTheDefaultModelsSizeAndPlace) {
  const TempDir dir;
  dir.Write(
      "two.obj",
      Text("# two faces\nv 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nv 1 3 0\nf 1 2 3 4\nf 4/1 3/2 5/3\n"));
  dir.Write("tri.obj", Text("v 0 0 0\nv 4 0 0\nv 0 4 0\nl 1 2 3 -3\n"));
  ProgramRun run = Convert(dir.path(), "two.obj lc1.txt");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "cellshow-data: " + (dir.path() / "two.obj").string() +
                         " has 6 edges; the file holds 5\n");
  EXPECT_FALSE(fs::exists(dir.path() / "lc1.txt"));
  run = Convert(dir.path(), "two.obj lc3.txt");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(test::ReadBytes(dir.path() / "lc3.txt").size(), 216u);

  run = Convert(dir.path(), "tri.obj lc2.txt");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<uint8_t> bytes = test::ReadBytes(dir.path() / "lc2.txt");
  ASSERT_EQ(bytes.size(), 96u);
  std::vector<Vertex> v(8);  // x, y and z of each as 32-bit integers
  std::memcpy(v.data(), bytes.data(), bytes.size());
  // Edges 1-2, 2-3, 3-1; then one of no length at the first vertex.
  EXPECT_EQ(v[1].x, v[2].x);
  EXPECT_EQ(v[3].y, v[4].y);
  EXPECT_EQ(v[5].x, v[0].x);
  EXPECT_EQ(v[6].x, v[0].x);
  EXPECT_EQ(v[7].y, v[0].y);
  // OBJ's y is up, the show's down: the third vertex is above the first.
  EXPECT_LT(v[4].y, v[0].y);
  // Halved in y: the legs are 4 units across and 2 down, at any scale.
  EXPECT_NEAR(static_cast<double>(v[0].y - v[4].y) / (v[2].x - v[0].x), 0.5, 0.01);
  // Centred where the default model B is, at its size.
  const std::vector<Vertex> b = datagen::MakeModelB();
  auto middle = [](const std::vector<Vertex>& m, int32_t Vertex::*axis) {
    int32_t lo = m[0].*axis, hi = lo;
    for (const Vertex& p : m) lo = std::min(lo, p.*axis), hi = std::max(hi, p.*axis);
    return (lo + hi) / 2.0;
  };
  EXPECT_NEAR(middle(v, &Vertex::x), middle(b, &Vertex::x), 2);
  EXPECT_NEAR(middle(v, &Vertex::y), middle(b, &Vertex::y), 2);
}

// Every kind of bad input: one line on stderr, the exit status, and an
// existing DEST untouched, with no file left beside it.
TEST(ConvertErrors, BadInputGetsOneLineAndLeavesDestAsItWas) {
  const TempDir dir;
  const fs::path d = dir.path();
  dir.Write("noise.png", std::vector<uint8_t>(5000, 0x5A));
  dir.Write("zero.png", test::LargePng(0, 0));
  dir.Write("huge.png", test::LargePng(20000, 20000));
  dir.Write("cut.xb", {'X', 'B', 'I', 'N', 26, 80, 0, 50, 0, 8, 4, 0xC3, 'a', 1});
  dir.Write("garbage.ans", Text("fine\r\n\x1b[1;31m red \x1b\x07 then garbage"));
  std::vector<uint8_t> wide = Text("x");
  sauce::Record record;  // a SAUCE width of 160
  record.dataType = sauce::Character, record.fileType = sauce::AnsiFileType, record.info[0] = 160;
  sauce::Append(wide, record, 1);
  dir.Write("wide.ans", wide);
  dir.Write("flat.obj", Text("v 0 0 0\nv 1 1 1\n"));
  dir.Write("bad.obj", Text("v 0 0 0\nl 1 7\n"));
  test::WriteWave((d / "tone.wav").string(), std::vector<int16_t>(4410, 1000), 44100);
  test::WriteVideo((d / "clip.mkv").string(), 32, 20, 10, 50, [](int n, test::Picture& p) {
    std::fill(p.begin(), p.end(), test::Rgba(n, 0, 0));
  });
  test::WritePng((d / "red.png").string(), 16, 16, test::Picture(16 * 16, test::Rgba(200, 0, 0)));
  dir.Write("locked.png", test::ReadBytes(d / "red.png"));
  chmod((d / "locked.png").c_str(), 0);
  // The whole line after "cellshow-data: " (@ is the folder), or for the
  // usage errors (status 2) after "cellshow-data convert: ".
  struct Case {
    const char* arguments;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {"missing.png img.txt", 1, "@missing.png: No such file or directory"},
      {"locked.png img.txt", 1, "@locked.png: Permission denied"},
      {"noise.png img.txt", 1, "@noise.png has no picture that can be decoded"},
      {"zero.png bl.img", 1, "@zero.png is a picture of no pixels (0x0)"},
      {"huge.png tr.img", 1,
       "@huge.png is 20000x20000 pixels; pictures up to 16384 pixels on a side and 50 megapixels "
       "are read"},
      {"cut.xb hit.img", 1,
       "@cut.xb is not readable art: it ends after 4 of its 4000 cells (truncated)"},
      {"garbage.ans img.txt", 1,
       "@garbage.ans is not readable art: a broken escape sequence at byte 18"},
      {"wide.ans img.txt", 1, "@wide.ans is 160 columns wide; the show's grid is 80"},
      {"flat.obj lc1.txt", 1, "@flat.obj has no edges (no l lines or f faces)"},
      {"bad.obj lc1.txt", 1, "@bad.obj line 2 names a vertex '7' that is not there"},
      {"red.png 03.mp3", 1, "@red.png has no sound"},
      {"tone.wav img.txt", 1, "@tone.wav has no picture"},
      {"red.png nowhere/img.txt", 1, "cannot write @nowhere/img.txt: No such file or directory"},
      {"--start 5 tone.wav 03.mp3", 1, "@tone.wav has no sound to decode"},
      {"--start 9 red.png bl.img", 0, ""},  // a still picture has no end
      {"--start 30 clip.mkv img.txt", 1,
       "@clip.mkv is 0.200 s long: --start 30.000 is past its end"},
      {"red.png picture.img", 2,
       "cannot tell what to make of 'picture.img': name DEST img.txt, hit.img, bl.img, tr.img, "
       "tr2.img, tr3.img, lc1.txt, lc2.txt, lc3.txt or 03.mp3"},
      {"--fit=zoom red.png img.txt", 2, "--fit must be contain, cover or stretch, not 'zoom'"},
      {"--row 3 red.png img.txt", 2, "--row goes with ANSI art (.ans, .bin, .xb)"},
      {"--start -1 red.png img.txt", 2, "--start needs a time in seconds such as 12.5, not '-1'"},
      {"red.png", 2, "needs SRC and DEST"},
      {"garbage.ans 03.mp3", 2, "ANSI art makes animations and overlays, not 03.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string arguments = c.arguments;
    if (arguments.starts_with("locked") && geteuid() == 0) continue;  // root reads any file
    // An existing DEST, to be left as it was.
    const std::string dest = arguments.substr(arguments.rfind(' ') + 1);
    const bool destExists =
        fs::exists((d / dest).parent_path()) && dest.find('.') != std::string::npos;
    if (destExists) dir.Write(dest, Text("before"));
    const ProgramRun run = Convert(d, arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.exitCode != 0) {
      std::string line = c.message;
      for (size_t at; (at = line.find('@')) != std::string::npos;)
        line.replace(at, 1, (d / "").string());
      EXPECT_EQ(run.err, c.exitCode == 2 ? "cellshow-data convert: " + line + " (try --help)\n"
                                         : "cellshow-data: " + line + "\n");
      EXPECT_TRUE(!destExists || test::ReadBytes(d / dest) == Text("before")) << "DEST changed";
    }
    ExpectNothingLeftIn(d);
    fs::remove(d / dest);
  }
}

// Ctrl-C while a conversion runs: the program dies by the signal, and
// neither its temporary file nor a changed DEST is left.
TEST(ConvertErrors, InterruptedConversionLeavesNothingBehind) {
  const TempDir dir;
  const fs::path d = dir.path();
  test::WriteVideo((d / "clip.mkv").string(), 320, 200, 250, 50, [](int n, test::Picture& p) {
    for (size_t i = 0; i < p.size(); ++i)
      p[i] = test::Rgba(static_cast<uint8_t>(i * 7 + n), static_cast<uint8_t>(i / 320 + 3 * n), 90);
  });
  dir.Write("hit.img", Text("before"));
  const pid_t child = fork();
  if (child == 0) {
    execl(CELLSHOW_DATA_TOOL, CELLSHOW_DATA_TOOL, "convert", (d / "clip.mkv").c_str(),
          (d / "hit.img").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Once the temporary file is there, the conversion is under way.
  bool started = false;
  for (int i = 0; i < 3000 && !started; ++i) {
    for (const auto& entry : fs::directory_iterator(d))
      started |= entry.path().filename().string().rfind(".hit.img.", 0) == 0;
    if (!started) usleep(1000);
  }
  EXPECT_TRUE(started);
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(test::ReadBytes(d / "hit.img"), Text("before"));
  ExpectNothingLeftIn(d);
}

TEST(DataCheck, SaysWhatEachFileHoldsAndWhatTheShowDoesWhenOneIsShort) {
  const TempDir dir;
  const fs::path d = dir.path() / "data";
  ASSERT_EQ(RunDataTool(Q(d)).exitCode, 0);
  ProgramRun run = RunDataTool("check " + Q(d));
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("All ten files are complete."), std::string::npos) << run.out;
  // Shorten or remove some.
  fs::resize_file(d / "img.txt", 40 * 8000 + 300);
  fs::resize_file(d / "hit.img", 142 * 8000);  // every shown frame is there
  fs::resize_file(d / "tr2.img", 1000);
  fs::resize_file(d / "lc3.txt", 100);
  fs::remove(d / "03.mp3");
  run = RunDataTool("check " + Q(d));
  EXPECT_EQ(run.exitCode, 1);
  const std::pair<const char*, const char*> lines[] = {
      {"img.txt",
       "40 frames, 63 shown: short; the frames after the 40th show the last one read again (the "
       "cut frame 41 draws only its first 150 cells)"},
      {"hit.img", "142 frames, 142 shown: complete"},
      {"bl.img", "138 frames, 137 shown: complete"},
      {"tr2.img", "short (1000 of 1280 bytes); the cells after are transparent"},
      {"lc3.txt", "short (100 of 216 bytes); the coordinates after are 0"},
      {"03.mp3", "missing: the show is silent"},
  };
  for (const auto& [file, says] : lines) {
    const size_t at = run.out.find(std::string("  ") + file);
    ASSERT_NE(at, std::string::npos) << file << "\n" << run.out;
    const std::string text = run.out.substr(at, run.out.find('\n', at) - at);
    EXPECT_NE(text.find(says), std::string::npos) << text;
  }
  EXPECT_NE(run.out.find("\n4 files not complete; the show plays with what there is.\n"),
            std::string::npos);
  run = RunDataTool("check " + Q(dir.path() / "nothing"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "cellshow-data: " + (dir.path() / "nothing").string() + " is not a folder\n");
}

}  // namespace
}  // namespace cellshow
