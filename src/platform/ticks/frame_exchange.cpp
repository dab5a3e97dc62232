#include "platform/ticks/frame_exchange.h"

#include <cstring>

namespace cellshow {

bool FrameExchange::Publish(const ScreenCells& screen) {
  std::memcpy(slots_[back_], screen, sizeof(ScreenCells));
  const uint8_t previous = pending_.exchange(back_ | FreshBit, std::memory_order_acq_rel);
  back_ = previous & IndexMask;
  return (previous & FreshBit) != 0;
}

bool FrameExchange::TakeFresh() {
  if (!FreshPending()) return false;
  // Only the producer sets the bit and only the consumer clears it, so the
  // exchange returns the fresh slot.
  front_ = pending_.exchange(front_, std::memory_order_acq_rel) & IndexMask;
  hasFrame_ = true;
  return true;
}

}  // namespace cellshow
