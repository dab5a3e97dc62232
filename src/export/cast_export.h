#pragma once
// .cast: an asciicast v2 terminal recording (newline-delimited JSON) that
// terminal-recording players replay. The header says 80x50, the title
// "cellshow", TERM xterm-256color and a theme whose palette is the 16 VGA
// colours in terminal (ANSI) order, foreground AAAAAA on 000000. Each present
// is an output event at tick x 0.017 s carrying the terminal encoder's
// truecolour bytes for it (only what changed, as on a real terminal). The
// last event is at the show's last tick, empty when that frame changed
// nothing, so that players play the recording to the show's end.
#include <ctime>
#include <memory>
#include <string>

#include "export/export_sink.h"

namespace cellshow {

class CastExport : public ExportSink {
 public:
  // timestamp: the recording's Unix time, for the header.
  explicit CastExport(std::time_t timestamp);
  ~CastExport() override;
  ExportStatus Begin(const ShowTimeline& timeline, const std::string& path) override;
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override;
  ExportStatus Finish() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cellshow
