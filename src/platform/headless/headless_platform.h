#pragma once
// Headless backend: the show on a virtual clock, ticks back to back, every
// present and media command handed to a sink (a recording or an export).
#include <cstdint>
#include <string>

#include "platform/files/native_files.h"
#include "platform/headless/headless_sink.h"

namespace cellshow {

class HeadlessPlatform : public NativeFilePlatform {
 public:
  // keyAfter: the key is seen once this many ticks have completed; -1 never.
  // firstTick: the number the sink gets during start-up; the ticks that run
  // then are numbered on from it (a show that starts later keeps its own
  // tick numbers). The sink outlives the platform.
  HeadlessPlatform(std::string dataDir, HeadlessSink& sink, int64_t keyAfter,
                   uint32_t firstTick = 0);

  void PrepareConsole() override {}
  void PresentScreen(const ScreenCells& screen) override;
  void SendMediaCommand(const char* command) override;
  uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick, void* context) override;
  void KillTimer(uint32_t timerId) override;
  // Each poll runs the next tick, until the key is due, the sink ends the run
  // or the show has ended.
  int32_t KeyHit() override;
  void KeepTicksOut() override { ticksAllowed_ = false; }
  void AwaitExit() override {}
  void ExitProcess(int code) override;

  bool ended() const { return ended_; }
  int exitCode() const { return exitCode_; }
  // The number of the last tick run (firstTick when none ran).
  uint32_t ticks() const { return ticks_; }
  uint32_t ticksRun() const { return ticks_ - firstTick_; }
  uint64_t presents() const { return presents_; }
  uint64_t mediaCommands() const { return mediaCommands_; }

 private:
  HeadlessSink& sink_;
  int64_t keyAfter_;
  uint32_t firstTick_;
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  uint32_t ticks_ = 0;
  uint64_t presents_ = 0;
  uint64_t mediaCommands_ = 0;
  bool ticksAllowed_ = true;
  bool ended_ = false;
  int exitCode_ = -1;
};

}  // namespace cellshow
