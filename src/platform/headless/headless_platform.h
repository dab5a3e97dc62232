#pragma once
// Headless backend: the show on a virtual clock, ticks back to back, every
// present and media command handed to a sink (a recording or an export).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/native_files.h"
#include "platform/headless/headless_sink.h"
#include "platform/options.h"

namespace cellshow {

class HeadlessPlatform : public NativeFilePlatform {
 public:
  // keyAfter: the key is seen once this many ticks have completed; -1 never.
  // The sink outlives the platform.
  HeadlessPlatform(std::string dataDir, HeadlessSink& sink, int64_t keyAfter);

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
  uint32_t ticks() const { return ticks_; }
  uint64_t presents() const { return presents_; }
  uint64_t mediaCommands() const { return mediaCommands_; }

 private:
  HeadlessSink& sink_;
  int64_t keyAfter_;
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  uint32_t ticks_ = 0;
  uint64_t presents_ = 0;
  uint64_t mediaCommands_ = 0;
  bool ticksAllowed_ = true;
  bool ended_ = false;
  int exitCode_ = -1;
};

// `cellshow --record FILE`: plays the whole show headless. Returns the exit
// code; reports a recording that cannot be written on stderr, and with
// --stats the virtual clock's figures.
int RunHeadlessShow(const Options& options);

// Plays the show headless into `sink` (an unfinished run is not an error):
// returns the number of ticks run.
uint32_t PlayHeadless(const std::string& dataDir, int64_t keyAfter, HeadlessSink& sink);

struct Record;
// The same run into memory, for tools that study the frames: the recording
// of the show from `dataDir` (keyAfter as for HeadlessPlatform), read back.
// False, with `error` set, if it cannot be made or read.
bool RecordWholeShow(const std::string& dataDir, int64_t keyAfter, std::vector<Record>& records,
                     std::string& error);

}  // namespace cellshow
