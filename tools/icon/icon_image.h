#pragma once
// The program's icon: a square of one title frame as the pixel model draws
// it, resampled to an icon size. Pure functions of the image.
#include <cstdint>
#include <vector>

#include "render/pixels/cell_image.h"

namespace cellshow::icon {

// A square of the 640x400 image, in pixels.
struct Square {
  int left, top, size;
};

// The title frame around the "C" of the title word (pixels 24 to 83 across,
// rows 32 to 39 down, with its outline and shadow to pixel 91): the letter
// between the plasma and the red band, in a square of ten cells from cell 1
// of row 30; the next letter starts just outside, at pixel 100.
constexpr int CellPixels = 8;
constexpr Square TitleSquare{1 * CellPixels, 30 * CellPixels, 10 * CellPixels};
static_assert(TitleSquare.left >= 0 && TitleSquare.left + TitleSquare.size <= ImageWidth);
static_assert(TitleSquare.top >= 0 && TitleSquare.top + TitleSquare.size <= ImageHeight);

// The sizes installed under share/icons/hicolor.
constexpr int IconSizes[] = {256, 48};

// `square` of `image` resampled to size x size by area averaging: each icon
// pixel is the mean of the image area it covers, each channel rounded to
// nearest; an exact multiple or fraction of the square's size repeats or
// averages whole pixels. Pixels are PackRgba values, row-major.
std::vector<uint32_t> ResampleSquare(const PixelImage& image, Square square, int size);

}  // namespace cellshow::icon
