// The terminal backend's fixed pieces: its modes, colour choice and sizes.
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

}  // namespace
}  // namespace cellshow
