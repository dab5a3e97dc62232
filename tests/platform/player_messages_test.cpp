// What the program says when it cannot do what was asked, run for real on a pty
// or with standard output a pipe.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/pty_child.h"
#include "support/shell_run.h"
#include "support/show_binary.h"

namespace cellshow {
namespace {

constexpr const char* Display = ":9999";  // named, never opened: no window is tried
constexpr const char* NoDisplay = nullptr;
constexpr int Pty = 0;  // columns 0: standard output is no terminal
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
  const std::vector<MessageCase> cases = {
      // The terminal cannot play it: a window where there is a display, a video elsewhere.
      {"TERM unset", Display, nullptr, {"--mute"}, 100, 60, 2, ToWindow, "--record"},
      {"TERM unset, no display", NoDisplay, nullptr, {"--mute"}, 100, 60, 2, ToVideo, "--window"},
      {"TERM=dumb", Display, "dumb", {"--mute"}, 100, 60, 2, ToWindow, "--record"},
      {"TERM=dumb, no display", NoDisplay, "dumb", {"--mute"}, 100, 60, 2, ToVideo, "--window"},
      {"TERM unknown", Display, "no-such-terminal", {"--mute"}, 100, 60, 2, ToWindow, "--record"},
      {"TERM unknown, no display", NoDisplay, "no-such-terminal", {"--mute"}, 100, 60, 2, ToVideo,
       "--window"},
      {"not a terminal", Display, xterm, {"--mute", "--output=terminal"}, Pty, 0, 2, ToWindow,
       "--record"},
      {"not a terminal, no display", NoDisplay, xterm, {"--mute"}, Pty, 0, 2, ToVideo, "--window"},
      // The window was tried and could not open: it is not offered again.
      {"not a terminal, a display that fails", Display, xterm, {"--mute"}, Pty, 0, 2, ToVideo,
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
      {"--start at the end", NoDisplay, xterm, {"--start", "64.141"}, Pty, 0, 2,
       "--start needs a moment of the show in seconds, from 0 to below 64.141, not '64.141'"},
      {"--start not a time", NoDisplay, xterm, {"--start=-3"}, Pty, 0, 2,
       "--start needs a moment of the show in seconds"},
      {"--volume too loud", NoDisplay, xterm, {"--volume", "101"}, Pty, 0, 2,
       "--volume needs a number from 0 to 100, not '101'"},
      {"--loop with --record", NoDisplay, xterm, {"--loop", "--record", "/dev/null"}, Pty, 0, 2,
       "--loop is for playing the show, not --record"},
      {"--volume with --export", NoDisplay, xterm, {"--volume", "50", "--export", "x.mp4"}, Pty, 0,
       2, "--volume is for playing the show, not --export"},
      {"--start with a picture", NoDisplay, xterm, {"--start", "5", "--export", "x.png", "--at",
       "6"}, Pty, 0, 2, "a .png export shows the moment --at names; leave out --start"},
  };
  // clang-format on
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.what);
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

}  // namespace
}  // namespace cellshow
