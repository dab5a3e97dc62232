// The real program serving the show, watched with OpenSSH's own client in
// tmux panes as a person watches it: the pane shows a frame of the recorded
// show near its tick, in the grid at 80x50 and scaled at 80x24; a resize
// switches the view; a key ends it with the terminal given back and status
// 0; SIGTERM ends every show the same way. Everything but the show is
// refused, and the server goes on.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/terminal/terminal_modes.h"
#include "render/scaled/scaled_view.h"
#include "served_show.h"
#include "support/shell_run.h"
#include "support/show_recording.h"
#include "support/timing.h"
#include "support/tmux_pane.h"
#include "support/vterm_colour_grid.h"
#include "support/vterm_grid.h"
#include "test_client.h"

namespace cellshow {
namespace {

using test::ServedShow;
using test::ShellQuote;
using test::SleepMs;
using test::TmuxPane;
using test::VtermScreen;

// tmux's own terminal type: 256 colours, no background colour erase.
constexpr TerminalCapabilities PaneCapabilities{ColorDepth::Xterm256, GlyphSet::Unicode, false};

// What the pane shows, replayed into an emulator of its size.
std::unique_ptr<VtermScreen> Replay(const std::string& capture, int columns, int rows) {
  auto terminal = std::make_unique<VtermScreen>(rows, columns);
  std::string bytes;
  int lines = 0;
  for (char c : capture) {
    if (c != '\n') {
      bytes += c;
    } else if (++lines == rows) {
      break;
    } else {
      bytes += "\r\n";
    }
  }
  terminal->Feed(bytes);
  return terminal;
}

// Polls until the pane shows the same twice in a row.
std::string SteadyCapture(const TmuxPane& pane) {
  std::string last = pane.Capture(true);
  for (int n = 0; n < 100; ++n) {
    SleepMs(50);
    std::string now = pane.Capture(true);
    if (now == last) return now;
    last = std::move(now);
  }
  return last;
}

// The ticks of the recorded frames the pane shows (as the grid, or scaled to
// its size): frames a few ticks apart can look alike.
std::vector<long> ShownTicks(const VtermScreen& terminal, int columns, int rows) {
  std::vector<long> ticks;
  const auto& frames = test::DefaultShowFrames();
  if (columns >= ScreenWidth && rows >= ScreenHeight) {
    for (const auto& frame : frames)
      if (test::GridMismatch(terminal, frame->cells, PaneCapabilities) == "")
        ticks.push_back(frame->tick);
    return ticks;
  }
  auto view = std::make_unique<ScaledView>();
  const ScaledBox& box = view->Fit(columns, rows, true);
  std::vector<RgbCell> cells(static_cast<size_t>(box.columns * box.rows));
  for (const auto& frame : frames) {
    view->Render(frame->cells, PaneCapabilities.colors, cells.data());
    if (test::ColourGridMismatch(terminal, cells.data(), {box.columns, box.rows, box.left, box.top},
                                 PaneCapabilities) == "")
      ticks.push_back(frame->tick);
  }
  return ticks;
}

TEST(ServeSsh, AnOpenSshClientSeesTheFrameOfItsTick) {
  ServedShow server;
  ASSERT_TRUE(server.ok()) << server.Log();
  for (const auto& [columns, rows] : {std::pair{80, 50}, std::pair{80, 24}}) {
    SCOPED_TRACE(std::to_string(columns) + "x" + std::to_string(rows));
    TmuxPane pane("cellshow-serve-frame", columns, rows);
    ASSERT_TRUE(pane.ok());
    pane.Tmux("respawn-pane -k -t show " + ShellQuote("exec " + server.Ssh("-t")));
    ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 20000)) << server.Log();
    const auto started = std::chrono::steady_clock::now();
    long shown = -1;
    double elapsedTicks = 0;
    // The server is stopped (tmux would continue a stopped ssh at once);
    // stopped mid-frame, the pane may hold parts of two: try again later.
    for (int attempt = 0; attempt < 8 && shown < 0; ++attempt) {
      SleepMs(700);
      kill(server.pid(), SIGSTOP);
      elapsedTicks =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() * 1000 /
          17;
      for (long tick : ShownTicks(*Replay(SteadyCapture(pane), columns, rows), columns, rows)) {
        if (shown < 0 || std::abs(tick - elapsedTicks) < std::abs(shown - elapsedTicks))
          shown = tick;
      }
      kill(server.pid(), SIGCONT);
    }
    ASSERT_GE(shown, 0) << "the pane never showed a frame of the show\n" << pane.Capture();
    // Near the tick of its time: never ahead of the clock (but for the
    // polling that saw the start), and not far behind it.
    EXPECT_LE(shown, elapsedTicks + 60);
    EXPECT_GE(shown, elapsedTicks - 600 * test::TimingScale);
    RecordProperty("shown tick of " + std::to_string(rows) + " rows", static_cast<int>(shown));
    pane.TypeLiteral("q");
    EXPECT_TRUE(pane.WaitForFormat("#{pane_dead}", "1", 10000));
  }
}

