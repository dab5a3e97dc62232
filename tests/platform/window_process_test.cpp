// The program's window as a user meets it: on an Xvfb display of the test's
// own, found with xdotool, typed into, closed as a window manager closes it,
// its display taken away, and photographed with xwd mid-show; and what
// happens with no display at all.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/window/window_geometry.h"
#include "render/pixels/cell_image.h"
#include "support/temp_dir.h"
#include "support/window_image.h"
#include "support/x_display.h"

namespace cellshow {
namespace {

using test::DisplayChild;
using test::ReadText;
using test::TempDir;
using test::XvfbServer;

// Generous: these only keep a broken build from hanging the tests.
constexpr int WindowAppearsMs = 20000;
constexpr int EndsMs = 10000;

std::vector<std::string> ShowArgs(std::vector<std::string> more) {
  std::vector<std::string> args = {CELLSHOW_BINARY, "--data", CELLSHOW_BUILD_DIR "/data", "--mute"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// With no display nothing is drawn or played: one line, exit code 2.
TEST(WindowProcess, NoDisplayIsOneLineAndExitCode2) {
  TempDir dir;
  const std::string audio = (dir.path() / "audio.raw").string();
  const struct {
    const char* environment;
    const char* options;
    const char* says;
  } cases[] = {
      {"-u DISPLAY -u WAYLAND_DISPLAY", "--window", "neither DISPLAY nor WAYLAND_DISPLAY"},
      {"-u DISPLAY -u WAYLAND_DISPLAY", "--output=window", "neither DISPLAY nor WAYLAND_DISPLAY"},
      {"-u DISPLAY -u WAYLAND_DISPLAY", "--fullscreen", "neither DISPLAY nor WAYLAND_DISPLAY"},
      {"-u WAYLAND_DISPLAY DISPLAY=:9999", "--window", "cannot open the display"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.environment << " " << c.options);
    const std::string command = std::string("env -u SDL_VIDEODRIVER ") + c.environment +
                                " SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + audio + " " +
                                CELLSHOW_BINARY + " --data " CELLSHOW_BUILD_DIR "/data " +
                                c.options + " > " + (dir.path() / "out").string() + " 2> " +
                                (dir.path() / "err").string() + " < /dev/null";
    EXPECT_EQ(test::RunCommand(command), 2);
    const std::string err = ReadText(dir.path() / "err");
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
    EXPECT_EQ(ReadText(dir.path() / "out"), "");
    EXPECT_FALSE(std::filesystem::exists(audio)) << "music was played";
  }
}

// Auto: no terminal and a display that is not there: the terminal's own
// refusal, not the window's.
TEST(WindowProcess, AutoFallsBackToTheTerminalWhenNoWindowCanBeMade) {
  TempDir dir;
  const std::string command =
      std::string("env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=:9999 ") + CELLSHOW_BINARY +
      " --mute > /dev/null 2> " + (dir.path() / "err").string() + " < /dev/null";
  EXPECT_EQ(test::RunCommand(command), 2);
  const std::string err = ReadText(dir.path() / "err");
  EXPECT_NE(err.find("standard output is not a terminal"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
}

class WindowXvfb : public testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<XvfbServer>(1280, 1024);
    ASSERT_TRUE(server_->ok()) << "Xvfb did not start";
  }
  std::unique_ptr<XvfbServer> server_;
  TempDir dir_;
};

// Stdout is not a terminal but there is a display: auto plays in a window,
// 1280x960 (two steps of 640x480) in the middle of a 1280x1024 screen; a key
// typed into it ends the show, exit code 0. With no GPU, GL would draw on the
// CPU: SDL's software renderer draws instead.
TEST_F(WindowXvfb, AutoOpensTheWindowAndAKeyEndsTheShow) {
  const auto err = dir_.path() / "err";
  DisplayChild show(server_->display(), ShowArgs({"--stats"}), err.string());
  const test::WindowGeometry window =
      test::FindWindow(server_->display(), "cellshow", WindowAppearsMs);
  ASSERT_NE(window.id, 0u) << ReadText(err);
  EXPECT_EQ(window.width, 1280);
  EXPECT_EQ(window.height, 960);
  EXPECT_EQ(window.x, 0);
  EXPECT_EQ(window.y, 32);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int status = -1;
  test::RunOnDisplay(server_->display(),
                     "xdotool windowfocus --sync " + std::to_string(window.id) + " key q", &status);
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(show.WaitExit(EndsMs));
  EXPECT_EQ(show.exitCode(), 0);
  const std::string stats = ReadText(err);
  EXPECT_EQ(stats.find("cellshow stats"), 0u) << stats;
  EXPECT_NE(stats.find("frames drawn"), std::string::npos) << stats;
  EXPECT_NE(stats.find("renderer               software"), std::string::npos) << stats;
}

TEST_F(WindowXvfb, ClosingTheWindowEndsTheShow) {
  DisplayChild show(server_->display(), ShowArgs({"--window"}));
  const test::WindowGeometry window =
      test::FindWindow(server_->display(), "cellshow", WindowAppearsMs);
  ASSERT_NE(window.id, 0u);
  ASSERT_TRUE(test::SendCloseRequest(server_->display(), window.id));
  ASSERT_TRUE(show.WaitExit(EndsMs));
  EXPECT_EQ(show.exitCode(), 0);
}

// Fullscreen is the window manager's to give: with one running, the window
// starts covering the screen, and F11 and Alt+Enter toggle it without ending
// the show. Out of fullscreen the window is 4:3 and fits the screen with the
// manager's frame (here just under 1280x960, which with the frame's sides
// is wider than 1280), not a whole factor smaller.
TEST_F(WindowXvfb, FullscreenCoversTheScreenAndF11AndAltEnterToggleIt) {
  ASSERT_TRUE(server_->StartWindowManager(WindowAppearsMs));
  DisplayChild show(server_->display(), ShowArgs({"--fullscreen"}));
  test::WindowGeometry window = test::FindWindow(server_->display(), "cellshow", WindowAppearsMs);
  ASSERT_NE(window.id, 0u);
  EXPECT_EQ(window.width, 1280);
  EXPECT_EQ(window.height, 1024);
  // Each toggle: the key, then the window as the manager makes it.
  const auto toggle = [&](const char* key, bool full) {
    SCOPED_TRACE(key);
    test::RunOnDisplay(server_->display(),
                       "xdotool windowfocus --sync " + std::to_string(window.id) + " key " + key);
    const auto done = [&] {
      return full ? window.height == 1024
                  : window.height < 1024 && window.height > 900 &&
                        window.width * 3 == window.height * 4;
    };
    for (int i = 0; i < 100 && !done(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      window = test::FindWindow(server_->display(), "cellshow", WindowAppearsMs);
    }
    EXPECT_TRUE(done()) << window.width << "x" << window.height;
    EXPECT_TRUE(show.running()) << "the toggle ended the show";
  };
  toggle("F11", false);
  toggle("alt+Return", true);
  toggle("F11", false);
  test::RunOnDisplay(server_->display(),
                     "xdotool windowfocus --sync " + std::to_string(window.id) + " key Escape");
  ASSERT_TRUE(show.WaitExit(EndsMs));
  EXPECT_EQ(show.exitCode(), 0);
}

// The X server goes away mid-show: the show ends as on a key, exit code 0.
TEST_F(WindowXvfb, ALostDisplayEndsTheShowWithExitCode0) {
  const auto err = dir_.path() / "err";
  DisplayChild show(server_->display(), ShowArgs({"--window"}), err.string());
  ASSERT_NE(test::FindWindow(server_->display(), "cellshow", WindowAppearsMs).id, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  server_->Kill();
  ASSERT_TRUE(show.WaitExit(EndsMs));
  EXPECT_EQ(show.exitCode(), 0) << ReadText(err);
}

// The whole show in a window, photographed mid-show: the window's 4:3
// content is the pixel model's image of a frame near the tick the clock
// says, scaled; the show then ends by itself with exit code 0.
TEST(WindowXvfbLong, AScreenshotMidShowIsThePixelModelScaled) {
  XvfbServer server(1280, 1024);
  ASSERT_TRUE(server.ok());
  const std::vector<Record> records = test::RecordDefaultShow();
  DisplayChild show(server.display(), ShowArgs({"--window"}));
  const auto start = std::chrono::steady_clock::now();
  const test::WindowGeometry window =
      test::FindWindow(server.display(), "cellshow", WindowAppearsMs);
  ASSERT_NE(window.id, 0u);
  // Halfway through: the second line burst and the models that follow.
  std::this_thread::sleep_until(start + std::chrono::milliseconds(2000 * 17));
  // The frame shown is one of those presented in the ticks around the
  // clock's estimate: up to 30 ahead (the program started a little before
  // the clock did), or up to 600 (10 s) behind, when a loaded machine or the
  // sanitizers slowed the program's start-up.
  int estimate = 0;
  std::string closest;
  const int64_t matched = test::ShownTickInShots(
      server.display(), window, records,
      [&] {
        estimate = static_cast<int>((std::chrono::steady_clock::now() - start) /
                                    std::chrono::milliseconds(17));
        return std::pair<uint32_t, uint32_t>(std::max(estimate, 600) - 600, estimate + 30);
      },
      closest);
  EXPECT_GE(matched, 0) << "no frame near tick " << estimate << " matches; last tried:\n"
                        << closest;
  RecordProperty("estimated_tick", estimate);
  RecordProperty("matched_tick", matched);
  ASSERT_TRUE(show.WaitExit(90000));
  EXPECT_EQ(show.exitCode(), 0);
}

}  // namespace
}  // namespace cellshow
