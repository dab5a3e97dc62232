#include "platform/terminal/frame_writer.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/ticks/tick_timer.h"
#include "render/ansi/terminal_sequences.h"

namespace cellshow {
namespace {

// Ends an escape sequence (or a UTF-8 glyph) that a dropped frame cut short:
// ESC cancels any sequence in progress, and the reset leaves known colours.
constexpr const auto& CancelSequence = escape::ResetPen;

void Signal(int fd) {
  const uint64_t one = 1;
  if (fd >= 0) (void)!write(fd, &one, sizeof one);
}

void Drain(int fd) {
  uint64_t count = 0;
  if (fd >= 0) (void)!read(fd, &count, sizeof count);
}

// The writer thread blocks every signal that a handler could take, so no
// write is ever interrupted. Faults stay deliverable (a blocked fault kills
// without its handler), and so do the job-control stops of a background write.
void BlockSignalsOnThisThread() {
  sigset_t set;
  sigfillset(&set);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS, SIGTTOU, SIGTTIN})
    sigdelset(&set, s);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

uint32_t PackSize(TerminalSize size) {
  const auto clamp = [](int v) {
    return static_cast<uint32_t>(v < 1 ? 1 : v > 0xFFFF ? 0xFFFF : v);
  };
  return clamp(size.columns) << 16 | clamp(size.rows);
}

}  // namespace

FrameWriter::FrameWriter(int fd, bool trueColor)
    : FrameWriter(fd,
                  TerminalCapabilities{trueColor ? ColorDepth::TrueColor : ColorDepth::Sixteen}) {}

FrameWriter::FrameWriter(int fd, const TerminalCapabilities& capabilities, FitMode fit,
                         bool noticeOffersWindow)
    : fd_(fd),
      view_(capabilities, fit, noticeOffersWindow),
      size_(PackSize(TerminalSize{})),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      ackFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      goneFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  shownSize_ = size_.load();
}

FrameWriter::~FrameWriter() {
  if (thread_.joinable()) {
    requests_.fetch_or(AbortBit, std::memory_order_release);
    Wake();
    thread_.join();
  }
  for (int fd : {wakeFd_, ackFd_, goneFd_})
    if (fd >= 0) close(fd);
}

