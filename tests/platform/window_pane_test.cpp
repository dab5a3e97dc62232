// The window started from a shell in a small terminal (an 80x24 tmux pane,
// DISPLAY set): the pane says where the show plays and how to end it, what
// is typed there is not echoed, its first key ends the show, none of it
// reaches the shell, and the shell gets its modes back.
#include <gtest/gtest.h>

#include <string>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/temp_dir.h"
#include "support/tmux_pane.h"
#include "support/x_display.h"

namespace cellshow {
namespace {

using test::ShellQuote;

TEST(WindowPane, KeysTypedInTheTerminalEndTheShowAndReachNoShell) {
  test::XvfbServer server(1280, 1024);
  ASSERT_TRUE(server.ok());
  test::TempDir folder;
  test::TmuxPane pane("cellshow-window-pane", 80, 24, "env DISPLAY=" + server.display() + " sh");
  ASSERT_TRUE(pane.ok());
  pane.TypeLine("cd " + ShellQuote(folder.path().string()) + " && stty -g > before");
  pane.TypeLine(ShellQuote(test::ShowBinary()) + " --mute --data " CELLSHOW_BUILD_DIR
                                                 "/data; echo EXIT=$?; stty -g > after");
  ASSERT_NE(test::FindWindow(server.display(), "cellshow", 20000).id, 0u) << pane.Capture();
  EXPECT_TRUE(
      pane.WaitForText("cellshow: playing in a window; any key here or there ends it", 5000))
      << pane.Capture();

  pane.TypeLiteral("echo LEAKED");
  pane.Tmux("send-keys -t show Enter");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 5000)) << pane.Capture();
  // The shell runs what it reads in order: a leaked line would run before this.
  pane.TypeLine("echo $((6 * 7))");
  ASSERT_TRUE(pane.WaitForText("\n42", 5000)) << pane.Capture();
  const std::string shown = pane.Capture();
  EXPECT_EQ(shown.find("LEAKED"), std::string::npos) << shown;
  EXPECT_EQ(test::ReadText(folder.path() / "after"), test::ReadText(folder.path() / "before"));
}

}  // namespace
}  // namespace cellshow
