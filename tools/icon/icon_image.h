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

// The title frame around the "C" of the title word (cells 9 to 14 of rows
// 32 to 38): the letter between the plasma and the red band, with two cells
// of margin left, right and above and one below; the next letter starts just
// outside, at cell 17.
constexpr int CellPixels = 8;
constexpr Square TitleSquare{7 * CellPixels, 30 * CellPixels, 10 * CellPixels};
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
