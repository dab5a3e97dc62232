// The frame writer between the tick and the terminal: frames go out whole and
// in order, a slow terminal makes frames be skipped (never queued), the last
// frame is always written last, and a stuck or vanished terminal never holds
// the end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>
#include <vterm.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/terminal/frame_writer.h"
#include "platform/ticks/tick_timer.h"
#include "support/timing.h"

namespace cellshow {
namespace {

using test::SleepMs;
using test::WaitUntil;

// A pipe standing for the terminal, read by a thread at a chosen pace; while
// held, it reads nothing.
class PipeTerminal {
 public:
  // chunk bytes every pauseMs; pauseMs < 0: never read.
  PipeTerminal(int pipeSize, size_t chunk, long pauseMs, bool held = false)
      : chunk_(chunk), pauseMs_(pauseMs), held_(held) {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    readFd_ = fds[0];
    writeFd_ = fds[1];
    fcntl(writeFd_, F_SETPIPE_SZ, pipeSize);
    fcntl(writeFd_, F_SETFL, fcntl(writeFd_, F_GETFL) | O_NONBLOCK);
    if (pauseMs_ >= 0) reader_ = std::thread([this] { Read(); });
  }
  ~PipeTerminal() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (readFd_ >= 0) close(readFd_);
    close(writeFd_);
  }
  int fd() const { return writeFd_; }
  void CloseReadEnd() {
    close(readFd_);
    readFd_ = -1;
  }
  // Returns once no read is under way; nothing is read until Release.
  void Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
  }
  std::string bytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
  }
  // Reads everything left, at full speed, once the writer is done.
  std::string Drain() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    char buffer[65536];
    fcntl(readFd_, F_SETFL, fcntl(readFd_, F_GETFL) | O_NONBLOCK);
    for (ssize_t n; (n = read(readFd_, buffer, sizeof buffer)) > 0;) bytes_.append(buffer, n);
    return bytes_;
  }

 private:
  void Read() {
    std::string buffer(chunk_, '\0');
    while (!stop_) {
      pollfd wait{readFd_, POLLIN, 0};
      if (poll(&wait, 1, 5) <= 0) continue;
      bool held = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        held = held_;
        if (!held) {
          const ssize_t n = read(readFd_, buffer.data(), chunk_);
          if (n > 0) bytes_.append(buffer.data(), static_cast<size_t>(n));
        }
      }
      if (held || pauseMs_ > 0) SleepMs(held ? 1 : pauseMs_);
    }
  }

  int readFd_ = -1, writeFd_ = -1;
  const size_t chunk_;
  const long pauseMs_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  bool held_;  // guarded by mutex_
  std::string bytes_;
  std::thread reader_;
};

// An 80x50 emulated terminal fed with what the writer wrote.
class Emulator {
 public:
  Emulator() : vt_(vterm_new(50, 80)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_reset(screen_, 1);
  }
  ~Emulator() { vterm_free(vt_); }
  void Feed(const std::string& bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }
  uint32_t Char(int row, int column) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return cell.chars[0] == 0 ? ' ' : cell.chars[0];
  }
  bool BlackBackground(int row, int column) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    vterm_screen_convert_color_to_rgb(screen_, &cell.bg);
    return cell.bg.rgb.red == 0 && cell.bg.rgb.green == 0 && cell.bg.rgb.blue == 0;
  }

 private:
  VTerm* vt_;
  VTermScreen* screen_;
};

// Frame n: every cell a letter that names the frame, on blue, in a colour
// that differs from its neighbour's; some 20 kB, far more than a 4 kB pipe.
void Frame(ScreenCells& screen, int n) {
  for (int k = 0; k < ScreenCellCount; ++k)
    screen[k] =
        Cell{static_cast<uint16_t>('A' + (n + k) % 26), static_cast<uint16_t>(0x10 | (9 + k % 7))};
}

bool ShowsFrame(Emulator& emulator, int n) {
  for (int k = 0; k < ScreenCellCount; ++k)
    if (emulator.Char(k / 80, k % 80) != static_cast<uint32_t>('A' + (n + k) % 26)) return false;
  return true;
}

bool ShowsBlack(Emulator& emulator) {
  for (int row = 0; row < 50; ++row)
    for (int column = 0; column < 80; ++column)
      if (emulator.Char(row, column) != ' ' || !emulator.BlackBackground(row, column)) return false;
  return true;
}

// Only keeps a broken writer from hanging the test.
constexpr std::chrono::milliseconds HangLimit{20000};

// Waits until the writer has acted on everything asked of it so far.
bool Settle(const FrameWriter& writer) {
  const uint64_t asked = writer.wakes();
  return WaitUntil([&] { return writer.settledWakes() >= asked; }, HangLimit);
}

constexpr char Enter[] = "<enter>";
constexpr char Leave[] = "<leave>";
constexpr char Tail[] = "<tail>";

