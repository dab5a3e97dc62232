// The program's window on Xvfb: on screens of several sizes, with a window
// manager (openbox) and without, and started from a shell in a tmux pane.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/show_recording.h"
#include "support/temp_dir.h"
#include "support/tmux_pane.h"
#include "support/window_image.h"
#include "support/x_display.h"

namespace cellshow {
namespace {

using test::WindowGeometry;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int WindowAppearsMs = 20000;
constexpr int Unknown = -1;  // as a window manager's frame decides

struct Place {
  int x, y, width, height;
};

struct ScreenCase {
  const char* what;
  int screenWidth, screenHeight;
  bool manager;
  const char* option;
  Place opens;
  Place afterF11;  // width 0: F11 is not tried
};

// The window once it has `want`'s size (a manager may take a moment), or, for
// a size the manager's frame decides, once it keeps its size.
WindowGeometry Settled(const std::string& display, const Place& want) {
  WindowGeometry window, before;
  for (int i = 0; i < 100; ++i) {
    window = test::FindWindow(display, "cellshow", WindowAppearsMs);
    if (window.id == 0) break;  // none came
    if (want.width == Unknown
            ? i > 0 && window.width == before.width && window.height == before.height
            : window.width == want.width && window.height == want.height)
      break;
    before = window;
    std::this_thread::sleep_for(100ms);
  }
  return window;
}

// The window manager's frame: left, right, top, bottom.
std::array<int, 4> Frame(const std::string& display, uint64_t window) {
  const std::string text =
      test::RunOnDisplay(display, "xprop -id " + std::to_string(window) + " _NET_FRAME_EXTENTS");
  std::array<int, 4> f{};
  if (const size_t at = text.find('='); at != std::string::npos)
    std::sscanf(text.c_str() + at + 1, "%d ,%d ,%d ,%d", &f[0], &f[1], &f[2], &f[3]);
  return f;
}

// Guards against a window too large for its screen or not 4:3 in a manager's
// frame, fullscreen (or F11 out of it) the wrong size, a picture laid out for
// another size than the window's.
TEST(WindowScreens, TheWindowFitsTheScreenAndThePictureFitsTheWindow) {
  static const std::vector<Record> records = test::RecordDefaultShow();
  // clang-format off
  const ScreenCase cases[] = {
      {"a small screen", 600, 400, false, "--window", {33, 0, 533, 400}, {}},
      {"a small screen, managed", 600, 400, true, "--window", {Unknown, Unknown, Unknown, 0}, {}},
      {"fullscreen, no manager", 1920, 1080, false, "--fullscreen", {0, 0, 1920, 1080},
       {320, 60, 1280, 960}},
      {"fullscreen, managed", 1920, 1080, true, "--fullscreen", {0, 0, 1920, 1080},
       {Unknown, Unknown, 1280, 960}},
  };
  // clang-format on
  for (const ScreenCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::XvfbServer server(c.screenWidth, c.screenHeight);
    const std::string& display = server.display();
    ASSERT_TRUE(server.ok());
    ASSERT_TRUE(!c.manager || server.StartWindowManager(WindowAppearsMs));
    const auto started = Clock::now();
    test::DisplayChild show(
        display, {test::ShowBinary(), "--data", CELLSHOW_BUILD_DIR "/data", "--mute", c.option});
    WindowGeometry window;
    const auto press = [&](const char* key) {
      test::RunOnDisplay(display,
                         "xdotool windowfocus --sync " + std::to_string(window.id) + " key " + key);
    };
    for (const Place* want : {&c.opens, &c.afterF11}) {
      if (want->width == 0) break;  // F11 is not tried
      if (want == &c.afterF11) press("F11");
      window = Settled(display, *want);
      ASSERT_NE(window.id, 0u);
      if (want->width == Unknown) {
        // The largest 4:3 window that fits the screen with its frame.
        const std::array<int, 4> f = Frame(display, window.id);
        EXPECT_GT(f[2], 0) << "no frame: the manager did not frame the window";
        const int k =
            std::min((c.screenWidth - f[0] - f[1]) / 4, (c.screenHeight - f[2] - f[3]) / 3);
        EXPECT_EQ(window.width, 4 * k);
        EXPECT_EQ(window.height, 3 * k);
        EXPECT_GE(window.x - f[0], 0);
        EXPECT_GE(window.y - f[2], 0);
        EXPECT_LE(window.x + window.width + f[1], c.screenWidth);
        EXPECT_LE(window.y + window.height + f[3], c.screenHeight);
      } else {
        EXPECT_EQ(window.width, want->width);
        EXPECT_EQ(window.height, want->height);
        EXPECT_TRUE(want->x == Unknown || window.x == want->x) << window.x;
        EXPECT_TRUE(want->y == Unknown || window.y == want->y) << window.y;
      }
      // The window shows a frame the show presented since its start (the
      // plasma's), up to a little after the clock's estimate.
      std::this_thread::sleep_for(want == &c.opens ? 500ms : 300ms);
      uint32_t limit = 0;
      std::string closest;
      const auto ticks = [&] {
        limit = static_cast<uint32_t>((Clock::now() - started) / 17ms + 30);
        return std::pair<uint32_t, uint32_t>(0, limit);
      };
      EXPECT_GE(test::ShownTickInShots(display, window, records, ticks, closest), 0)
          << "no frame up to tick " << limit << " fills the window as laid out for " << window.width
          << "x" << window.height << ":\n"
          << closest;
    }
    EXPECT_TRUE(show.running());
    press("q");
    ASSERT_TRUE(show.WaitExit(10000));
    EXPECT_EQ(show.exitCode(), 0);
  }
}

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
