// The whole show (3773 ticks, 64.141 s) in a terminal: it ends on time by
// itself, in a pane too small for the grid and behind a terminal that reads
// only a few kilobytes a second, and scaled into a pane of 80x24.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <time.h>
#include <vterm.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/terminal/terminal_modes.h"
#include "render/ansi/frame_encoder.h"
#include "support/pty_child.h"
#include "support/shell_run.h"
#include "support/temp_dir.h"
#include "support/timing.h"
#include "support/tmux_pane.h"

namespace cellshow {
namespace {

using test::PtyChild;
using test::ReadText;
using test::ShellQuote;
using test::TempDir;
using test::TmuxPane;

constexpr double ShowSeconds = 3773 * 0.017;  // 64.141

double Seconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The first number after `label` in the --stats report.
double StatsFigure(const std::string& report, const std::string& label) {
  const size_t at = report.find(label);
  if (at == std::string::npos) return -1;
  return std::stod(report.substr(at + label.size()));
}

// The show kept its time by its own --stats figures: all its ticks ran,
// hardly a grid point was dropped (a tick held up by the terminal would drop
// dozens), and the process ended soon after the last tick.
void ExpectOnTime(const std::string& report, double took) {
  const size_t ticks = report.find("ticks run"), times = report.find("first / last tick");
  unsigned run = 0, dropped = 0;
  double first = 0, last = 0;
  ASSERT_NE(ticks, std::string::npos) << report;
  ASSERT_NE(times, std::string::npos) << report;
  ASSERT_EQ(std::sscanf(report.c_str() + ticks, "ticks run %u (%u", &run, &dropped), 2);
  ASSERT_EQ(std::sscanf(report.c_str() + times, "first / last tick %lf ms / %lf", &first, &last),
            2);
  EXPECT_EQ(run, 3773u) << report;
  EXPECT_LE(dropped, 3773u / 50) << report;
  EXPECT_GT(took, ShowSeconds - 0.05);
  EXPECT_LT(took - last / 1000, 2.0 * test::TimingScale) << "the end was held up";
}

bool AllBlack(const std::string& bytes) {
  VTerm* vt = vterm_new(50, 80);
  vterm_set_utf8(vt, 1);
  VTermScreen* screen = vterm_obtain_screen(vt);
  vterm_screen_reset(screen, 1);
  vterm_input_write(vt, bytes.data(), bytes.size());
  bool black = true;
  for (int row = 0; row < 50 && black; ++row) {
    for (int column = 0; column < 80 && black; ++column) {
      VTermScreenCell cell{};
      vterm_screen_get_cell(screen, VTermPos{row, column}, &cell);
      vterm_screen_convert_color_to_rgb(screen, &cell.bg);
      black = (cell.chars[0] == 0 || cell.chars[0] == ' ') && cell.bg.rgb.red == 0 &&
              cell.bg.rgb.green == 0 && cell.bg.rgb.blue == 0;
    }
  }
  vterm_free(vt);
  return black;
}

TEST(TerminalLong, ASlowTerminalNeverSlowsTheShow) {
  TempDir folder;
  std::filesystem::create_directory(folder.path() / "data");
  PtyChild::Setup setup;
  setup.args = {"--mute", "--stats", "--data", (folder.path() / "data").string()};
  setup.workingDirectory = folder.path().string();
  const double start = Seconds();
  PtyChild show(CELLSHOW_BINARY, setup);
  ASSERT_TRUE(show.ReadSlowlyUntilExit(4000, 90000));  // 4 kB/s
  const double took = Seconds() - start;
  EXPECT_TRUE(WIFEXITED(show.status()) && WEXITSTATUS(show.status()) == 0);
  const std::string& out = show.output();
  const size_t restored = out.rfind(RestoreSequence);
  ASSERT_NE(restored, std::string::npos) << "the terminal was not restored";
  EXPECT_TRUE(AllBlack(out.substr(0, restored))) << "the last frame shown is not black";
  const std::string report = out.substr(restored);
  ExpectOnTime(report, took);
  EXPECT_GT(StatsFigure(report, "frames skipped"), 0) << report;
  RecordProperty("seconds", std::to_string(took));
}

TEST(TerminalLong, AnUndersizedPaneShowsTheNoticeAndTheShowEndsOnTime) {
  TempDir folder;
  std::filesystem::create_directory(folder.path() / "data");
  TmuxPane pane("cellshow-small", 80, 24);
  ASSERT_TRUE(pane.ok());
  pane.TypeLine("cd " + ShellQuote(folder.path().string()));
  const double start = Seconds();
  pane.TypeLine(ShellQuote(CELLSHOW_BINARY) + " --mute --stats --fit=never 2> stats; echo EXIT=$?");
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 5000));
  ASSERT_TRUE(pane.WaitForText("cellshow needs 80x50 - this terminal is 80x24", 3000))
      << pane.Capture();
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 80000)) << pane.Capture();
  const double took = Seconds() - start;
  EXPECT_EQ(pane.Format("#{alternate_on}"), "0");
  EXPECT_EQ(pane.Format("#{cursor_flag}"), "1");
  ExpectOnTime(ReadText(folder.path() / "stats"), took);
  RecordProperty("seconds", std::to_string(took));
}

// The whole default show scaled into an 80x24 pane in 24-bit colour: every
// tick runs and the show ends by itself. The shell's `times` gives the
// program's processor time, recorded (not judged: the machine is shared).
TEST(TerminalLong, AScaledPanePlaysTheWholeShow) {
  TempDir folder;
  TmuxPane pane("cellshow-scaled-long", 80, 24);
  ASSERT_TRUE(pane.ok());
  pane.TypeLine("cd " + ShellQuote(folder.path().string()));
  pane.TypeLine("LC_ALL=C.UTF-8 COLORTERM=truecolor " + ShellQuote(CELLSHOW_BINARY) +
                " --mute --stats --data " + ShellQuote(std::string(CELLSHOW_BUILD_DIR) + "/data") +
                " 2> stats; echo EXIT=$?; times > cpu");
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 5000));
  ASSERT_TRUE(pane.WaitForText("\u2580", 5000)) << pane.Capture();
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 90000)) << pane.Capture();
  const std::string report = ReadText(folder.path() / "stats");
  EXPECT_EQ(StatsFigure(report, "ticks run"), 3773) << report;
  // times: the shell's user and system time, then its children's.
  std::stringstream cpu(ReadText(folder.path() / "cpu"));
  std::string shellUser, shellSystem, userText, systemText;
  cpu >> shellUser >> shellSystem >> userText >> systemText;
  auto seconds = [](const std::string& text) {  // "1m2.345s"
    const size_t m = text.find('m');
    return m == std::string::npos
               ? -1.0
               : std::stod(text.substr(0, m)) * 60 + std::stod(text.substr(m + 1));
  };
  const double used = seconds(userText) + seconds(systemText);
  ASSERT_GE(used, 0) << ReadText(folder.path() / "cpu");
  RecordProperty("cpu_share_percent", std::to_string(100 * used / ShowSeconds));
  std::printf("processor time %.2f s over the %.1f s show: %.2f%% of a core\n", used, ShowSeconds,
              100 * used / ShowSeconds);
}

}  // namespace
}  // namespace cellshow
