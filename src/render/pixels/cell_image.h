#pragma once
// Stand-in until the pixel model lands.
#include <cstdint>

#include "shell/screen.h"

namespace cellshow {

constexpr int ImageWidth = 640, ImageHeight = 400, ImagePixels = ImageWidth * ImageHeight;
struct PixelImage {
  alignas(64) uint32_t pixels[ImagePixels];
};
void RenderCells(const ScreenCells& cells, PixelImage& out);
struct IndexImage {
  alignas(64) uint8_t pixels[ImagePixels];
};
void RenderCellIndices(const ScreenCells& cells, IndexImage& out);

}  // namespace cellshow
