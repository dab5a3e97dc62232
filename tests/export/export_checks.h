#pragma once
// What the export tests share: the screens a run of the default show gives,
// the pixel model's images of them, and the checks of a video read back.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_sink.h"
#include "render/pixels/image_aspect.h"

namespace cellshow::test {

using Screen = std::array<Cell, ScreenCellCount>;

std::string DataDir();
std::string MusicPath();  // the default music, in DataDir()

// How a shortened run ends: with the show's own shutdown (a black frame), as
// --key-after makes it, or just after tick lastTick, as --at does.
enum class RunEnd { Key, Stop };

// Exports ticks 0..lastTick of the default show through `sink` to `path`,
// with the music from musicTick (-1: none), as the export run does. Returns
// the screen of every frame (black before the first present).
std::vector<Screen> ExportShow(ExportSink& sink, const std::string& path, uint32_t lastTick,
                               int64_t musicTick, RunEnd end = RunEnd::Key);

// The screen of every frame of the whole default show, as an export sees it.
std::vector<Screen> WholeShowScreens();

// PackRgba values of the pixel model's image; at 4:3 every pixel x, y of the
// 1280x960 picture is image pixel x / 2, the row under y's centre.
std::vector<uint32_t> PixelsOf(const Screen& screen, ImageAspect aspect = ImageAspect::Square);
std::vector<uint8_t> DoubledRgb(const Screen& screen);  // 1280x800 RGB24, nearest
std::vector<uint32_t> RgbaOf(const AVFrame& frame);     // any picture as PackRgba values

// What a video export must hold.
struct VideoExpectation {
  AVCodecID video, audio;  // audio AV_CODEC_ID_NONE: no sound
  int sampleRate;
  double minimumPsnr;  // of every checked frame against the doubled image
  uint32_t lastTick;
  int64_t musicTick;
  int psnrStep = 1;  // check every this many frames
};

// Reads the video back and checks its streams, length, frame count and
// timing, its frames' PSNR, and its sound: a copied MP3 decodes bit for bit
// as the file itself from the start offset and is heard from the play tick
// within 5 ms; either kind ends with the video.
void CheckVideoFile(const std::string& path, const std::vector<Screen>& screens,
                    const VideoExpectation& want);

// Reads the GIF back: 640x400 (1280x960 at 4:3), delays that add up to
// round((lastTick + 1) x 1.7) cs with none but the last under 2 cs, and every
// picture the pixel model's image of the frame it starts at (or of the next,
// when that frame alone would have lasted under 2 cs), bit for bit, no two
// in a row equal.
void CheckGifFile(const std::string& path, const std::vector<Screen>& screens, uint32_t lastTick,
                  ImageAspect aspect = ImageAspect::Square);

// Reads the PNG back: one picture, the pixel model's image of `screen` at
// `aspect` bit for bit.
void CheckPngFile(const std::string& path, const Screen& screen,
                  ImageAspect aspect = ImageAspect::Square);

// Parses the cast back (header and events) and replays its events through
// libvterm: after each, the emulator shows the frame of its tick; every tick
// whose screen looks different from the one before has its event, and the
// last event is at lastTick.
void CheckCastFile(const std::string& path, const std::vector<Screen>& screens, uint32_t lastTick);

}  // namespace cellshow::test
