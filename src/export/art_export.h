#pragma once
// ANSI art exports: the screen at one moment as .ans, .bin or .xb, with a
// SAUCE record (80x50, iCE colours, the VGA 8x8 font named), for the art
// world's own viewers. The bytes come from render/art; this sink keeps the
// screen and writes the file.
#include <cstdint>
#include <ctime>
#include <string>

#include "export/export_sink.h"
#include "render/art/ansi_art.h"

namespace cellshow {

class ArtExport : public ExportSink {
 public:
  // The screen after tick `atTick`; `now` dates the SAUCE record.
  ArtExport(ArtFormat format, uint32_t atTick, std::time_t now);
  ExportStatus Begin(const ShowTimeline& timeline, const std::string& path) override;
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override;
  ExportStatus Finish() override;

 private:
  ArtFormat format_;
  uint32_t atTick_;
  std::time_t now_;
  std::string path_;
  ScreenCells screen_{};
};

}  // namespace cellshow
