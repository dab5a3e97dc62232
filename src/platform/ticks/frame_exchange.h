#pragma once
// Hands whole frames from the tick (the one producer) to the one thread that
// shows them (the terminal writer, the window's main loop), so that showing
// never slows the show.
//
// A triple buffer: a publish copies the grid into the producer's slot and
// swaps it in with one atomic exchange; no lock, no allocation, no wait. A
// frame the consumer has not taken yet is replaced by a newer one (skipped,
// never queued).
#include <atomic>
#include <cstdint>

#include "shell/screen.h"

namespace cellshow {

class FrameExchange {
 public:
  // Producer only. True when the frame replaced one that was never taken.
  bool Publish(const ScreenCells& screen);

  // Consumer only, as are the rest. A frame newer than front() waits.
  bool FreshPending() const { return (pending_.load(std::memory_order_acquire) & FreshBit) != 0; }
  // Makes the newest frame front(); false when there is none newer.
  bool TakeFresh();
  // The frame taken last; all cells zero before the first.
  const ScreenCells& front() const { return slots_[front_]; }
  bool hasFrame() const { return hasFrame_; }

 private:
  static constexpr uint8_t FreshBit = 4;
  static constexpr uint8_t IndexMask = 3;

  ScreenCells slots_[3] = {};
  // The third slot, and whether it carries a frame not yet taken.
  std::atomic<uint8_t> pending_{1};
  uint8_t back_ = 0;       // producer: the slot written next
  uint8_t front_ = 2;      // consumer: the slot shown
  bool hasFrame_ = false;  // consumer: front_ holds a frame
};

}  // namespace cellshow
