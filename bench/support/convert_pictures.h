#pragma once
// What the converter's benchmark works on and compares with: the sample
// photographs fitted to 640x400, a 10 s video made from one of them, and
// chafa's picture of the same pixels, read back into cells.
#include <memory>
#include <string>
#include <vector>

#include "picture_source.h"
#include "render/pixels/cell_image.h"

namespace cellshow::bench {

struct SamplePicture {
  std::string name;
  convert::Canvas canvas;  // 640x400, stretched to fill it
};

// The photographs in CELLSHOW_SAMPLE_IMAGES (make bench fetches them), each
// stretched to 640x400; then two drawn ones: a smooth gradient and text.
const std::vector<SamplePicture>& SamplePictures();

// `seconds` of 30 fps H.264 video, 640x360: the first photograph panning
// and changing tint. False when it cannot be written.
bool WritePanningVideo(const std::string& path, double seconds);

// A canvas as a PNG file (FFmpeg's encoder).
bool WritePng(const std::string& path, const convert::Canvas& canvas);

// chafa 1.12's picture of `png` at 80x50 cells in the 16 colours, with only
// glyphs code page 437 has, read back into cells; `options` are chafa's
// own. False when chafa is missing or fails.
bool ChafaCells(const std::string& png, const std::vector<std::string>& options,
                ScreenCells& cells);

// An 8x8 BDF font of the VGA glyphs by Unicode code point, for chafa's
// --glyph-file.
bool WriteVgaBdf(const std::string& path);

// Peak signal-to-noise ratio of `image` against `reference`: over the sRGB
// channels, and over OKLab (peak 1, the distance from black to white).
double PsnrRgb(const PixelImage& image, const convert::Canvas& reference);
double PsnrOkLab(const PixelImage& image, const convert::Canvas& reference);

}  // namespace cellshow::bench
