#pragma once
// `cellshow --export FILE`: the show played headless on the virtual clock
// into the sink for FILE's format, written whole or not at all.
//
// A planning run comes first (it takes milliseconds): it finds where the show
// ends and when its music starts, so that the file's streams and the progress
// line are known before anything is written. Then the real run feeds the
// sink. Ctrl-C, SIGTERM or SIGHUP end the export between two ticks; the
// partial file is removed.
#include <csignal>
#include <cstdint>
#include <string>

#include "export/export_sink.h"
#include "export/progress_line.h"
#include "platform/headless/headless_sink.h"
#include "render/pixels/image_aspect.h"

namespace cellshow {

enum class ExportKind { Unknown, Mp4, Matroska, WebM, Gif, Png, Cast, Ans, Bin, XBin };

// The kinds that write one moment of the show (--at).
constexpr bool IsStill(ExportKind k) {
  return k == ExportKind::Png || k == ExportKind::Ans || k == ExportKind::Bin ||
         k == ExportKind::XBin;
}

// What the launcher hands an export: the file and the show's resolved paths.
struct ExportSettings {
  std::string path;       // FILE, whose extension says the format
  std::string dataDir;    // the show's files
  std::string musicPath;  // the music the show's play command names, in dataDir
  // --at: the screen after this tick; -1 when not given. atText is the value
  // as written.
  int64_t atTick = -1;
  std::string atText;
  int64_t keyAfter = -1;  // a key is seen once this many ticks have run; -1 never
  bool mute = false;      // a video without sound
  // --start: the file begins at this tick (the ticks before it run silently)
  // with the screen and the music as they are then.
  uint32_t startTick = 0;
  ImageAspect aspect = ImageAspect::Square;  // --aspect: a .png or .gif's shape
};

// By FILE's extension, in any case.
ExportKind ExportKindOf(const std::string& path);

// Feeds an export sink from a headless run. What a tick presents and sends is
// kept in fixed storage (nothing is allocated inside the tick) and handed on
// between ticks: its media commands first, then the screen after it, once,
// however many presents the tick made.
class SinkFeed : public HeadlessSink {
 public:
  // stopAfter: end the run once this tick has been handed on (-1: play to the
  // end). interrupt: when it points to non-zero, the run ends at the next
  // tick. progress: told the ticks run so far. Both may be null.
  SinkFeed(ExportSink& sink, int64_t stopAfter,
           const volatile std::sig_atomic_t* interrupt = nullptr, ProgressLine* progress = nullptr);

  void Present(uint32_t tick, const ScreenCells& screen) override;
  void Media(uint32_t tick, const char* command) override;
  bool BetweenTicks(uint32_t ticksRun) override;

  // After the run: hands on what its last tick or its shutdown left, and
  // gives the first error any step returned.
  ExportStatus Flush();

 private:
  void Deliver();

  static constexpr int MaxCommands = 4;
  static constexpr size_t CommandSize = 256;
  ExportSink& sink_;
  int64_t stopAfter_;
  const volatile std::sig_atomic_t* interrupt_;
  ProgressLine* progress_;
  ExportStatus status_;
  bool stopped_ = false;
  bool hasScreen_ = false;
  uint32_t screenTick_ = 0;
  ScreenCells screen_{};
  int commandCount_ = 0;
  uint32_t commandTicks_[MaxCommands] = {};
  char commands_[MaxCommands][CommandSize] = {};
  bool commandsLost_ = false;
};

// The usage errors that need no run (an unknown extension, --at with the
// wrong format): 2 after one line on stderr; 0 when there are none.
int CheckExportUsage(const ExportSettings& settings);

// Runs the export; returns the process's exit code (0, 1 when the file could
// not be written, 2 for a usage error, 128 + the signal when interrupted).
int RunExport(const ExportSettings& settings);

}  // namespace cellshow
