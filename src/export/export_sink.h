#pragma once
// An export turns one headless run of the show into a file. Each format is a
// sink: Begin once, then the frames and media commands in tick order, then
// Finish. Every step returns an error value; the run stops at the first
// error, and a sink that did not finish is simply destroyed (the caller
// throws its partial file away, see target_file.h).
//
// Frames follow the virtual clock: frame n is the screen after tick n, shown
// from n x 17 ms to (n + 1) x 17 ms. Frame calls come only for ticks that
// presented; the screen stays as it was in between, and before the first
// present it is black. All calls come from the one thread that runs the show,
// never inside a tick.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shell/screen.h"

namespace cellshow {

constexpr int TickMilliseconds = 17;

// Why a step failed, as the end of one line for stderr ("No space left on
// device"; the caller says which file); empty when the step succeeded.
struct [[nodiscard]] ExportStatus {
  std::string error;
  bool ok() const { return error.empty(); }
  static ExportStatus Fail(std::string message) { return {std::move(message)}; }
};

// What the planning run found out before anything is written.
struct ShowTimeline {
  uint32_t lastTick = 0;   // frames 0..lastTick
  int64_t musicTick = -1;  // the tick of the show's play command; -1: none
  // How far into the music that command starts it, in milliseconds: more
  // than 0 when the export starts after the music (--start).
  int64_t musicFromMs = 0;
  std::string musicPath;  // the file that command names, in the data folder
  uint32_t frameCount() const { return lastTick + 1; }
};

class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // `path` is the file to write: it exists (empty) and is truncated here.
  virtual ExportStatus Begin(const ShowTimeline& timeline, const std::string& path) = 0;
  // The screen after tick `tick`; ticks only increase, from 0 to lastTick.
  virtual ExportStatus Frame(uint32_t tick, const ScreenCells& cells) = 0;
  // A media command sent during tick `tick` (before that tick's Frame).
  virtual ExportStatus Media(uint32_t /*tick*/, const char* /*command*/) { return {}; }
  // Completes the file: everything is written and closed.
  virtual ExportStatus Finish() = 0;

  // Lines for stderr about what the file lacks (no music, say); not errors.
  const std::vector<std::string>& notices() const { return notices_; }

 protected:
  void Notice(std::string line) { notices_.push_back(std::move(line)); }

 private:
  std::vector<std::string> notices_;
};

}  // namespace cellshow
