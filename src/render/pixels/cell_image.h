#pragma once
// The cell grid as the VGA text mode showed it: every cell an 8x8 glyph of
// code page 437, its set pixels in the foreground colour (attribute bits
// 0-3) and the rest in the background colour (bits 4-7; no blink), giving a
// 640x400 image that a display shows at 4:3. Only the low byte of a cell's
// character and attribute counts, as in the terminal output.
//
// Pure and allocation-free; any thread may call it, on images of its own.
#include <cstdint>

#include "shell/screen.h"

namespace cellshow {

constexpr int ImageWidth = ScreenWidth * 8;    // 640
constexpr int ImageHeight = ScreenHeight * 8;  // 400
constexpr int ImagePixels = ImageWidth * ImageHeight;

// PackRgba values (bytes R, G, B, A in memory), row-major, top row first.
struct PixelImage {
  alignas(64) uint32_t pixels[ImagePixels];
};
void RenderCells(const ScreenCells& cells, PixelImage& out);

// The VGA colour number (0..15) of every pixel: for paletted outputs.
struct IndexImage {
  alignas(64) uint8_t pixels[ImagePixels];
};
void RenderCellIndices(const ScreenCells& cells, IndexImage& out);

}  // namespace cellshow
