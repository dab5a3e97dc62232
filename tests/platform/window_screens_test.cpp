// The window on screens of several sizes, with a window manager and without
// one (Xvfb, openbox): where it opens, how large, and that the picture in
// it, photographed, is laid out for the size the window really has, before
// and after F11. A screen below 640x480 gets the largest 4:3 window that
// fits; fullscreen without a manager covers the screen all the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/show_binary.h"
#include "support/show_recording.h"
#include "support/temp_dir.h"
#include "support/window_image.h"
#include "support/x_display.h"

namespace cellshow {
namespace {

using test::WindowGeometry;

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

// The window as it is once it has `want`'s size (a manager may take a
// moment to apply it), or, for a size the manager's frame decides, once it
// keeps its size.
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
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return window;
}

// The window manager's frame: left, right, top, bottom.
std::vector<int> Frame(const std::string& display, uint64_t window) {
  const std::string text =
      test::RunOnDisplay(display, "xprop -id " + std::to_string(window) + " _NET_FRAME_EXTENTS");
  std::vector<int> sides;
  for (size_t at = text.find('='); at != std::string::npos && sides.size() < 4;
       at = text.find(',', at + 1))
    sides.push_back(std::atoi(text.c_str() + at + 1));
  sides.resize(4);
  return sides;
}

void ExpectPlace(const std::string& display, const ScreenCase& c, const WindowGeometry& window,
                 const Place& want) {
  if (want.width == Unknown) {
    // The largest 4:3 window that fits the screen with its frame.
    const std::vector<int> f = Frame(display, window.id);
    const int roomWidth = c.screenWidth - f[0] - f[1], roomHeight = c.screenHeight - f[2] - f[3];
    EXPECT_GT(f[2], 0) << "no frame: the manager did not frame the window";
    const int k = std::min(roomWidth / 4, roomHeight / 3);
    EXPECT_EQ(window.width, 4 * k);
    EXPECT_EQ(window.height, 3 * k);
    EXPECT_GE(window.x - f[0], 0);
    EXPECT_GE(window.y - f[2], 0);
    EXPECT_LE(window.x + window.width + f[1], c.screenWidth);
    EXPECT_LE(window.y + window.height + f[3], c.screenHeight);
    return;
  }
  EXPECT_EQ(window.width, want.width);
  EXPECT_EQ(window.height, want.height);
  if (want.x != Unknown) {
    EXPECT_EQ(window.x, want.x);
  }
  if (want.y != Unknown) {
    EXPECT_EQ(window.y, want.y);
  }
}

// The screenshot shows, in the window, a frame the show presented since
// its start (the plasma's), up to a little after the clock's estimate.
void ExpectPicture(const std::string& display, const WindowGeometry& window,
                   std::chrono::steady_clock::time_point started) {
  static const std::vector<Record> records = test::RecordDefaultShow();
  test::Screenshot shot;
  std::string error;
  ASSERT_TRUE(test::TakeScreenshot(display, shot, error)) << error;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started)
                      .count();
  const auto estimate = static_cast<uint32_t>(ms / 17);
  std::string closest;
  EXPECT_GE(test::ShownTick(shot, window, records, 0, estimate + 30, closest), 0)
      << "no frame up to tick " << estimate + 30 << " fills the window as laid out for "
      << window.width << "x" << window.height << ":\n"
      << closest;
}

TEST(WindowScreens, TheWindowFitsTheScreenAndThePictureFitsTheWindow) {
  const ScreenCase cases[] = {
      {"a small screen", 600, 400, false, "--window", {33, 0, 533, 400}, {}},
      {"a small screen, managed", 600, 400, true, "--window", {Unknown, Unknown, Unknown, 0}, {}},
      {"fullscreen, no manager",
       1920,
       1080,
       false,
       "--fullscreen",
       {0, 0, 1920, 1080},
       {320, 60, 1280, 960}},
      {"fullscreen, managed",
       1920,
       1080,
       true,
       "--fullscreen",
       {0, 0, 1920, 1080},
       {Unknown, Unknown, 1280, 960}},
  };
  for (const ScreenCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::XvfbServer server(c.screenWidth, c.screenHeight);
    ASSERT_TRUE(server.ok());
    if (c.manager) {
      ASSERT_TRUE(server.StartWindowManager(WindowAppearsMs));
    }
    const auto started = std::chrono::steady_clock::now();
    test::DisplayChild show(server.display(), {test::ShowBinary(), "--data",
                                               CELLSHOW_BUILD_DIR "/data", "--mute", c.option});
    WindowGeometry window = Settled(server.display(), c.opens);
    ASSERT_NE(window.id, 0u);
    ExpectPlace(server.display(), c, window, c.opens);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ExpectPicture(server.display(), window, started);
    if (c.afterF11.width > 0) {
      test::RunOnDisplay(server.display(),
                         "xdotool windowfocus --sync " + std::to_string(window.id) + " key F11");
      window = Settled(server.display(), c.afterF11);
      ExpectPlace(server.display(), c, window, c.afterF11);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ExpectPicture(server.display(), window, started);
    }
    EXPECT_TRUE(show.running());
    test::RunOnDisplay(server.display(),
                       "xdotool windowfocus --sync " + std::to_string(window.id) + " key q");
    ASSERT_TRUE(show.WaitExit(10000));
    EXPECT_EQ(show.exitCode(), 0);
  }
}

}  // namespace
}  // namespace cellshow
