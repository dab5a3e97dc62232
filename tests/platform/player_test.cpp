// The player run for real: what it says when it cannot do what was asked (on a
// pty, or with standard output a pipe), and --loop in a terminal and, in-process
// on fast ticks, in the window.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/window/window_platform.h"
#include "show/show.h"
#include "support/offscreen_window.h"
#include "support/pty_child.h"
#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/show_recording.h"
#include "support/window_image.h"

namespace cellshow {
namespace {

constexpr const char* Display = ":9999";  // named, never opened: no window is tried
constexpr const char* NoDisplay = nullptr;
constexpr int Pipe = 0;  // columns 0: standard output is a pipe, not a pty
constexpr const char* ToWindow = "play it in a window with --window";
constexpr const char* ToVideo = "make a video of it with --export show.mp4";

struct MessageCase {
  const char* what;
  const char* display;
  const char* term;  // TERM, or nullptr for none
  std::vector<std::string> args;
  int columns, rows;  // of the pty; columns 0: standard output is a pipe
  int exit;
  const char* says;             // in what it writes
  const char* never = nullptr;  // nowhere in it (nullptr: no check)
};

// What the program writes (stdout and stderr of a pty, or stderr alone), and
// its exit status.
std::pair<std::string, int> RunCase(const MessageCase& c) {
  std::vector<std::string> args = {"--data", CELLSHOW_BUILD_DIR "/data"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  const bool mute = std::find(args.begin(), args.end(), "--mute") != args.end();
  const char* audio = c.columns == 0 || mute ? "disk" : "no-such-driver";
  const std::vector<std::pair<std::string, const char*>> environment = {
      {"DISPLAY", c.display}, {"WAYLAND_DISPLAY", nullptr},       {"SDL_VIDEODRIVER", nullptr},
      {"TERM", c.term},       {"SDL_DISKAUDIOFILE", "/dev/null"}, {"SDL_AUDIODRIVER", audio}};
  if (c.columns == 0) {
    std::string command = "env";  // the removals first, then the settings
    for (const auto& [name, value] : environment)
      if (value == nullptr) command += " -u " + name;
    for (const auto& [name, value] : environment)
      if (value != nullptr) command += " " + name + "=" + value;
    command += " " + test::ShellQuote(test::ShowBinary());
    for (const std::string& a : args) command += " " + test::ShellQuote(a);
    const test::ShellRun run = test::RunShell(command);
    return {run.err, run.status};
  }
  test::PtyChild::Setup setup;
  setup.args = args;
  setup.columns = c.columns;
  setup.rows = c.rows;
  setup.environment = environment;
  test::PtyChild child(test::ShowBinary(), setup);
  if (!child.WaitExit(20000)) return {child.output(), -1};
  return {child.output(), WIFEXITED(child.status()) ? WEXITSTATUS(child.status()) : -1};
}

// Guards against a message that offers a way out that cannot work here, a
// size notice or sound warning that is missing or repeated, and an option
// error that is not one plain line with status 2.
TEST(PlayerMessages, EachSaysWhatIsWrongAndAWayOutThatWorksHere) {
  const char* xterm = "xterm-256color";
  // clang-format off
  std::vector<MessageCase> cases = {
      {"not a terminal", Display, xterm, {"--mute", "--output=terminal"}, Pipe, 0, 2, ToWindow,
       "--record"},
      {"not a terminal, no display", NoDisplay, xterm, {"--mute"}, Pipe, 0, 2, ToVideo, "--window"},
      // Where the window was tried and failed, it is not offered again.
      {"not a terminal, a display that fails", Display, xterm, {"--mute"}, Pipe, 0, 2, ToVideo,
       "--window"},
      // The size notice (--fit=never keeps it at 80x24).
      {"small, display", Display, xterm,
       {"--mute", "--output=terminal", "--fit=never", "--key-after", "20"}, 80, 24, 0,
       "cellshow needs 80x50 - this terminal is 80x24 (or try cellshow --window)"},
      {"small, no display", NoDisplay, xterm, {"--mute", "--fit=never", "--key-after", "20"}, 80,
       24, 0, "cellshow needs 80x50 - this terminal is 80x24", "--window"},
      // No sound device: one line, before the show takes the terminal.
      {"no sound device", NoDisplay, xterm, {"--key-after", "20"}, 80, 50, 0,
       "cellshow: no sound (Audio target 'no-such-driver' not available); the show plays without "
       "music\r\n\x1b[?1049h"},
      {"no sound device, muted", NoDisplay, xterm, {"--mute", "--key-after", "20"}, 80, 50, 0,
       "\x1b[?1049h", "no sound"},
      // The player's options.
      {"--start at the end", NoDisplay, xterm, {"--start", "64.141"}, Pipe, 0, 2,
       "--start needs a moment of the show in seconds, from 0 to below 64.141, not '64.141'"},
      {"--start not a time", NoDisplay, xterm, {"--start=-3"}, Pipe, 0, 2,
       "--start needs a moment of the show in seconds"},
      {"--volume too loud", NoDisplay, xterm, {"--volume", "101"}, Pipe, 0, 2,
       "--volume needs a number from 0 to 100, not '101'"},
      {"--loop with --record", NoDisplay, xterm, {"--loop", "--record", "/dev/null"}, Pipe, 0, 2,
       "--loop is for playing the show, not --record"},
      {"--volume with --export", NoDisplay, xterm, {"--volume", "50", "--export", "x.mp4"}, Pipe, 0,
       2, "--volume is for playing the show, not --export"},
      {"--start with a picture", NoDisplay, xterm, {"--start", "5", "--export", "x.png", "--at",
       "6"}, Pipe, 0, 2, "a .png export shows the moment --at names; leave out --start"},
  };
  // clang-format on
  // The terminal cannot play it: a window where there is a display, a video elsewhere.
  for (const char* term : {static_cast<const char*>(nullptr), "dumb", "no-such-terminal"}) {
    cases.push_back({"bad TERM", Display, term, {"--mute"}, 100, 60, 2, ToWindow, "--record"});
    cases.push_back(
        {"bad TERM, no display", NoDisplay, term, {"--mute"}, 100, 60, 2, ToVideo, "--window"});
  }
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ", TERM=" + (c.term == nullptr ? "(unset)" : c.term));
    const auto [text, status] = RunCase(c);
    EXPECT_EQ(status, c.exit) << text;
    EXPECT_NE(text.find(c.says), std::string::npos) << text;
    EXPECT_TRUE(c.never == nullptr || text.find(c.never) == std::string::npos) << text;
    if (c.exit == 2) {
      EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
      EXPECT_EQ(text.find('\x1b'), std::string::npos) << "nothing for the terminal";
    }
  }
}

// Guards against a loop that stops at the show's end, or a show that goes on
// without one: from 63.5 s (tick 3735) the end comes with the 38th tick.
TEST(PlayerLoop, InATerminalTheShowGoesOnPastItsEndUntilTheKey) {
  for (const bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "--loop" : "once");
    const std::vector<std::string> args = {"--mute", "--stats",     "--start",
                                           "63.5",   "--key-after", "120"};
    MessageCase c{"", NoDisplay, "xterm-256color", args, 80, 50, 0, ""};
    if (loop) c.args.push_back("--loop");
    const auto [out, status] = RunCase(c);
    EXPECT_EQ(status, 0) << out;
    const size_t at = out.find("ticks run");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(std::strtol(out.c_str() + at + 9, nullptr, 10), loop ? 120 : 38) << out;
    // The closing scene is black; only the plasma after it writes glyphs
    // (UTF-8, bytes from 0x80).
    const auto glyphBytes = std::count_if(out.begin(), out.end(), [](char c) { return c & 0x80; });
    EXPECT_TRUE(loop ? glyphBytes > 1000 : glyphBytes == 0) << glyphBytes << " glyph bytes";
  }
}