// A started writer that has taken the terminal over; null if it did not start.
std::unique_ptr<FrameWriter> Running(PipeTerminal& terminal) {
  auto writer = std::make_unique<FrameWriter>(terminal.fd(), false);
  if (!writer->Start()) return nullptr;
  writer->Resume(Enter, sizeof Enter - 1);
  return writer;
}

// The bytes before the tail (which the emulator would print past the grid).
std::string WithoutTail(const std::string& out) { return out.substr(0, out.rfind(Tail)); }

TEST(FrameWriterThreads, FramesGoOutWholeInOneWriteEachWhenTheTerminalKeepsUp) {
  PipeTerminal terminal(1 << 20, 1 << 16, 0);
  auto writer = Running(terminal);
  ASSERT_TRUE(writer);
  static ScreenCells screen;
  for (int n = 0; n < 12; ++n) {
    Frame(screen, n);
    writer->Present(screen);
    ASSERT_TRUE(
        WaitUntil([&] { return writer->Stats().framesWritten == uint64_t(n) + 1; }, HangLimit));
  }
  ASSERT_TRUE(writer->Finish(Tail, sizeof Tail - 1, 2000));
  const WriterStats stats = writer->Stats();
  EXPECT_EQ(stats.presented, 12u);
  EXPECT_EQ(stats.skipped, 0u);
  EXPECT_EQ(stats.framesWritten, 12u);
  EXPECT_EQ(stats.writeCalls, 12u + 2u);  // one per frame, one each for enter and tail
  const std::string out = terminal.Drain();
  EXPECT_EQ(stats.bytesWritten, out.size());
  EXPECT_EQ(out.rfind(Enter, 0), 0u);
  EXPECT_EQ(out.substr(out.size() - (sizeof Tail - 1)), Tail);
  Emulator emulator;
  emulator.Feed(WithoutTail(out));
  EXPECT_TRUE(ShowsFrame(emulator, 11));
}

// A terminal that takes nothing holds the writer in the middle of frame 0:
// every frame presented meanwhile replaces the one waiting, so the newest is
// the one written next. At the end, the last frame presented is written last.
TEST(FrameWriterThreads, ASlowTerminalSkipsFramesAndTheNewestIsWrittenNext) {
  PipeTerminal terminal(4096, 1 << 16, 0, /*held=*/true);
  auto writer = Running(terminal);
  ASSERT_TRUE(writer);
  static ScreenCells screen;
  Frame(screen, 0);
  writer->Present(screen);
  ASSERT_TRUE(
      WaitUntil([&] { return writer->Stats().bytesWritten > sizeof Enter - 1; }, HangLimit));
  for (int n = 1; n < 40; ++n) {
    Frame(screen, n);
    writer->Present(screen);
  }
  EXPECT_EQ(writer->Stats().skipped, 38u);
  terminal.Release();
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 2; }, HangLimit));
  ASSERT_TRUE(WaitUntil([&] { return terminal.bytes().size() == writer->Stats().bytesWritten; },
                        HangLimit));
  {
    Emulator emulator;
    emulator.Feed(terminal.bytes());
    EXPECT_TRUE(ShowsFrame(emulator, 39)) << "a frame older than the newest was written";
  }

  // Stuck again in frame 40, with a black frame waiting: Finish writes the
  // black frame last, whether or not the rest of frame 40 went out first.
  terminal.Hold();
  const uint64_t before = writer->Stats().bytesWritten;
  Frame(screen, 40);
  writer->Present(screen);
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().bytesWritten > before; }, HangLimit));
  writer->Present(ScreenCells{});
  bool finished = false;
  const uint64_t wakes = writer->wakes();
  std::thread finisher([&] { finished = writer->Finish(Tail, sizeof Tail - 1, 10000); });
  WaitUntil([&] { return writer->wakes() > wakes; }, HangLimit);  // Finish has asked
  terminal.Release();
  finisher.join();
  EXPECT_TRUE(finished);
  const WriterStats stats = writer->Stats();
  EXPECT_EQ(stats.presented, 42u);
  EXPECT_EQ(stats.skipped, 38u);
  EXPECT_LE(stats.presented - stats.framesWritten - stats.skipped, 1u);
  const std::string out = terminal.Drain();
  EXPECT_EQ(out.substr(out.size() - (sizeof Tail - 1)), Tail);
  Emulator emulator;
  emulator.Feed(WithoutTail(out));
  EXPECT_TRUE(ShowsBlack(emulator));
}

