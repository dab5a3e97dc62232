// The terminal backend's fixed pieces: its modes, the terminal's
// capabilities and sizes.
#include "platform/terminal/terminal_modes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/terminal/terminal_probe.h"

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

// The option decides, else COLORTERM or terminfo's direct-colour flags, else
// terminfo's colour count; glyphs follow the option, else the codeset. (The
// terminfo test plays the common terminals and locales through the program.)
TEST(TerminalModes, CapabilitiesFollowTheOptionsThenTerminfoAndTheLocale) {
  const TerminfoFacts xterm = ReadTerminfo("xterm-256color", -1);
  const TerminfoFacts screen = ReadTerminfo("screen", -1);
  TerminfoFacts direct = screen;
  direct.directColor = true;
  struct Case {
    const char* name;
    TerminfoFacts facts;
    const char* colorterm;
    const char* codeset;
    ColorMode colors;
    GlyphMode glyphs;
    TerminalCapabilities want;
  } cases[] = {
      // clang-format off
      {"screen, lower-case utf8", screen, "", "utf8", ColorMode::Auto, GlyphMode::Auto,
       {ColorDepth::Eight, GlyphSet::Unicode, false}},
      {"COLORTERM=yes", xterm, "yes", "UTF-8", ColorMode::Auto, GlyphMode::Auto,
       {ColorDepth::Sixteen, GlyphSet::Unicode, true}},
      {"RGB flag", direct, nullptr, "UTF-8", ColorMode::Auto, GlyphMode::Auto,
       {ColorDepth::TrueColor, GlyphSet::Unicode, false}},
      {"--colors=16 over the RGB flag", direct, "truecolor", "UTF-8", ColorMode::Ansi16,
       GlyphMode::Auto, {ColorDepth::Sixteen, GlyphSet::Unicode, false}},
      // clang-format on
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(ChooseCapabilities(c.facts, c.colorterm, c.codeset, c.colors, c.glyphs) == c.want)
        << c.name;
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