// Guards against a window pass that differs from the first or skips presents.
TEST(PlayerLoop, InTheWindowEveryPassIsTheFirst) {
  // Software alone: Mesa's GL drivers leak and are unloaded before
  // LeakSanitizer reports, leaving stacks nothing can match.
  const std::pair<const char*, const char*> environment[] = {{"SDL_VIDEODRIVER", "offscreen"},
                                                             {"SDL_RENDER_DRIVER", "software"},
                                                             {"SDL_FRAMEBUFFER_ACCELERATION", "0"}};
  for (const auto& [name, value] : environment) setenv(name, value, 1);
  constexpr uint32_t Third = 300;  // ticks of the third pass before the key
  WindowSettings settings;
  settings.dataDir = CELLSHOW_BUILD_DIR "/data";
  settings.mute = true;
  settings.keyAfter = 2 * ShowTicks + Third;
  test::OffscreenWindow host(settings, 1'000'000);
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  auto show = std::make_unique<Show>(host);
  show->play.Loop = true;
  StartUp(*show);
  while (host.KeyHit() == 0) {
  }
  const std::vector<Record> once = test::RecordDefaultShow();
  size_t pass = 0, third = 0;  // presents in a pass (the shutdown's aside), and up to Third
  for (const Record& r : once) {
    pass += r.kind == PresentRecord && r.tick < ShowTicks;
    third += r.kind == PresentRecord && r.tick <= Third;
  }
  const WindowFrameStats frames = host.FrameStats();
  EXPECT_EQ(frames.presented, 2 * pass + third);
  EXPECT_EQ(frames.presented, frames.drawn + frames.skipped);
  ScreenCells cells;
  ASSERT_TRUE(test::FrameAt(once, Third, cells));
  std::vector<uint8_t> rgba;
  PixelSize size;
  ASSERT_TRUE(host.view().ReadPixels(rgba, size));
  auto image = std::make_unique<PixelImage>();
  RenderCells(cells, *image);
  EXPECT_EQ(test::ScaledImageMismatch({rgba.data(), size.width, size.height, 4},
                                      host.view().content(), host.view().prescale(), *image),
            "");
  Shutdown(*show);
  EXPECT_EQ(host.exitCode, 0);
  for (const auto& [name, value] : environment) unsetenv(name);
}

}  // namespace
}  // namespace cellshow