// Finish gives up on a terminal that takes nothing after its timeout, not
// before and not much later.
TEST(FrameWriterThreads, AStuckTerminalDoesNotHoldTheEnd) {
  PipeTerminal terminal(4096, 1, -1);  // never read, and full from the start
  char junk[512] = {};
  while (write(terminal.fd(), junk, sizeof junk) > 0) {
  }
  auto writer = Running(terminal);
  ASSERT_TRUE(writer);
  static ScreenCells screen;
  Frame(screen, 1);
  writer->Present(screen);
  writer->Present(ScreenCells{});
  const int64_t start = MonotonicNs();
  EXPECT_FALSE(writer->Finish(Tail, sizeof Tail - 1, 100));
  const int64_t took = MonotonicNs() - start;
  EXPECT_GE(took, int64_t{100} * 1000000);
  EXPECT_LT(took, int64_t{100 + 2000 * test::TimingScale} * 1000000);
  EXPECT_FALSE(writer->gone());
}

TEST(FrameWriterThreads, AVanishedTerminalIsReportedAndEndsAtOnce) {
  PipeTerminal terminal(4096, 1, -1);
  terminal.CloseReadEnd();  // writes now fail with EPIPE
  auto writer = Running(terminal);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(WaitUntil([&] { return writer->gone(); }, HangLimit));
  pollfd gone{writer->goneFd(), POLLIN, 0};
  EXPECT_EQ(poll(&gone, 1, 0), 1);
  writer->Present(ScreenCells{});
  // Gone: Finish does not wait for its timeout.
  const int64_t start = MonotonicNs();
  EXPECT_FALSE(writer->Finish(Tail, sizeof Tail - 1, 20000));
  EXPECT_LT(MonotonicNs() - start, int64_t{10000} * 1000000);
}

TEST(FrameWriterThreads, ResizeAndRedrawRepeatTheLastFrameInFull) {
  PipeTerminal terminal(1 << 20, 1 << 16, 0);
  auto writer = std::make_unique<FrameWriter>(terminal.fd(), false);
  ASSERT_TRUE(writer->Start());
  // Nothing before the first Resume: the terminal is not ours yet.
  static ScreenCells screen;
  Frame(screen, 3);
  writer->Present(screen);
  ASSERT_TRUE(Settle(*writer));
  EXPECT_EQ(writer->Stats().bytesWritten, 0u);
  writer->Resume(Enter, sizeof Enter - 1);
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 1; }, HangLimit));
  writer->Resize(TerminalSize{100, 60});
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 2; }, HangLimit));
  writer->Redraw();
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 3; }, HangLimit));
  writer->Resize(TerminalSize{100, 60});  // the same size: nothing to redraw
  ASSERT_TRUE(Settle(*writer));
  EXPECT_EQ(writer->Stats().framesWritten, 3u);
  writer->Resize(TerminalSize{80, 50});  // back to the emulator's size
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 4; }, HangLimit));
  EXPECT_EQ(writer->Stats().presented, 1u);
  ASSERT_TRUE(writer->Finish(Tail, sizeof Tail - 1, 2000));
  Emulator emulator;
  emulator.Feed(WithoutTail(terminal.Drain()));
  EXPECT_TRUE(ShowsFrame(emulator, 3));
}

TEST(FrameWriterThreads, SuspendGivesTheTerminalBackUntilResume) {
  PipeTerminal terminal(1 << 20, 1 << 16, 0);
  auto writer = Running(terminal);
  ASSERT_TRUE(writer);
  static ScreenCells screen;
  Frame(screen, 1);
  writer->Present(screen);
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 1; }, HangLimit));
  ASSERT_TRUE(writer->Suspend(Leave, sizeof Leave - 1, 2000));
  ASSERT_TRUE(WaitUntil([&] { return terminal.bytes().size() == writer->Stats().bytesWritten; },
                        HangLimit));
  const size_t suspendedAt = terminal.bytes().size();
  EXPECT_EQ(terminal.bytes().substr(suspendedAt - (sizeof Leave - 1)), Leave);
  Frame(screen, 2);
  writer->Present(screen);  // while suspended: held, not written
  ASSERT_TRUE(Settle(*writer));
  EXPECT_EQ(writer->Stats().bytesWritten, suspendedAt);
  writer->Resume(Enter, sizeof Enter - 1);
  ASSERT_TRUE(WaitUntil([&] { return writer->Stats().framesWritten == 2; }, HangLimit));
  // Finishing while suspended writes neither a frame nor the tail.
  ASSERT_TRUE(writer->Suspend(Leave, sizeof Leave - 1, 2000));
  Frame(screen, 4);
  writer->Present(screen);
  ASSERT_TRUE(writer->Finish(Tail, sizeof Tail - 1, 2000));
  const std::string out = terminal.Drain();
  EXPECT_EQ(out.substr(out.size() - (sizeof Leave - 1)), Leave);
  const size_t resumed = out.find(Enter, suspendedAt);
  ASSERT_NE(resumed, std::string::npos);
  Emulator emulator;
  emulator.Feed(out.substr(0, out.rfind(Leave)));
  EXPECT_TRUE(ShowsFrame(emulator, 2));
}

}  // namespace
}  // namespace cellshow
