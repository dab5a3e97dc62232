// The real program in a tmux pane, as a user runs it from a shell: it takes
// the pane over, shows the plasma's red band, and at every end gives back the
// main screen, the cursor and the shell's modes; the key is left for the shell.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <time.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/tmux_pane.h"

namespace cellshow {
namespace {

using test::ShellQuote;
using test::TempDir;
using test::TmuxPane;

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void SleepMs(long ms) {
  const timespec pause{ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&pause, nullptr);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
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
                   ShellQuote(CELLSHOW_BINARY) + "; echo EXIT=$?; stty -g > after");
  }
  TmuxPane& pane() { return pane_; }
  std::string File(const char* name) const { return ReadText((folder_.path() / name).string()); }
  pid_t pid() const { return static_cast<pid_t>(std::stol("0" + File("pid"))); }

 private:
  TempDir folder_;
  TmuxPane pane_;
};

TEST(TerminalTmux, EveryEndGivesThePaneBackToTheShell) {
  struct Case {
    const char* name;
    int sig;  // 0: a key
  } cases[] = {{"key", 0}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}};
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
    ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000)) << c.name << "\n" << pane.Capture();
    EXPECT_EQ(pane.Format("#{alternate_on}"), "0") << c.name;
    EXPECT_EQ(pane.Format("#{cursor_flag}"), "1") << c.name;
    ASSERT_TRUE(pane.WaitForText("$ ", 2000));
    SleepMs(100);
    EXPECT_EQ(show.File("after"), show.File("before")) << c.name;
    if (c.sig == 0) {
      // The key was never read: the shell gets it as the start of its next line.
      pane.TypeLine("");
      EXPECT_TRUE(pane.WaitForText("q: not found", 3000)) << pane.Capture();
    }
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
  for (int row = 40; row < 50; ++row) {
    // Black on red: tmux writes the red background as SGR 41 (alone or
    // combined with other codes).
    const std::string& line = rows[row];
    if (line.find(";41m") != std::string::npos || line.find("[41m") != std::string::npos ||
        line.find("48;2;128;0;0") != std::string::npos)
      ++redRows;
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
