// Clients that do not play by the rules, against the real server: random
// bytes instead of a handshake, a handshake that stalls, ptys of 0x0 and
// 65535x65535, a 10 KB terminal name, a flood of window changes, a viewer
// that reads nothing. The server stays up, drops what it must, and a viewer
// watching meanwhile keeps its frame rate.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "raw_connection.h"
#include "served_show.h"
#include "support/show_recording.h"
#include "test_client.h"

namespace cellshow {
namespace {

using test::RawConnection;
using test::ServedShow;
using test::TestClient;

// The presents of the default show due in the first `seconds` of it.
int PresentsWithin(double seconds) {
  int count = 0;
  for (const auto& frame : test::DefaultShowFrames())
    count += frame->tick <= static_cast<uint32_t>(seconds * 1000 / 17);
  return count;
}

TEST(ServeHostile, HostileClientsLeaveTheServerAndOtherViewersAlone) {
  ServedShow server;
  ASSERT_TRUE(server.ok()) << server.Log();
  // The viewer that watches throughout, from an address of its own.
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    TestClient viewer(server.port(), "127.0.0.2");
    if (!viewer.Pty("xterm-256color", 80, 50) || !viewer.Shell()) return;
    while (!stop) viewer.Read(100);
    viewer.Type("q");
    viewer.ReadToEnd(20000);
  });

  RawConnection stalled(server.port(), "127.0.0.3");
  ASSERT_TRUE(stalled.ReadUntil("SSH-2.0-", 20000));

  RawConnection noise(server.port(), "127.0.0.4");
  std::mt19937 random(24);
  std::string bytes(64 << 10, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  noise.Send(bytes);
  EXPECT_TRUE(noise.ReadToClose(20000));

  struct Case {
    const char* name;
    std::string term;
    int columns, rows;
    int windowChanges;  // a flood, alternating sizes
  } cases[] = {
      {"0x0", "xterm-256color", 0, 0, 0},
      {"65535x65535", "xterm-256color", 65535, 65535, 0},
      {"a 10 KB terminal name", std::string(10 << 10, 'x'), 80, 50, 0},
      {"a flood of window changes", "xterm-256color", 80, 50, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestClient client(server.port(), "127.0.0.5");
    ASSERT_TRUE(client.ok()) << client.refusal();
    ASSERT_TRUE(client.Pty(c.term, c.columns, c.rows));
    ASSERT_TRUE(client.Shell());
    for (int i = 0; i < c.windowChanges; ++i)
      client.WindowChange(i % 2 ? 40 + i % 300 : 0, i % 3 ? 12 + i % 200 : 65535);
    client.Read(1000);
    // Whatever it was sent, a size it can use brings frames.
    client.WindowChange(80, 50);
    EXPECT_TRUE(client.ReadUntil("\x1b[?2026l", 20000)) << server.Log();
    client.Type("q");
    EXPECT_TRUE(client.ReadToEnd(20000));
    EXPECT_EQ(client.exitStatus(), 0);
  }
  // The stalled handshake is dropped after 10 s; the server told it why.
  EXPECT_TRUE(server.WaitForLog("the handshake took over 10 s", 30000)) << server.Log();
  EXPECT_TRUE(stalled.ReadToClose(20000));
  EXPECT_NE(stalled.received().find("handshake took over 10 s"), std::string::npos);

  stop = true;
  watcher.join();
  ASSERT_TRUE(server.WaitForLog("viewer 127.0.0.2", 20000)) << server.Log();
  const std::string log = server.Log();
  const size_t line = log.find("viewer 127.0.0.2 ");
  ASSERT_NE(line, std::string::npos) << log;
  double watched = 0;
  int frames = 0, skipped = 0;
  char end[32] = {};
  ASSERT_EQ(std::sscanf(log.c_str() + line,
                        "viewer 127.0.0.2 %*s 80x50 watched %lf s, sent %*d bytes, %d frames (%d "
                        "skipped), ended: %31s",
                        &watched, &frames, &skipped, end),
            4)
      << log;
  EXPECT_STREQ(end, "key");
  // It was sent (nearly) every present due while it watched.
  EXPECT_GE(frames, PresentsWithin(watched) * 9 / 10) << log;
  EXPECT_LE(skipped, frames / 20) << log;
  EXPECT_TRUE(server.Running());
  EXPECT_EQ(test::Count(log, "left before any show: handshake failed"), 1) << log;
}

// A viewer whose client reads nothing fills what the connection buffers
// (large frames: 24-bit colour at the widest scaled size) and is dropped
// 30 s after it last took a frame.
TEST(ServeHostileLong, AViewerThatReadsNothingIsDroppedAfterThirtySeconds) {
  ServedShow server;
  ASSERT_TRUE(server.ok()) << server.Log();
  TestClient client(server.port(), "127.0.0.6");
  ASSERT_TRUE(client.Env("COLORTERM", "truecolor"));
  ASSERT_TRUE(client.Pty("xterm-256color", 200, 150));
  ASSERT_TRUE(client.Shell());
  EXPECT_TRUE(server.WaitForLog("ended: read nothing for 30 s", 120000)) << server.Log();
  EXPECT_TRUE(server.Running());
  TestClient next(server.port(), "127.0.0.6");
  EXPECT_TRUE(next.ok()) << next.refusal();
}

}  // namespace
}  // namespace cellshow
