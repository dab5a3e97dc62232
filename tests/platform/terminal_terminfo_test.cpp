// The real program on a pseudo-terminal of each kind, TERM by locale: a type
// without cursor addressing (or none) is refused with one line and nothing
// else written; otherwise the bytes are what that terminal and character set
// can show, for the grid and for the scaled view of a smaller terminal. The
// screen is read back through an emulated terminal of the same kind (without
// background colour erase where terminfo says so).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/terminal/terminal_modes.h"
#include "support/pty_child.h"
#include "support/sgr_codes.h"
#include "support/show_binary.h"
#include "support/temp_dir.h"
#include "support/vterm_screen.h"

namespace cellshow {
namespace {

using test::DirectBackground;
using test::DirectForeground;
using test::IndexedBackground;
using test::IndexedForeground;
using test::PtyChild;
using test::SgrCodes;

const std::string& EmptyFolder() {
  static const test::TempDir folder;
  static const std::string path = folder.path().string();
  return path;
}

// A Latin-1 locale of our own (LOCPATH), so that no machine needs it
// installed: made once with localedef from the en_US sources.
const std::string& LatinOneLocales() {
  static const test::TempDir folder;
  static const std::string path = [] {
    const std::string dir = folder.path().string();
    const std::string command =
        "localedef -i en_US -f ISO-8859-1 '" + dir + "/en_US.ISO-8859-1' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? dir : std::string();
  }();
  return path;
}

enum class Colours { None, Eight, Sixteen, Direct };

struct Row {
  const char* term;  // nullptr: TERM unset
  const char* locale;
  const char* colorterm;
  std::vector<std::string> options;
  Colours colours;  // None: refused
  bool utf8;
  bool colourErase;
};

TEST(TerminalTerminfo, TermAndLocaleDecideWhatIsWritten) {
  ASSERT_FALSE(LatinOneLocales().empty()) << "localedef could not make en_US.ISO-8859-1";
  // clang-format off
  const Row rows[] = {
      {nullptr, "C.UTF-8", nullptr, {}, Colours::None, false, false},
      {"dumb", "C.UTF-8", nullptr, {}, Colours::None, false, false},
      {"no-such-terminal", "C.UTF-8", nullptr, {}, Colours::None, false, false},
      {"xterm-256color", "C.UTF-8", nullptr, {}, Colours::Sixteen, true, true},
      {"xterm-256color", "C", nullptr, {}, Colours::Sixteen, false, true},
      {"xterm-256color", "en_US.ISO-8859-1", nullptr, {}, Colours::Sixteen, false, true},
      {"xterm-256color", "POSIX", nullptr, {"--glyphs=unicode"}, Colours::Sixteen, true, true},
      {"xterm-256color", "C.UTF-8", "truecolor", {}, Colours::Direct, true, true},
      {"xterm-256color", "C.UTF-8", nullptr, {"--colors=8", "--glyphs=ascii"}, Colours::Eight,
       false, true},
      {"linux", "C.UTF-8", nullptr, {}, Colours::Eight, true, true},
      {"xterm-color", "en_US.ISO-8859-1", nullptr, {}, Colours::Eight, false, true},
      {"screen", "C", nullptr, {}, Colours::Eight, false, false},
      {"tmux-256color", "C.UTF-8", "24bit", {}, Colours::Direct, true, false},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << "TERM=" << (row.term ? row.term : "(unset)") << " LC_ALL=" << row.locale
                 << " COLORTERM=" << (row.colorterm ? row.colorterm : "(unset)"));
    PtyChild::Setup setup;
    setup.columns = 100;
    setup.rows = 60;
    setup.args = {"--mute", "--data", EmptyFolder(), "--key-after", "30"};
    setup.args.insert(setup.args.end(), row.options.begin(), row.options.end());
    setup.environment = {
        {"TERM", row.term},
        {"LC_ALL", row.locale},
        {"COLORTERM", row.colorterm},
        {"LOCPATH",
         std::string(row.locale).starts_with("en_US") ? LatinOneLocales().c_str() : nullptr}};
    PtyChild show(test::ShowBinary(), setup);
    ASSERT_TRUE(show.WaitExit(10000));
    const std::string& out = show.output();

    if (row.colours == Colours::None) {
      EXPECT_TRUE(WIFEXITED(show.status()) && WEXITSTATUS(show.status()) == 2) << show.status();
      EXPECT_EQ(out.find('\x1b'), std::string::npos) << "nothing for the terminal";
      EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
      // The remedy a user wants (which one the display decides), not a recording.
      EXPECT_TRUE(out.find("--window") != std::string::npos ||
                  out.find("--export show.mp4") != std::string::npos)
          << out;
      EXPECT_EQ(out.find("--record"), std::string::npos) << out;
      continue;
    }
    EXPECT_TRUE(WIFEXITED(show.status()) && WEXITSTATUS(show.status()) == 0) << show.status();
    ASSERT_TRUE(out.ends_with(RestoreSequence));

    size_t high = 0;
    for (char c : out) high += static_cast<unsigned char>(c) >= 0x80;
    if (row.utf8) {
      EXPECT_GT(high, 0u) << "the plasma's glyphs in UTF-8";
    } else {
      EXPECT_EQ(high, 0u) << "every byte ASCII";
    }
    bool bright = false, bold = false, direct = false;
    for (int code : SgrCodes(out)) {
      bright = bright || (code >= 90 && code <= 97) || (code >= 100 && code <= 107);
      bold = bold || code == 1;
      direct = direct || code == DirectForeground || code == DirectBackground;
    }
    EXPECT_EQ(bright, row.colours == Colours::Sixteen);
    EXPECT_EQ(bold, row.colours == Colours::Eight) << "bright foregrounds through bold";
    EXPECT_EQ(direct, row.colours == Colours::Direct);

    // Read back on a terminal that erases in colour only where terminfo says
    // so: every cell shows a colour of the show's own, margins included, in
    // the last plasma frame and in the black frame of the end.
    const size_t enter = out.find(EnterSequence);
    const size_t last = out.rfind("\x1b[?2026h");
    ASSERT_NE(enter, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    test::VtermScreen terminal(60, 100, row.colourErase);
    for (const std::string& part :
         {out.substr(enter, last - enter), out.substr(last, out.rfind(RestoreSequence) - last)}) {
      terminal.Feed(part);
      int defaults = 0;
      for (int r = 0; r < 60; ++r) {
        for (int c = 0; c < 100; ++c)
          defaults += terminal.At(r, c).bg.kind == test::VtColor::Default;
      }
      EXPECT_EQ(defaults, 0) << "cells in the terminal's default background";
      RecordProperty("default_background_cells", defaults);
    }
  }
}

// An 80x24 terminal of each kind shows the plasma scaled: in its colours
// (xterm's 256 where terminfo has 256, the 8 on screen, with bold for the
// bright foregrounds of its blocks in UTF-8, 24-bit where COLORTERM says
// so), as blocks in UTF-8 and blanks in ASCII, and with every cell, margins
// included, in a colour of its own.
TEST(TerminalTerminfo, TheScaledViewFollowsTheTerminalToo) {
  enum class Sgr { Xterm256, Normal8, Direct };
  const struct {
    const char* term;
    const char* locale;
    const char* colorterm;
    Sgr sgr;
    bool utf8;
    bool colourErase;
  } rows[] = {
      {"xterm-256color", "C.UTF-8", nullptr, Sgr::Xterm256, true, true},
      {"tmux-256color", "C", nullptr, Sgr::Xterm256, false, false},
      {"screen", "C.UTF-8", nullptr, Sgr::Normal8, true, false},
      {"screen", "C", nullptr, Sgr::Normal8, false, false},
      {"tmux-256color", "C.UTF-8", "truecolor", Sgr::Direct, true, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << "TERM=" << row.term << " LC_ALL=" << row.locale
                 << " COLORTERM=" << (row.colorterm ? row.colorterm : "(unset)"));
    PtyChild::Setup setup;
    setup.columns = 80;
    setup.rows = 24;
    setup.args = {"--mute", "--data", std::string(CELLSHOW_BUILD_DIR) + "/data", "--key-after",
                  "30"};
    setup.environment = {{"TERM", row.term}, {"LC_ALL", row.locale}, {"COLORTERM", row.colorterm}};
    PtyChild show(test::ShowBinary(), setup);
    ASSERT_TRUE(show.WaitExit(10000));
    EXPECT_TRUE(WIFEXITED(show.status()) && WEXITSTATUS(show.status()) == 0) << show.status();
    const std::string& out = show.output();
    ASSERT_TRUE(out.ends_with(RestoreSequence));

    size_t high = 0;
    for (char c : out) high += static_cast<unsigned char>(c) >= 0x80;
    EXPECT_EQ(high > 0, row.utf8) << "half blocks in UTF-8, every byte ASCII otherwise";
    bool bright = false, bold = false, indexed = false, direct = false;
    for (int code : SgrCodes(out)) {
      bright = bright || (code >= 90 && code <= 97) || (code >= 100 && code <= 107);
      bold = bold || code == 1;
      indexed = indexed || code == IndexedForeground || code == IndexedBackground;
      direct = direct || code == DirectForeground || code == DirectBackground;
    }
    EXPECT_FALSE(bright) << "the scaled view's colours are never SGR 90-107";
    EXPECT_EQ(bold, row.sgr == Sgr::Normal8 && row.utf8) << "bold: a bright foreground";
    EXPECT_EQ(indexed, row.sgr == Sgr::Xterm256);
    EXPECT_EQ(direct, row.sgr == Sgr::Direct);

    // The last plasma frame: the one before the black frame of the end.
    const size_t enter = out.find(EnterSequence);
    const size_t last = out.rfind("\x1b[?2026h");
    ASSERT_NE(enter, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    test::VtermScreen terminal(24, 80, row.colourErase);
    terminal.Feed(out.substr(enter, last - enter));
    int defaults = 0, blocks = 0, others = 0;
    for (int r = 0; r < 24; ++r) {
      for (int c = 0; c < 80; ++c) {
        const test::VtCell cell = terminal.At(r, c);
        defaults += cell.bg.kind == test::VtColor::Default;
        // Upper and lower half blocks, and full blocks in a bright colour.
        const bool block =
            cell.glyph == U'\u2580' || cell.glyph == U'\u2584' || cell.glyph == U'\u2588';
        blocks += block;
        others += !block && cell.glyph != U' ';
      }
    }
    EXPECT_EQ(defaults, 0) << "cells in the terminal's default background";
    EXPECT_EQ(others, 0) << "blocks and blanks only";
    EXPECT_EQ(blocks > 0, row.utf8);
  }
}

}  // namespace
}  // namespace cellshow
