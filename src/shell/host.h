#pragma once
// What the show asks of the machine it runs on: the one interface between
// the deterministic core and a host. The core owns it; every host (terminal,
// window, web page, Windows console, headless run) implements it under
// src/platform, and nothing in the core names one of them.
#include <cstdint>

#include "shell/screen.h"

namespace cellshow {

// An open asset file; InvalidFile when the open failed (every read then
// yields nothing, rewinds and closes do nothing).
using FileHandle = int32_t;
constexpr FileHandle InvalidFile = -1;

using TickCallback = void (*)(void* context);

class Host {
 public:
  virtual ~Host() = default;

  // Console: hide the cursor and make window and buffer 80x50.
  virtual void PrepareConsole() = 0;
  // Show the whole grid at once.
  virtual void PresentScreen(const ScreenCells& screen) = 0;

  // Asset files, named in their built-in form ("data\img.txt"). Reads are of
  // fixed counts from the current position and return the bytes delivered.
  virtual FileHandle OpenFile(const char* name) = 0;
  virtual uint32_t ReadFile(FileHandle file, void* destination, uint32_t count) = 0;
  virtual void RewindFile(FileHandle file) = 0;
  virtual void CloseFile(FileHandle file) = 0;

  // Media command strings: "play data\03.mp3", "close all".
  virtual void SendMediaCommand(const char* command) = 0;

  // Periodic timer. StartTimer returns the timer id, 0 when none was made.
  // Ticks never overlap.
  virtual void BeginTimerPeriod(int32_t /*milliseconds*/) {}
  virtual uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick,
                              void* context) = 0;
  virtual void KillTimer(uint32_t timerId) = 0;
  virtual void EndTimerPeriod(int32_t /*milliseconds*/) {}

  // Non-zero once a key (or an end request such as a signal) is pending.
  // The key is detected, never consumed.
  virtual int32_t KeyHit() = 0;

  // Called first by the shutdown sequence: from its return on no tick runs,
  // and a tick that is running on another thread has finished. Called from
  // inside a tick, it only keeps later ticks out.
  virtual void KeepTicksOut() = 0;
  // Called when a second shutdown loses the race to the first: returns on the
  // timer thread (the tick simply ends) and, in a real process, never returns
  // on the main thread (the first shutdown ends the process).
  virtual void AwaitExit() = 0;
  // Ends the process. Backends that run inside a test record the code and
  // return; the core then returns from every call without further effect.
  virtual void ExitProcess(int code) = 0;
};

}  // namespace cellshow
