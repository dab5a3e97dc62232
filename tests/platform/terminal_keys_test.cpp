// Keys and the user's shell (an interactive bash in a tmux pane): a command
// pasted with an extra Enter before the show started does not end it, and
// neither the key that ends the show nor anything typed before reaches the
// shell afterwards: Ctrl-D does not end the shell, Esc does not swallow the
// next key typed.
#include <gtest/gtest.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/temp_dir.h"
#include "support/tmux_pane.h"

namespace cellshow {
namespace {

using test::ShellQuote;
using test::TempDir;
using test::TmuxPane;

bool HasLine(const std::string& capture, const std::string& line) {
  std::stringstream in(capture);
  for (std::string text; std::getline(in, text);) {
    if (text == line) return true;
  }
  return false;
}

// Polls until the show has drawn the plasma on the alternate screen.
bool ShowIsPlaying(const TmuxPane& pane) {
  if (!pane.WaitForFormat("#{alternate_on}", "1", 5000)) return false;
  for (int tries = 0; tries < 250; ++tries) {
    const std::string capture = pane.Capture();
    int rows = 0;
    std::stringstream in(capture);
    for (std::string line; std::getline(in, line);)
      rows += line.find_first_not_of(' ') != std::string::npos;
    if (rows >= 10 && pane.Format("#{alternate_on}") == "1") return true;
    const timespec pause{0, 20 * 1000000};
    nanosleep(&pause, nullptr);
  }
  return false;
}

TEST(TerminalKeys, NothingTypedReachesTheShell) {
  TempDir folder;
  TmuxPane pane("cellshow-keys", 80, 50, "bash --norc --noprofile -i");
  ASSERT_TRUE(pane.ok());
  const std::string show =
      ShellQuote(test::ShowBinary()) + " --mute --data " + ShellQuote(CELLSHOW_BUILD_DIR "/data");
  pane.TypeLine("cd " + ShellQuote(folder.path().string()));

  // Typeahead: the show waits for the file `go`; meanwhile a command and an
  // extra Enter are pasted, and the terminal echoes them as they queue up.
  // Typed once the line runs (the shell's own line editing does not echo).
  pane.TypeLine("echo WAIT''ING; while [ ! -e go ]; do sleep 0.02; done; " + show +
                "; echo EXIT=$?");
  ASSERT_TRUE(pane.WaitForText("WAITING\n", 5000)) << pane.Capture();
  pane.TypeLiteral("echo PAST''ED");
  pane.Tmux("send-keys -t show Enter Enter");
  ASSERT_TRUE(pane.WaitForText("echo PAST''ED", 5000)) << pane.Capture();
  std::ofstream(folder.path() / "go").close();
  ASSERT_TRUE(ShowIsPlaying(pane)) << "the typeahead ended the show\n" << pane.Capture();
  pane.TypeLiteral("q");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000)) << pane.Capture();
  pane.TypeLine("echo DO''NE");
  ASSERT_TRUE(pane.WaitForText("DONE\n", 5000)) << pane.Capture();
  EXPECT_FALSE(HasLine(pane.Capture(), "PASTED")) << "the typeahead ran\n" << pane.Capture();
  EXPECT_FALSE(HasLine(pane.Capture(), "bash: q: command not found")) << pane.Capture();

  // Esc ends the show and is gone with it: the next line typed is whole.
  pane.TypeLine("clear; " + show + "; echo EXIT=$?");
  ASSERT_TRUE(ShowIsPlaying(pane)) << pane.Capture();
  pane.Tmux("send-keys -t show Escape");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000)) << pane.Capture();
  pane.TypeLine("echo hel''lo");
  EXPECT_TRUE(pane.WaitForText("hello\n", 5000)) << pane.Capture();

  // Ctrl-D ends the show, not the shell after it.
  pane.TypeLine("clear; " + show + "; echo EXIT=$?");
  ASSERT_TRUE(ShowIsPlaying(pane)) << pane.Capture();
  pane.Tmux("send-keys -t show C-d");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000)) << pane.Capture();
  pane.TypeLine("echo ALI''VE");
  EXPECT_TRUE(pane.WaitForText("ALIVE\n", 5000)) << pane.Capture();
  EXPECT_EQ(pane.Format("#{pane_dead}"), "0");
}

}  // namespace
}  // namespace cellshow
