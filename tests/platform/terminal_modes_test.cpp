// The terminal backend's fixed pieces: its modes, colour choice, sizes and
// the --stats report.
#include "platform/terminal/terminal_modes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace cellshow {
namespace {

TEST(TerminalModes, ShowModesAreRawWithSignalsAndLeaveTheRestAlone) {
  termios cooked{};
  cooked.c_iflag = ICRNL | IXON | IXANY | IUTF8;
  cooked.c_oflag = OPOST | ONLCR;
  cooked.c_cflag = CS8 | CREAD;
  cooked.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL;
  cooked.c_cc[VMIN] = 0;
  cooked.c_cc[VTIME] = 5;
  cooked.c_cc[VINTR] = 3;
  const termios show = MakeShowModes(cooked);
  EXPECT_EQ(show.c_lflag & (ICANON | ECHO | ECHOE | ECHOK | IEXTEN), 0u);
  EXPECT_EQ(show.c_lflag & (ISIG | NOFLSH), ISIG | NOFLSH);  // Ctrl-C ends, nothing is flushed
  EXPECT_EQ(show.c_iflag & (ICRNL | IXON), 0u);              // Ctrl-S is a key, not a freeze
  EXPECT_EQ(show.c_iflag & (IXANY | IUTF8), static_cast<tcflag_t>(IXANY | IUTF8));
  EXPECT_EQ(show.c_oflag & OPOST, 0u);
  EXPECT_EQ(show.c_cflag, cooked.c_cflag);
  EXPECT_EQ(show.c_cc[VMIN], 1);
  EXPECT_EQ(show.c_cc[VTIME], 0);
  EXPECT_EQ(show.c_cc[VINTR], 3);
}

TEST(TerminalModes, TrueColorFollowsTheOptionThenColorterm) {
  struct Case {
    ColorMode mode;
    const char* colorterm;
    bool trueColor;
  } cases[] = {
      {ColorMode::Auto, nullptr, false},     {ColorMode::Auto, "truecolor", true},
      {ColorMode::Auto, "24bit", true},      {ColorMode::Auto, "yes", false},
      {ColorMode::Auto, "", false},          {ColorMode::Ansi16, "truecolor", false},
      {ColorMode::TrueColor, nullptr, true}, {ColorMode::TrueColor, "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseTrueColor(c.mode, c.colorterm), c.trueColor)
        << static_cast<int>(c.mode) << " " << (c.colorterm ? c.colorterm : "(unset)");
  }
}

TEST(TerminalModes, UnknownSizesCountAsTheGrid) {
  struct Case {
    unsigned columns, rows;
    int wantColumns, wantRows;
  } cases[] = {{0, 0, 80, 50},   {0, 24, 80, 50},    {132, 0, 80, 50},
               {80, 24, 80, 24}, {200, 60, 200, 60}, {1, 1, 1, 1}};
  for (const Case& c : cases) {
    const TerminalSize size = SizeFromKernel(c.columns, c.rows);
    EXPECT_EQ(size.columns, c.wantColumns) << c.columns << "x" << c.rows;
    EXPECT_EQ(size.rows, c.wantRows) << c.columns << "x" << c.rows;
  }
}

TEST(TerminalModes, SequencesEndWhatTheyStart) {
  const std::string enter = EnterSequence, restore = RestoreSequence;
  EXPECT_NE(enter.find("\x1b[?1049h"), std::string::npos);
  EXPECT_NE(enter.find("\x1b[?25l"), std::string::npos);
  EXPECT_NE(enter.find("\x1b[8;50;80t"), std::string::npos);
  // The restore starts with ESC (it ends a cut sequence), shows the cursor
  // before leaving the alternate screen, and asks nothing of the terminal.
  EXPECT_EQ(restore[0], '\x1b');
  EXPECT_LT(restore.find("\x1b[?25h"), restore.find("\x1b[?1049l"));
  for (const std::string& s : {enter, restore, std::string(ReenterSequence)}) {
    EXPECT_EQ(s.find("\x1b[6n"), std::string::npos);  // no query whose reply would be a key
    EXPECT_EQ(s.find("\x1b[c"), std::string::npos);
  }
  EXPECT_EQ(Length(RestoreSequence), restore.size());
}

TEST(TerminalModes, StatsReportEveryFigure) {
  TickStats ticks;
  ticks.periodNs = 17000000;
  ticks.ticks = 3773;
  ticks.firstTickNs = 17000100;
  ticks.lastTickNs = 64141000200;
  ticks.meanPeriodNs = 17000000;
  ticks.p99LatenessNs = 250000;
  ticks.worstLatenessNs = 1500000;
  ticks.sampled = 3773;
  WriterStats frames;
  frames.presented = 1500;
  frames.skipped = 12;
  frames.framesWritten = 1488;
  frames.writeCalls = 1490;
  frames.bytesWritten = 3000100;
  frames.frameBytes = 2976000;
  char text[2048];
  const size_t n = FormatRunStats(ticks, frames, text, sizeof text);
  const std::string report(text, n);
  for (const char* want :
       {"ticks run              3773", "mean tick period       17.000 ms",
        "lateness p99 / worst   0.250 ms / 1.500 ms", "64141.0 ms after the timer started",
        "3773 x 17 ms = 64141.0 ms", "frames presented       1500", "frames skipped         12",
        "bytes written          3000100", "mean bytes per present 2000.0"}) {
    EXPECT_NE(report.find(want), std::string::npos) << want << "\n" << report;
  }
  // A short buffer gets a cut, terminated report.
  char small[16];
  EXPECT_EQ(FormatRunStats(ticks, frames, small, sizeof small), sizeof small - 1);
  EXPECT_EQ(small[sizeof small - 1], '\0');
}

}  // namespace
}  // namespace cellshow