int CountOf(const std::string& text, const std::string& what) { return test::Count(text, what); }

// Rows showing the plasma's glyphs, and the scaled view's half blocks.
struct Look {
  int plasmaRows = 0, halfBlocks = 0, rows = 0;
};
Look LookAt(const TmuxPane& pane) {
  Look look;
  std::stringstream in(pane.Capture());
  for (std::string line; std::getline(in, line);) {
    ++look.rows;
    look.halfBlocks += CountOf(line, "\u2580");
    look.plasmaRows += line.find_first_of("o+O0'") != std::string::npos;
  }
  return look;
}

template <typename Condition>
bool WaitFor(const TmuxPane& pane, Condition condition, int timeoutMs) {
  return test::WaitUntil([&] { return condition(LookAt(pane)); },
                         std::chrono::milliseconds(timeoutMs));
}

TEST(ServeSsh, AResizeSwitchesTheViewAndAKeyGivesTheTerminalBack) {
  ServedShow server;
  ASSERT_TRUE(server.ok()) << server.Log();
  TmuxPane pane("cellshow-serve-resize", 80, 50);
  ASSERT_TRUE(pane.ok());
  const test::TempDir folder;
  const std::string dir = ShellQuote(folder.path().string());
  pane.TypeLine("stty -g > " + dir + "/before; " + server.Ssh("-t") + "; echo EXIT=$?; stty -g > " +
                dir + "/after");
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 20000)) << server.Log();
  auto glyphs = [](const Look& l) { return l.rows >= 50 && l.plasmaRows >= 10 && !l.halfBlocks; };
  auto scaled = [](const Look& l) { return l.rows == 24 && l.halfBlocks > 0; };
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(WaitFor(pane, glyphs, 15000)) << "round " << round << "\n" << pane.Capture();
    pane.Tmux("resize-window -t show -x 80 -y 24");
    ASSERT_TRUE(WaitFor(pane, scaled, 15000)) << "round " << round << "\n" << pane.Capture();
    pane.Tmux("resize-window -t show -x 80 -y 50");
  }
  ASSERT_TRUE(WaitFor(pane, glyphs, 15000)) << pane.Capture();
  pane.TypeLiteral("q");
  ASSERT_TRUE(pane.WaitForText("EXIT=0", 10000)) << pane.Capture();
  EXPECT_EQ(pane.Format("#{alternate_on}"), "0");
  EXPECT_EQ(pane.Format("#{cursor_flag}"), "1");
  ASSERT_TRUE(pane.WaitForText("$ ", 5000));
  EXPECT_TRUE(test::WaitUntil([&] { return test::ReadText(folder.path() / "after") != ""; },
                              std::chrono::milliseconds(5000)));
  EXPECT_EQ(test::ReadText(folder.path() / "after"), test::ReadText(folder.path() / "before"));
  EXPECT_TRUE(server.WaitForLog("ended: key", 5000)) << server.Log();
}

// A loopback port nobody listens on now.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  close(fd);
  return ntohs(a.sin_port);
}

// Connects to the loopback port and waits for the other side to close.
bool ClosedAtOnce(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  bool closed = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    pollfd wait{fd, POLLIN, 0};
    char byte;
    closed = poll(&wait, 1, 10000) == 1 && read(fd, &byte, 1) <= 0;
  }
  close(fd);
  return closed;
}