bool FrameWriter::Start() {
  if (thread_.joinable() || wakeFd_ < 0 || ackFd_ < 0 || goneFd_ < 0) return false;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void FrameWriter::Present(const ScreenCells& screen) {
  const bool replaced = frames_.Publish(screen);
  presented_.fetch_add(1, std::memory_order_relaxed);
  if (replaced) skipped_.fetch_add(1, std::memory_order_relaxed);
  Wake();
}

void FrameWriter::Resize(TerminalSize size) {
  size_.store(PackSize(size), std::memory_order_release);
  Wake();
}

void FrameWriter::Redraw() {
  requests_.fetch_or(RedrawBit, std::memory_order_release);
  Wake();
}

void FrameWriter::Resume(const char* bytes, size_t count) {
  resume_.bytes.store(bytes, std::memory_order_relaxed);
  resume_.count.store(count < MaxControlBytes ? count : MaxControlBytes, std::memory_order_relaxed);
  requests_.fetch_or(ResumeBit, std::memory_order_release);
  Wake();
}

bool FrameWriter::Suspend(const char* bytes, size_t count, int timeoutMs) {
  if (!thread_.joinable()) return false;
  suspend_.bytes.store(bytes, std::memory_order_relaxed);
  suspend_.count.store(count < MaxControlBytes ? count : MaxControlBytes,
                       std::memory_order_relaxed);
  const uint32_t target = ++suspendsAsked_;
  requests_.fetch_or(SuspendBit, std::memory_order_release);
  Wake();
  return WaitFor([&] { return suspendAcks_.load(std::memory_order_acquire) >= target; },
                 timeoutMs) &&
         !gone();
}

bool FrameWriter::Finish(const char* tail, size_t count, int timeoutMs) {
  if (!thread_.joinable()) return false;
  tail_.bytes.store(tail, std::memory_order_relaxed);
  tail_.count.store(count < MaxControlBytes ? count : MaxControlBytes, std::memory_order_relaxed);
  requests_.fetch_or(FinishBit, std::memory_order_release);
  Wake();
  if (!WaitFor([&] { return finished_.load(std::memory_order_acquire); }, timeoutMs)) {
    requests_.fetch_or(AbortBit, std::memory_order_release);
    Wake();
  }
  thread_.join();
  return finishedWhole_.load(std::memory_order_acquire);
}

WriterStats FrameWriter::Stats() const {
  WriterStats stats;
  stats.presented = presented_.load(std::memory_order_relaxed);
  stats.skipped = skipped_.load(std::memory_order_relaxed);
  stats.framesWritten = framesWritten_.load(std::memory_order_relaxed);
  stats.bytesWritten = bytesWritten_.load(std::memory_order_relaxed);
  stats.frameBytes = frameBytes_.load(std::memory_order_relaxed);
  stats.writeCalls = writeCalls_.load(std::memory_order_relaxed);
  return stats;
}

void FrameWriter::Wake() {
  wakes_.fetch_add(1, std::memory_order_acq_rel);
  Signal(wakeFd_);
}

void FrameWriter::Ack() { Signal(ackFd_); }

template <typename Done>
bool FrameWriter::WaitFor(Done done, int timeoutMs) {
  const int64_t deadline = MonotonicNs() + int64_t{timeoutMs} * 1000000;
  for (;;) {
    if (done()) return true;
    if (gone()) return false;
    const int64_t left = deadline - MonotonicNs();
    if (left <= 0) return false;
    pollfd wait[2] = {{ackFd_, POLLIN, 0}, {goneFd_, POLLIN, 0}};
    const int ms = static_cast<int>((left + 999999) / 1000000);
    if (poll(wait, 2, ms) > 0 && (wait[0].revents & POLLIN)) Drain(ackFd_);
  }
}

bool FrameWriter::TakeRequest(uint32_t bit) {
  if ((requests_.load(std::memory_order_acquire) & bit) == 0) return false;
  return (requests_.fetch_and(~bit, std::memory_order_acq_rel) & bit) != 0;
}

bool FrameWriter::Aborted() const {
  return (requests_.load(std::memory_order_acquire) & AbortBit) != 0;
}

void FrameWriter::EncodeFront(bool cancelFirst) {
  size_t n = 0;
  if (cancelFirst) {
    std::memcpy(out_, CancelSequence, sizeof CancelSequence - 1);
    n = sizeof CancelSequence - 1;
  }
  const uint32_t size = size_.load(std::memory_order_acquire);
  if (size != shownSize_) {
    shownSize_ = size;
    view_.Invalidate();
  }
  const TerminalSize terminal{static_cast<int>(size >> 16), static_cast<int>(size & 0xFFFF)};
  n += view_.Encode(frames_.front(), terminal, out_ + n);
  outKind_ = Output::Frame;
  outCount_ = n;
  outDone_ = 0;
  if (n == 0) Completed();
}

void FrameWriter::Queue(Output kind, const Control& control) {
  const char* bytes = control.bytes.load(std::memory_order_relaxed);
  const size_t count = bytes ? control.count.load(std::memory_order_relaxed) : 0;
  if (count) std::memcpy(out_, bytes, count);
  outKind_ = kind;
  outCount_ = count;
  outDone_ = 0;
  if (count == 0) Completed();
}

bool FrameWriter::WriteSome() {
  const ssize_t n = write(fd_, out_ + outDone_, outCount_ - outDone_);
  writeCalls_.fetch_add(1, std::memory_order_relaxed);
  if (n > 0) {
    outDone_ += static_cast<size_t>(n);
    bytesWritten_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    if (outDone_ == outCount_) Completed();
    return true;
  }
  if (n < 0 && errno == EINTR) return true;
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
  MarkGone();  // EIO, EPIPE, ...: the terminal has gone away
  return true;
}

void FrameWriter::Completed() {
  switch (outKind_) {
    case Output::Frame:
      framesWritten_.fetch_add(1, std::memory_order_relaxed);
      frameBytes_.fetch_add(outCount_, std::memory_order_relaxed);
      break;
    case Output::Suspend:
      entered_ = false;
      suspendAcks_.fetch_add(1, std::memory_order_release);
      Ack();
      break;
    default:
      break;
  }
  outKind_ = Output::None;
  outCount_ = 0;
  outDone_ = 0;
}

void FrameWriter::MarkGone() {
  outKind_ = Output::None;
  outCount_ = 0;
  outDone_ = 0;
  gone_.store(true, std::memory_order_release);
  Signal(goneFd_);
  Ack();
}

void FrameWriter::WaitWritable() {
  pollfd wait[2] = {{wakeFd_, POLLIN, 0}, {fd_, POLLOUT, 0}};
  if (poll(wait, 2, -1) > 0 && (wait[0].revents & POLLIN)) Drain(wakeFd_);
}

void FrameWriter::WaitRequest() {
  pollfd wait{wakeFd_, POLLIN, 0};
  if (poll(&wait, 1, -1) > 0) Drain(wakeFd_);
}

void FrameWriter::Flush() {
  while (outDone_ < outCount_ && !gone() && !Aborted())
    if (!WriteSome()) WaitWritable();
}

void FrameWriter::Run() {
  BlockSignalsOnThisThread();
  for (;;) {
    const uint64_t seen = wakes_.load(std::memory_order_acquire);
    const uint32_t requests = requests_.load(std::memory_order_acquire);
    if (requests & AbortBit) break;
    if (requests & FinishBit) {
      RunFinish();
      break;
    }
    if (gone()) {
      settledWakes_.store(seen, std::memory_order_release);
      WaitRequest();
      continue;
    }
    if (outDone_ < outCount_) {
      if (!WriteSome()) WaitWritable();
      continue;
    }
    if (TakeRequest(SuspendBit)) {
      Queue(Output::Suspend, suspend_);
      continue;
    }
    if (TakeRequest(ResumeBit)) {
      Queue(Output::Control, resume_);
      entered_ = true;
      redraw_ = true;
      view_.Invalidate();
      continue;
    }
    if (TakeRequest(RedrawBit)) {
      redraw_ = true;
      view_.Invalidate();
    }
    if (size_.load(std::memory_order_acquire) != shownSize_) redraw_ = true;
    if (entered_) {
      if (frames_.TakeFresh() || (redraw_ && frames_.hasFrame())) {
        redraw_ = false;
        EncodeFront(false);
        continue;
      }
      redraw_ = false;  // no frame yet: the first one is drawn in full anyway
    }
    settledWakes_.store(seen, std::memory_order_release);
    WaitRequest();
  }
  finished_.store(true, std::memory_order_release);
  Ack();
}

void FrameWriter::RunFinish() {
  bool cut = false;
  if (outDone_ < outCount_ && outKind_ == Output::Frame && frames_.FreshPending()) {
    // A newer frame (the last one) waits: drop what is left of this one.
    cut = outDone_ > 0;
    outKind_ = Output::None;
    outCount_ = 0;
    outDone_ = 0;
    view_.Invalidate();
  }
  Flush();  // a control string in flight goes out whole
  if (TakeRequest(ResumeBit) && !gone() && !Aborted()) {
    // The terminal was being entered: finish that first, then end it.
    Queue(Output::Control, resume_);
    Flush();
    entered_ = true;
    view_.Invalidate();
  }
  if (entered_ && !gone() && !Aborted()) {
    if (frames_.TakeFresh()) {
      EncodeFront(cut);
      Flush();
    }
    if (!gone() && !Aborted()) {
      Queue(Output::Tail, tail_);
      Flush();
    }
  }
  finishedWhole_.store(!gone() && !Aborted(), std::memory_order_release);
}

}  // namespace cellshow
