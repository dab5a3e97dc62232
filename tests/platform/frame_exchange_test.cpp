// The newest-frame exchange between the tick and the thread that shows: a
// producer publishing numbered frames flat out against a consumer taking them.
#include "platform/ticks/frame_exchange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace cellshow {
namespace {

// The number every cell carries (frame n has n in each); 0 for a torn frame.
uint32_t NumberOf(const ScreenCells& screen) {
  const uint32_t n = screen[0].Char | uint32_t{screen[0].Attributes} << 16;
  for (const Cell& cell : screen)
    if ((cell.Char | uint32_t{cell.Attributes} << 16) != n) return 0;
  return n;
}

// Guards against torn frames, an older frame after a newer, a lost newest
// frame, and a frame counted as both taken and replaced (or as neither).
TEST(FrameExchangeThreads, FramesArriveWholeInOrderAndTheNewestLast) {
  constexpr uint32_t Frames = 5000;
  for (const bool lagging : {false, true}) {
    SCOPED_TRACE(lagging ? "lagging consumer" : "eager consumer");
    const auto exchange = std::make_unique<FrameExchange>();
    std::atomic<bool> done{false};
    uint64_t replaced = 0;
    std::thread producer([&] {
      static ScreenCells frame;
      for (uint32_t n = 1; n <= Frames; ++n) {
        for (Cell& cell : frame)
          cell = Cell{static_cast<uint16_t>(n), static_cast<uint16_t>(n >> 16)};
        replaced += exchange->Publish(frame) ? 1 : 0;
      }
      done.store(true, std::memory_order_release);
    });
    uint32_t last = 0, taken = 0, torn = 0, backwards = 0;
    for (;;) {
      const bool finished = done.load(std::memory_order_acquire);
      if (exchange->TakeFresh()) {
        const uint32_t n = NumberOf(exchange->front());
        torn += n == 0 ? 1 : 0;
        backwards += n <= last ? 1 : 0;
        last = n;
        ++taken;
        if (lagging) std::this_thread::yield();
      } else if (finished) {
        break;  // nothing fresh after the producer's last publish
      }
    }
    producer.join();
    EXPECT_EQ(torn, 0u);
    EXPECT_EQ(backwards, 0u);
    EXPECT_EQ(last, Frames) << "the consumer must end with the newest frame";
    EXPECT_EQ(taken + replaced, Frames) << "each frame is taken or replaced, once";
    EXPECT_TRUE(exchange->hasFrame());
  }
}

}  // namespace
}  // namespace cellshow
