// The real program serving the show, watched with OpenSSH's own client in
// tmux panes as a person watches it: the pane shows a frame of the recorded
// show near its tick, in the grid at 80x50 and scaled at 80x24; a resize
// switches the view; a key ends it with the terminal given back and status
// 0; SIGTERM ends every show the same way. Everything but the show is
// refused, and the server goes on.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
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
#include "raw_connection.h"
#include "served_show.h"
#include "support/pane_screen.h"
#include "support/shell_run.h"
#include "support/show_recording.h"
#include "support/timing.h"
#include "support/tmux_pane.h"
#include "test_client.h"
#include "viewer_rig.h"

namespace cellshow {
namespace {

using test::ServedShow;
using test::ShellQuote;
using test::SleepMs;
using test::SteadyPaneScreen;
using test::TmuxPane;
using test::VtermScreen;

// The ticks of the recorded frames the pane of tmux (256 colours, no
// background colour erase) shows: frames a few ticks apart can look alike.
std::vector<long> ShownTicks(const VtermScreen& terminal, int columns, int rows) {
  const TerminalKind pane{
      {ColorDepth::Xterm256, GlyphSet::Unicode, false}, FitMode::Auto, {columns, rows}};
  std::vector<long> ticks;
  for (const auto& frame : test::DefaultShowFrames())
    if (test::FrameMismatch(terminal, frame->cells, pane) == "") ticks.push_back(frame->tick);
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
      for (long tick : ShownTicks(*SteadyPaneScreen(pane, columns, rows), columns, rows)) {
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

// Waits until the pane shows the grid (50 rows or more, 10 of them with the
// plasma's glyphs, no half block) or the scaled view (24 rows, half blocks).
bool WaitForView(const TmuxPane& pane, bool scaled, int timeoutMs) {
  return test::WaitUntil(
      [&] {
        const std::string shown = pane.Capture();
        const bool halfBlocks = shown.find("\u2580") != std::string::npos;
        int rows = 0, plasmaRows = 0;
        std::stringstream in(shown);
        for (std::string line; std::getline(in, line); ++rows)
          plasmaRows += line.find_first_of("o+O0'") != std::string::npos;
        return scaled ? rows == 24 && halfBlocks : rows >= 50 && plasmaRows >= 10 && !halfBlocks;
      },
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
  // The grid, scaled, the grid, scaled, the grid.
  for (int view = 0; view < 5; ++view) {
    ASSERT_TRUE(WaitForView(pane, view % 2, 15000)) << "view " << view << "\n" << pane.Capture();
    if (view < 4)
      pane.Tmux(view % 2 ? "resize-window -t show -y 50" : "resize-window -t show -y 24");
  }
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
  test::RawConnection forwarded(local, "127.0.0.1");
  EXPECT_TRUE(forwarded.ok() && forwarded.ReadToClose(10000) && forwarded.received().empty());
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
  EXPECT_TRUE(viewer.output().ends_with(RestoreSequence));
  EXPECT_EQ(test::Count(server.Log(), "ended: server stopping"), 3) << server.Log();
}

}  // namespace
}  // namespace cellshow
