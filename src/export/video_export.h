#pragma once
// Video exports: the pixel model's 640x400 image doubled (nearest) to
// 1280x800 with a 5:6 sample aspect ratio (pixels taller than wide, so that
// players show the picture at 4:3, as the text mode was), in yuv420p at a
// constant 1000/17 frames a second (time base 17/1000 s): frame n is the
// screen after tick n. With the show's music, when it plays before the end.
//   .mp4  H.264 and the MP3's packets copied (MP4, moov at the front)
//   .mkv  the same in Matroska
//   .webm VP9 and the music encoded again as Opus
//
// Colour: each 2x2 block of the doubled image is one original pixel, so a
// 4:2:0 chroma sample is exactly one pixel's colour and never mixes two
// across a glyph edge. The conversion is swscale's area averaging with
// accurate rounding (SWS_AREA | SWS_ACCURATE_RND); since a frame has only the
// 16 palette colours, swscale converts them once and each frame is then
// written from the pixel model's colour indices with the same values.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "export/export_sink.h"

namespace cellshow {

enum class VideoFormat { Mp4, Matroska, WebM };

constexpr int VideoWidth = 1280, VideoHeight = 800;

// Y, U and V of each palette colour, as swscale converts a 2x2 block of it.
struct YuvColor {
  uint8_t y, u, v;
};
using YuvPalette = std::array<YuvColor, 16>;
bool ConvertPalette(YuvPalette& out);

class VideoExport : public ExportSink {
 public:
  // mute: no sound even when the show plays music.
  VideoExport(VideoFormat format, bool mute);
  ~VideoExport() override;

  ExportStatus Begin(const ShowTimeline& timeline, const std::string& path) override;
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override;
  ExportStatus Finish() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cellshow
