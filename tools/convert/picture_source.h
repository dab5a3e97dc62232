#pragma once
// The pictures of an image or video file, decoded by FFmpeg's libraries in
// order, each with the time it is shown from, and fitted into a box of
// 640-pixel-wide pixels as the pixel model shows them (a 640x400 picture is
// seen at 4:3, so its pixels are 5/6 as wide as tall).
//
// A picture larger than MaxPictureSide on a side or MaxPicturePixels in
// all is refused from its header, before it is decoded whole; the decoders
// are also told the limit, so no format gets past it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace cellshow::convert {

constexpr int MaxPictureSide = 16384;
constexpr int64_t MaxPicturePixels = 50'000'000;

enum class Fit { Contain, Cover, Stretch };

// A fitted picture: RGBA bytes (R, G, B, A in memory), row by row.
struct Canvas {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// Where a picture of display aspect `aspect` (width / height as seen) goes
// in a canvas of w x h pixels whose pixels have the shape `pixelAspect`
// (width / height): the scaled size and its top-left corner, and for
// Cover the part of the source kept (in source pixels).
struct Placement {
  int x = 0, y = 0, width = 0, height = 0;                  // in the canvas
  int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;  // in the source
};
Placement Place(Fit fit, int sourceWidth, int sourceHeight, double sourceAspect, int canvasWidth,
                int canvasHeight, double pixelAspect);

class PictureSource {
 public:
  PictureSource();
  ~PictureSource();
  PictureSource(const PictureSource&) = delete;
  PictureSource& operator=(const PictureSource&) = delete;

  // Opens `path` and its first video stream, from `startSeconds` on (the
  // picture shown at that moment comes first). False with `error` set to a
  // phrase ("has no picture", "is 20000x20000 pixels, ...").
  bool Open(const std::string& path, double startSeconds, std::string& error);
  // The next picture and the second it is shown from. False at the end
  // (error empty) or on an error.
  bool Next(const AVFrame*& frame, double& seconds, std::string& error);
  // How long the last picture given is shown: its own duration, else the
  // stream's frame period, else 0.1 s.
  double LastDuration() const;
  // The source's length in seconds; 0 when unknown.
  double Length() const;

  // The last picture given, fitted into `canvas` (its size set by the
  // caller); the rest of the canvas is `background` (an RGBA word).
  bool FitInto(Fit fit, double pixelAspect, uint32_t background, Canvas& canvas,
               std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cellshow::convert
