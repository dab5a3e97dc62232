// The real program in a tmux pane, as a user runs it from a shell: it takes
// the pane over, shows the plasma's red band, and at every end gives back the
// main screen, the cursor and the shell's modes, with the exit status the
// shell expects.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/temp_dir.h"
#include "support/timing.h"
#include "support/tmux_pane.h"

namespace cellshow {
namespace {

using test::ReadText;
using test::ShellQuote;
using test::SleepMs;
using test::TempDir;
using test::TmuxPane;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Reads tmux's capture-pane -e text (SGR codes only where the colours change,
// carried across lines) and tells, cell by cell, whether the background is
// the console's red: SGR 41, or 128,0,0 in 24-bit colour.
std::vector<std::vector<bool>> RedBackgrounds(const std::string& capture) {
  std::vector<std::vector<bool>> rows(1);
  bool red = false;
  for (size_t i = 0; i < capture.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(capture[i]);
    if (c == '\n') {
      rows.emplace_back();
    } else if (c == 0x1b && i + 1 < capture.size() && capture[i + 1] == '[') {
      const size_t end = capture.find('m', i);
      if (end == std::string::npos) break;
      std::vector<int> codes;
      std::stringstream in(capture.substr(i + 2, end - i - 2));
      for (std::string code; std::getline(in, code, ';');)
        codes.push_back(code.empty() ? 0 : std::stoi(code));
      if (codes.empty()) codes.push_back(0);
      for (size_t k = 0; k < codes.size(); ++k) {
        const int code = codes[k];
        if (code == 0 || code == 49 || (code >= 40 && code <= 47) || (code >= 100 && code <= 107)) {
          red = code == 41;
        } else if ((code == 38 || code == 48) && k + 1 < codes.size()) {
          const bool background = code == 48;
          if (codes[k + 1] == 5 && k + 2 < codes.size()) {
            if (background) red = codes[k + 2] == 1;
            k += 2;
          } else if (codes[k + 1] == 2 && k + 4 < codes.size()) {
            if (background) red = codes[k + 2] == 128 && codes[k + 3] == 0 && codes[k + 4] == 0;
            k += 4;
          }
        }
      }
      i = end;
    } else if ((c & 0xC0) != 0x80) {  // the first byte of a glyph: one cell
      rows.back().push_back(red);
    }
  }
  return rows;
}

// Starts the show from the pane's shell; the shell records its modes before
// and after, the exit code, and the show's process id.
class ShowInPane {
 public:
  ShowInPane(const std::string& name, int columns, int rows, const std::string& options = "")
      : pane_(name, columns, rows) {
    const std::string dir = folder_.path().string();
    std::filesystem::create_directory(folder_.path() / "data");
    pane_.TypeLine("cd " + ShellQuote(dir) + " && stty -g > before");
    pane_.TypeLine("sh -c 'echo $$ > pid; exec \"$0\" --mute " + options + "' " +
                   ShellQuote(test::ShowBinary()) + "; echo EXIT=$?; stty -g > after");
  }
  TmuxPane& pane() { return pane_; }
  std::string File(const char* name) const { return ReadText(folder_.path() / name); }
  pid_t pid() const { return static_cast<pid_t>(std::stol("0" + File("pid"))); }

 private:
  TempDir folder_;
  TmuxPane pane_;
};

TEST(TerminalTmux, EveryEndGivesThePaneBackToTheShell) {
  struct Case {
    const char* name;
    int sig;  // 0: a key
    const char* exit;
  } cases[] = {
      {"key", 0, "EXIT=0"}, {"SIGTERM", SIGTERM, "EXIT=143"}, {"SIGHUP", SIGHUP, "EXIT=129"}};
  for (const Case& c : cases) {
    ShowInPane show(std::string("cellshow-end-") + c.name, 80, 50);
    TmuxPane& pane = show.pane();
    ASSERT_TRUE(pane.ok());
    ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 5000)) << c.name;
    EXPECT_EQ(pane.Format("#{cursor_flag}"), "0") << c.name;
    SleepMs(300);
    if (c.sig == 0) {
      pane.TypeLiteral("q");
    } else {
      ASSERT_GT(show.pid(), 0);
      kill(show.pid(), c.sig);
    }
    ASSERT_TRUE(pane.WaitForText(c.exit, 5000)) << c.name << "\n" << pane.Capture();
    EXPECT_EQ(pane.Format("#{alternate_on}"), "0") << c.name;
    EXPECT_EQ(pane.Format("#{cursor_flag}"), "1") << c.name;
    ASSERT_TRUE(pane.WaitForText("$ ", 2000));
    SleepMs(100);
    EXPECT_EQ(show.File("after"), show.File("before")) << c.name;
  }
}

TEST(TerminalTmux, ThePlasmaShowsItsRedBandBelowTheGlyphs) {
  ShowInPane show("cellshow-band", 80, 50);
  TmuxPane& pane = show.pane();
  ASSERT_TRUE(pane.ok());
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 5000));
  SleepMs(1500);  // well inside the plasma (22 s)
  const std::vector<std::string> rows = Lines(pane.Capture(true));
  ASSERT_GE(rows.size(), 50u);
  int redRows = 0;
  const std::vector<std::vector<bool>> red = RedBackgrounds(pane.Capture(true));
  ASSERT_GE(red.size(), 50u);
  for (int row = 40; row < 50; ++row) {
    int cells = 0;
    for (bool r : red[row]) cells += r;
    // Black on red, but for the cells that the rays cross.
    if (cells >= 50) ++redRows;
  }
  EXPECT_EQ(redRows, 10) << pane.Capture(true);
  // Above the band, the plasma's glyphs.
  const std::vector<std::string> text = Lines(pane.Capture());
  int glyphRows = 0;
  for (int row = 0; row < 35 && row < static_cast<int>(text.size()); ++row)
    glyphRows += text[row].find_first_not_of(' ') != std::string::npos;
  EXPECT_GT(glyphRows, 10) << pane.Capture();
  pane.TypeLiteral("q");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000));
}

}  // namespace
}  // namespace cellshow
