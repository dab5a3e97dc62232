// The newest-frame exchange every live output uses between the tick and the
// thread that shows: a producer publishing numbered frames as fast as it can
// against a consumer taking them. The consumer never sees a torn frame or an
// older one after a newer, it always ends with the newest, and every frame
// is either taken or reported replaced, exactly once.
#include "platform/ticks/frame_exchange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace cellshow {
namespace {

// Frame n carries n in every cell, so a frame mixed from two is seen.
void FillFrame(ScreenCells& screen, uint32_t n) {
  for (Cell& cell : screen) cell = Cell{static_cast<uint16_t>(n), static_cast<uint16_t>(n >> 16)};
}

// The number every cell of `screen` carries; 0 when they differ.
uint32_t NumberOf(const ScreenCells& screen) {
  const uint32_t n = screen[0].Char | uint32_t{screen[0].Attributes} << 16;
  for (const Cell& cell : screen)
    if ((cell.Char | uint32_t{cell.Attributes} << 16) != n) return 0;
  return n;
}

struct Pace {
  const char* name;
  int consumerPauseEvery;  // the consumer yields after this many takes; 0 never
};

TEST(FrameExchangeThreads, FramesArriveWholeInOrderAndTheNewestLast) {
  constexpr uint32_t Frames = 5000;
  for (const Pace& pace : {Pace{"eager consumer", 0}, Pace{"lagging consumer", 1}}) {
    SCOPED_TRACE(pace.name);
    const auto owned = std::make_unique<FrameExchange>();
    FrameExchange& exchange = *owned;
    std::atomic<bool> done{false};
    uint64_t replaced = 0;
    std::thread producer([&] {
      static ScreenCells frame;
      for (uint32_t n = 1; n <= Frames; ++n) {
        FillFrame(frame, n);
        replaced += exchange.Publish(frame) ? 1 : 0;
      }
      done.store(true, std::memory_order_release);
    });

    uint32_t last = 0, taken = 0, torn = 0, backwards = 0;
    for (;;) {
      const bool finished = done.load(std::memory_order_acquire);
      if (exchange.TakeFresh()) {
        const uint32_t n = NumberOf(exchange.front());
        torn += n == 0 ? 1 : 0;
        backwards += n <= last ? 1 : 0;
        last = n;
        ++taken;
        if (pace.consumerPauseEvery > 0 && taken % pace.consumerPauseEvery == 0)
          std::this_thread::yield();
      } else if (finished) {
        break;  // nothing fresh after the producer's last publish
      }
    }
    producer.join();

    EXPECT_EQ(torn, 0u);
    EXPECT_EQ(backwards, 0u);
    EXPECT_EQ(last, Frames) << "the consumer must end with the newest frame";
    EXPECT_EQ(taken + replaced, Frames) << "each frame is taken or replaced, once";
    EXPECT_TRUE(exchange.hasFrame());
  }
}

}  // namespace
}  // namespace cellshow
