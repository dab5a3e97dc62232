#pragma once
// Picture exports: the pixel model's 640x400 image, losslessly, with the
// exact 16-colour palette, as it is or at 4:3 in whole pixels (1280x960,
// see image_aspect.h).
//   .gif  every change of the screen, looping forever. GIF delays are in
//         centiseconds: frame n ends at round((n + 1) x 1.7) cs, so the running
//         total stays exact and the whole matches the show's length. Frames
//         that look like the one before are merged into its delay. Browsers
//         play a delay of 0 or 1 cs as 10 cs, so no picture is given less than
//         2 cs: one that would last 1 cs is left out and the next starts in
//         its place.
//   .png  one frame: the screen after a given tick.
#include <cstdint>
#include <memory>
#include <string>

#include "export/export_sink.h"
#include "render/pixels/image_aspect.h"

namespace cellshow {

// Where the frame that starts at tick n starts in a GIF, in centiseconds:
// round(n x 1.7), halves up.
constexpr int64_t GifCentiseconds(int64_t tick) { return (tick * 17 + 5) / 10; }
constexpr int64_t GifShortestDelay = 2;

class GifExport : public ExportSink {
 public:
  explicit GifExport(ImageAspect aspect = ImageAspect::Square);
  ~GifExport() override;
  ExportStatus Begin(const ShowTimeline& timeline, const std::string& path) override;
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override;
  ExportStatus Finish() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class PngExport : public ExportSink {
 public:
  // The screen after tick `atTick` (the last present at or before it).
  explicit PngExport(uint32_t atTick, ImageAspect aspect = ImageAspect::Square);
  ~PngExport() override;
  ExportStatus Begin(const ShowTimeline& timeline, const std::string& path) override;
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override;
  ExportStatus Finish() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cellshow
