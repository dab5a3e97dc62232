// The window started from a shell in an 80x24 tmux pane with DISPLAY set.
#include <gtest/gtest.h>

#include <string>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/temp_dir.h"
#include "support/tmux_pane.h"
#include "support/x_display.h"

namespace cellshow {
namespace {

// Guards against a pane that does not say where the show plays, keys typed there
// that do not end it or leak to the shell, and the shell's modes left changed.
TEST(WindowPane, KeysTypedInTheTerminalEndTheShowAndReachNoShell) {
  test::XvfbServer server(1280, 1024);
  ASSERT_TRUE(server.ok());
  test::TempDir folder;
  test::TmuxPane pane("cellshow-window-pane", 80, 24, "env DISPLAY=" + server.display() + " sh");
  ASSERT_TRUE(pane.ok());
  pane.TypeLine("cd " + test::ShellQuote(folder.path().string()) + " && stty -g > before");
  pane.TypeLine(test::ShellQuote(test::ShowBinary()) + " --mute --data " CELLSHOW_BUILD_DIR
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
  EXPECT_EQ(pane.Capture().find("LEAKED"), std::string::npos) << pane.Capture();
  EXPECT_EQ(test::ReadText(folder.path() / "after"), test::ReadText(folder.path() / "before"));
}

}  // namespace
}  // namespace cellshow
