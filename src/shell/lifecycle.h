#pragma once
// Start-up and the one shutdown sequence of the program.
#include <atomic>
#include <cstdint>

namespace cellshow {

constexpr int32_t TimerResolution = 17;  // milliseconds
constexpr int32_t TimerDelay = 17;       // milliseconds between two ticks

struct Lifecycle {
  std::atomic<uint32_t> TimerId{0};  // also read by a shutdown on the timer thread
  int32_t KeyHit = 0;                // main thread only
  std::atomic<bool> ShutdownBegun{false};
};

struct Show;
// Start-up up to and including the start of the 17 ms tick (after the
// ticks before a later start, show/playback.h).
void StartUp(Show& show);
// Prepares everything, starts the 17 ms tick, waits for a key and shuts down.
// Returns only where the platform's ExitProcess returns (headless and tests).
void Start(Show& show);
// Black frame, files closed, media closed, timer stopped, exit code 0. Runs at
// most once, whichever thread calls it first; no tick runs from its start on.
void Shutdown(Show& show);

}  // namespace cellshow
