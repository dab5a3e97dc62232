// Job control, as a user of an interactive bash in a tmux pane meets it:
// Ctrl-Z, `bg`, `fg`, again, and a show started with `&`. Whenever the show
// has the pane it is on the alternate screen with the cursor hidden and
// draws in full; whenever the shell has it, the main screen is back with
// what was on it.
#include <gtest/gtest.h>
#include <time.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/temp_dir.h"
#include "support/tmux_pane.h"

namespace cellshow {
namespace {

using test::ReadText;
using test::ShellQuote;
using test::TempDir;
using test::TmuxPane;

// Rows of the pane with anything but blanks on them.
int RowsWithGlyphs(const std::string& capture) {
  std::stringstream in(capture);
  int rows = 0;
  for (std::string line; std::getline(in, line);)
    rows += line.find_first_not_of(' ') != std::string::npos;
  return rows;
}

class Session {
 public:
  Session() : pane_("cellshow-jobs", 80, 50, "bash --norc --noprofile -i") {
    // set -b: bash reports a job's stop at once, not at the next prompt.
    pane_.TypeLine("set -b; cd " + ShellQuote(folder_.path().string()) + " && stty -g > before");
  }
  TmuxPane& pane() { return pane_; }
  std::string Command() const {
    return ShellQuote(test::ShowBinary()) + " --mute --data " +
           ShellQuote(CELLSHOW_BUILD_DIR "/data");
  }
  std::string File(const char* name) const { return ReadText(folder_.path() / name); }

  // The show has the pane, and has drawn the plasma on it.
  ::testing::AssertionResult ShowHasThePane() {
    if (!pane_.WaitForFormat("#{alternate_on}", "1", 5000)) {
      return ::testing::AssertionFailure() << "not on the alternate screen\n" << pane_.Capture();
    }
    for (int tries = 0; tries < 250 && RowsWithGlyphs(pane_.Capture()) < 10; ++tries) {
      const timespec pause{0, 20 * 1000000};
      nanosleep(&pause, nullptr);
    }
    if (RowsWithGlyphs(pane_.Capture()) < 10) {
      return ::testing::AssertionFailure() << "nothing drawn\n" << pane_.Capture();
    }
    if (pane_.Format("#{cursor_flag}") != "0") {
      return ::testing::AssertionFailure() << "the cursor shows";
    }
    return ::testing::AssertionSuccess();
  }

  // The shell has the pane: the main screen with `marker` on it and bash's
  // `report` after it (the screen was cleared before the marker), and the
  // cursor shown.
  ::testing::AssertionResult ShellHasThePane(const std::string& marker, const std::string& report) {
    std::string capture;
    for (int tries = 0; tries < 250; ++tries) {
      capture = "\n" + pane_.Capture();
      const size_t at = capture.find("\n" + marker + "\n");
      if (pane_.Format("#{alternate_on}") == "0" && at != std::string::npos &&
          capture.find(report, at) != std::string::npos) {
        if (pane_.Format("#{cursor_flag}") != "1") {
          return ::testing::AssertionFailure() << "the cursor is hidden";
        }
        return ::testing::AssertionSuccess();
      }
      const timespec pause{0, 20 * 1000000};
      nanosleep(&pause, nullptr);
    }
    return ::testing::AssertionFailure()
           << "no main screen with " << marker << " and then '" << report << "'" << capture;
  }

 private:
  TempDir folder_;
  TmuxPane pane_;
};

TEST(TerminalJobs, StopsGiveThePaneBackAndContinuesTakeItAgain) {
  Session session;
  TmuxPane& pane = session.pane();
  ASSERT_TRUE(pane.ok());
  // Each step starts on a cleared main screen with a marker on it (the
  // quotes keep the typed line from reading as the marker).
  auto step = [&](int n, const std::string& command) {
    pane.TypeLine("clear; echo MARK''ER" + std::to_string(n) + "; " + command);
    return "MARKER" + std::to_string(n);
  };
  // bash reports the stop at once (set -b); `jobs -l` tells which.
  auto stoppedByOutput = [&](const std::string& marker) {
    const ::testing::AssertionResult back = session.ShellHasThePane(marker, "Stopped");
    if (!back) return back;
    pane.TypeLine("jobs -l");
    if (!pane.WaitForText("Stopped (tty output)", 5000)) {
      return ::testing::AssertionFailure() << "not stopped by output\n" << pane.Capture();
    }
    return ::testing::AssertionSuccess();
  };

  // Started in the background: it stops before it takes the terminal, and
  // `fg` gives it the pane.
  std::string marker = step(0, session.Command() + " &");
  ASSERT_TRUE(stoppedByOutput(marker));
  marker = step(1, "fg");
  ASSERT_TRUE(session.ShowHasThePane());
  // Stopped, continued in the background (where the show stops again
  // before it touches the terminal), brought back; round after round.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    pane.Tmux("send-keys -t show C-z");
    ASSERT_TRUE(session.ShellHasThePane(marker, "Stopped"));
    marker = step(2 + 2 * round, "bg");
    ASSERT_TRUE(stoppedByOutput(marker));
    marker = step(3 + 2 * round, "fg");
    ASSERT_TRUE(session.ShowHasThePane());
  }
  pane.Tmux("send-keys -t show C-z");
  ASSERT_TRUE(session.ShellHasThePane(marker, "Stopped"));
  marker = step(8, "fg");
  ASSERT_TRUE(session.ShowHasThePane());
  pane.TypeLiteral("q");
  ASSERT_TRUE(session.ShellHasThePane(marker, "$ "));
  pane.TypeLine("echo EXIT=$?; stty -g > after");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000)) << pane.Capture();
  EXPECT_EQ(session.File("after"), session.File("before"));
}

}  // namespace
}  // namespace cellshow