TEST(ServeSsh, EverythingButTheShowIsRefusedAndTheServerGoesOn) {
  ServedShow server;
  ASSERT_TRUE(server.ok()) << server.Log();
  const std::string port = std::to_string(server.port());
  struct Case {
    const char* name;
    std::string command;
    int status;
    const char* says;  // on stderr
    int seconds = 60;  // then it is stopped (status 124)
  } cases[] = {
      {"no pty", server.Ssh("-T"), 2, "connect without -T"},
      {"a command", server.Ssh("", "ls"), 2, "runs no commands"},
      {"a command with a pty", server.Ssh("-tt", "ls"), 2, "runs no commands"},
      {"sftp",
       "sftp -F /dev/null -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -b /dev/null "
       "-P " +
           port + " 127.0.0.1",
       255, "subsystem request failed"},
      {"a remote forwarding", server.Ssh("-N -o ExitOnForwardFailure=yes -R 0:127.0.0.1:9"), 255,
       "remote port forwarding failed"},
      // The show plays on without it.
      {"X11 forwarding", "env DISPLAY=:99 " + server.Ssh("-X -tt"), 124,
       "X11 forwarding request failed", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::ShellRun run =
        test::RunShell("timeout " + std::to_string(c.seconds) + " " + c.command);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
  // A local forwarding and an agent: a connection to the forwarded port is
  // closed at once, as the server refuses its channel; the show plays on.
  TmuxPane pane("cellshow-serve-forward", 80, 50);
  ASSERT_TRUE(pane.ok());
  const int local = FreePort();
  const std::string errors = (server.folder().path() / "forward.err").string();
  pane.TypeLine(
      "SSH_AUTH_SOCK=/nonexistent " +
      server.Ssh("-t -A -o LogLevel=INFO -L 127.0.0.1:" + std::to_string(local) + ":127.0.0.1:22") +
      " 2>" + ShellQuote(errors));
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 20000)) << server.Log();
  EXPECT_TRUE(ClosedAtOnce(local));
  EXPECT_TRUE(test::WaitUntil(
      [&] { return test::ReadText(errors).find("open failed") != std::string::npos; },
      std::chrono::milliseconds(10000)))
      << test::ReadText(errors);
  pane.TypeLiteral("q");
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "0", 10000));

  // The server is unharmed: a new viewer is shown the show.
  test::TestClient viewer(server.port());
  ASSERT_TRUE(viewer.ok()) << viewer.refusal();
  ASSERT_TRUE(viewer.Pty("xterm-256color", 80, 50));
  ASSERT_TRUE(viewer.Shell());
  EXPECT_TRUE(viewer.ReadUntil("\x1b[?2026l", 20000));
  EXPECT_TRUE(server.Running());
}

TEST(ServeSsh, SigtermEndsEveryShowAsAKeyWouldAndExitsAtOnce) {
  ServedShow server;
  ASSERT_TRUE(server.ok()) << server.Log();
  std::vector<std::unique_ptr<TmuxPane>> panes;
  for (int i = 0; i < 2; ++i) {
    panes.push_back(std::make_unique<TmuxPane>("cellshow-serve-term" + std::to_string(i), 80, 50));
    ASSERT_TRUE(panes.back()->ok());
    panes.back()->TypeLine(server.Ssh("-t") + "; echo EXIT=$?");
  }
  test::TestClient viewer(server.port(), "127.0.0.2");
  ASSERT_TRUE(viewer.Pty("xterm-256color", 80, 50) && viewer.Shell());
  for (auto& pane : panes)
    ASSERT_TRUE(pane->WaitForFormat("#{alternate_on}", "1", 20000)) << server.Log();
  ASSERT_TRUE(viewer.ReadUntil("\x1b[?2026l", 20000));
  const auto stop = std::chrono::steady_clock::now();
  // The server keeps reading what the viewer is sent meanwhile.
  kill(server.pid(), SIGTERM);
  viewer.ReadToEnd(10000);
  const int code = server.Stop(SIGTERM, 10000);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - stop).count();
  EXPECT_EQ(code, 0) << server.Log();
  EXPECT_LT(seconds, 2.0 * test::TimingScale + 1.0);
  RecordProperty("seconds to stop", std::to_string(seconds));
  for (auto& pane : panes) {
    EXPECT_TRUE(pane->WaitForText("EXIT=0", 10000)) << pane->Capture();
    EXPECT_EQ(pane->Format("#{alternate_on}"), "0");
    EXPECT_EQ(pane->Format("#{cursor_flag}"), "1");
  }
  EXPECT_EQ(viewer.exitStatus(), 0);
  const std::string restore = RestoreSequence;
  EXPECT_EQ(viewer.output().substr(viewer.output().size() - restore.size()), restore);
  EXPECT_EQ(test::Count(server.Log(), "ended: server stopping"), 3) << server.Log();
}

}  // namespace
}  // namespace cellshow
