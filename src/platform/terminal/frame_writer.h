#pragma once
// Hands frames from the tick to a writer thread that encodes them and writes
// them to the terminal, so that a slow terminal never slows the show.
//
// A present goes through the newest-frame exchange (frame_exchange.h): no
// lock, no allocation, no wait. When the writer has not taken the previous
// frame yet, the newer one replaces it (the older is skipped, never queued). Each frame goes out in
// one write() when the terminal takes it all; the writer thread blocks every signal that could
// interrupt it, so an escape sequence is never cut in half.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/ticks/frame_exchange.h"
#include "render/ansi/terminal_view.h"
#include "shell/screen.h"

namespace cellshow {

struct WriterStats {
  uint64_t presented = 0;      // frames handed over by presents
  uint64_t skipped = 0;        // replaced before the writer took them
  uint64_t framesWritten = 0;  // frames that reached the terminal whole
  uint64_t bytesWritten = 0;   // every byte written, frames and control strings
  uint64_t frameBytes = 0;     // the bytes of the frames alone
  uint64_t writeCalls = 0;
};

class FrameWriter {
 public:
  static constexpr size_t MaxControlBytes = 256;

  // `fd` is the terminal, best opened non-blocking (a blocking one works, but
  // then a stuck terminal can hold the writer). Not owned. Frames are
  // written for a terminal of `capabilities`, and shown at each size as
  // `fit` says (terminal_view.h); the size notice offers the window when
  // `noticeOffersWindow`.
  FrameWriter(int fd, const TerminalCapabilities& capabilities, FitMode fit = FitMode::Auto,
              bool noticeOffersWindow = true);
  // A UTF-8 terminal with background colour erase, 16 or 24-bit colour.
  FrameWriter(int fd, bool trueColor);
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Starts the writer thread. Frames are written only after the first Resume.
  bool Start();

  // Tick side: hands `screen` over and returns at once.
  void Present(const ScreenCells& screen);

  // Main thread requests; each wakes the writer and returns at once.
  // The terminal's size: a change redraws the last frame in full.
  void Resize(TerminalSize size);
  // Redraws the last frame in full.
  void Redraw();
  // The byte strings below are static text (they are read on the writer
  // thread later), at most MaxControlBytes long.
  // Writes `bytes` (entering the show's terminal modes), then frames again,
  // the first of them the last frame presented, in full.
  void Resume(const char* bytes, size_t count);
  // Finishes the frame in flight, writes `bytes` (leaving the show's modes)
  // and writes nothing more until Resume. Waits up to timeoutMs for it; false
  // when the terminal did not take it in time.
  bool Suspend(const char* bytes, size_t count, int timeoutMs);
  // The end: writes the last frame presented (dropping what is left of an
  // older frame in flight), then `tail` (only while frames go out, that is
  // after Resume and not Suspend), and ends the thread. Waits at most
  // timeoutMs; returns true when everything due was written.
  bool Finish(const char* tail, size_t count, int timeoutMs);

  // The terminal has gone away (a write failed with EIO, EPIPE...).
  bool gone() const { return gone_.load(std::memory_order_acquire); }
  // Readable once gone.
  int goneFd() const { return goneFd_; }
  WriterStats Stats() const;

  // Every present and request counts one wake. settledWakes() is the count
  // the writer had seen when it last found nothing left to do: once it
  // reaches a value of wakes(), everything asked before that was acted on.
  // Lets a test check that a request had no effect without waiting a while.
  uint64_t wakes() const { return wakes_.load(std::memory_order_acquire); }
  uint64_t settledWakes() const { return settledWakes_.load(std::memory_order_acquire); }

 private:
  enum Request : uint32_t {
    RedrawBit = 1,
    ResumeBit = 2,
    SuspendBit = 4,
    FinishBit = 8,
    AbortBit = 16
  };
  enum class Output { None, Frame, Control, Suspend, Tail };
  // A control string (static text), set by the main thread before it raises
  // its request bit.
  struct Control {
    std::atomic<const char*> bytes{nullptr};
    std::atomic<size_t> count{0};
  };

  void Run();
  void RunFinish();
  void Wake();
  void Ack();
  template <typename Done>
  bool WaitFor(Done done, int timeoutMs);
  bool Aborted() const;
  bool TakeRequest(uint32_t bit);
  void EncodeFront(bool cancelFirst);
  void Queue(Output kind, const Control& control);
  void Flush();
  // Writes what it can of the output in flight. False when the terminal
  // would block.
  bool WriteSome();
  void Completed();
  // Waits for the terminal to take more bytes or for a request.
  void WaitWritable();
  void WaitRequest();
  void MarkGone();

  const int fd_;
  TerminalView view_;

  // Tick -> writer; the writer is the consumer.
  FrameExchange frames_;

  std::atomic<uint32_t> requests_{0};
  std::atomic<uint32_t> size_;  // columns << 16 | rows
  uint32_t shownSize_ = 0;      // writer: the size the last frame was encoded for
  bool entered_ = false;        // writer: frames go to the terminal
  bool redraw_ = false;         // writer: redraw the last frame in full

  Control resume_, suspend_, tail_;

  std::atomic<bool> gone_{false};
  std::atomic<uint32_t> suspendAcks_{0};  // suspend strings written
  uint32_t suspendsAsked_ = 0;            // main thread
  std::atomic<bool> finished_{false};     // the writer has ended
  std::atomic<bool> finishedWhole_{false};
  int wakeFd_ = -1;  // main and tick -> writer
  int ackFd_ = -1;   // writer -> main
  int goneFd_ = -1;  // writer -> main
  std::thread thread_;

  std::atomic<uint64_t> presented_{0};
  std::atomic<uint64_t> skipped_{0};
  std::atomic<uint64_t> framesWritten_{0};
  std::atomic<uint64_t> bytesWritten_{0};
  std::atomic<uint64_t> frameBytes_{0};
  std::atomic<uint64_t> writeCalls_{0};
  std::atomic<uint64_t> wakes_{0};
  std::atomic<uint64_t> settledWakes_{0};

  // The output in flight.
  Output outKind_ = Output::None;
  size_t outCount_ = 0;
  size_t outDone_ = 0;
  char out_[TerminalView::MaxFrameBytes + MaxControlBytes];
};

}  // namespace cellshow
