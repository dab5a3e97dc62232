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

TEST(TerminalModes, ColoursFollowTheOptionThenColortermThenTerm) {
  struct Case {
    ColorMode mode;
    const char* colorterm;
    const char* term;
    ColorDepth depth;
  } cases[] = {
      {ColorMode::Auto, nullptr, nullptr, ColorDepth::Ansi16},
      {ColorMode::Auto, "truecolor", "xterm", ColorDepth::TrueColor},
      {ColorMode::Auto, "24bit", nullptr, ColorDepth::TrueColor},
      {ColorMode::Auto, "yes", "xterm", ColorDepth::Ansi16},
      {ColorMode::Auto, "", "linux", ColorDepth::Ansi16},
      {ColorMode::Auto, nullptr, "xterm-256color", ColorDepth::Xterm256},
      {ColorMode::Auto, "truecolor", "tmux-256color", ColorDepth::TrueColor},
      {ColorMode::Ansi16, "truecolor", "xterm-256color", ColorDepth::Ansi16},
      {ColorMode::Ansi256, nullptr, "dumb", ColorDepth::Xterm256},
      {ColorMode::TrueColor, nullptr, nullptr, ColorDepth::TrueColor},
      {ColorMode::TrueColor, "", "xterm", ColorDepth::TrueColor},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseColorDepth(c.mode, c.colorterm, c.term), c.depth)
        << static_cast<int>(c.mode) << " " << (c.colorterm ? c.colorterm : "(unset)") << " "
        << (c.term ? c.term : "(unset)");
  }
}

TEST(TerminalModes, HalfBlocksOnlyInAUtf8LocaleAndFitAsAsked) {
  Options options;
  for (const char* codeset : {"UTF-8", "utf8"}) {
    EXPECT_TRUE(ChooseView(options, nullptr, nullptr, codeset).halfBlocks) << codeset;
  }
  for (const char* codeset :
       {"ANSI_X3.4-1968", "ISO-8859-1", "", static_cast<const char*>(nullptr)}) {
    EXPECT_FALSE(ChooseView(options, nullptr, nullptr, codeset).halfBlocks)
        << (codeset ? codeset : "(null)");
  }
  EXPECT_EQ(ChooseView(options, nullptr, nullptr, "UTF-8").fit, FitMode::Auto);
  options.fit = FitChoice::Never;
  EXPECT_EQ(ChooseView(options, nullptr, nullptr, "UTF-8").fit, FitMode::Never);
  options.fit = FitChoice::Always;
  EXPECT_EQ(ChooseView(options, nullptr, nullptr, "UTF-8").fit, FitMode::Always);
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
