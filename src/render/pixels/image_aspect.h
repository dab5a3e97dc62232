#pragma once
// The pixel model's 640x400 image in the shape a display gave it. The VGA
// text mode's pixels were 1.2 times as tall as they were wide, so the image
// was seen at 4:3; drawn with square pixels it looks squashed (16:10).
//
//   Square     the 640x400 pixels as they are (the art world's convention).
//   FourThree  1280x960 by repeating whole pixels: every column twice, and
//              every five rows as 2, 3, 2, 3 and 2 rows (12 for 5: 960 for
//              400), each output row repeating the image row under its
//              centre. Every pixel keeps its exact colour; nothing is blended.
//
// Pure and allocation-free; any thread may call it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/pixels/cell_image.h"

namespace cellshow {

enum class ImageAspect : uint8_t { Square, FourThree };

struct ImageShape {
  int width = 0, height = 0;
};

constexpr ImageShape ShapeOf(ImageAspect aspect) {
  return aspect == ImageAspect::FourThree ? ImageShape{2 * ImageWidth, 960}
                                          : ImageShape{ImageWidth, ImageHeight};
}

// The image row that output row `y` repeats: the one under the row's centre.
constexpr int SourceRow(ImageAspect aspect, int y) {
  const int height = ShapeOf(aspect).height;
  return static_cast<int>((int64_t{2} * y + 1) * ImageHeight / (int64_t{2} * height));
}
static_assert(SourceRow(ImageAspect::FourThree, 1) == 0 &&
              SourceRow(ImageAspect::FourThree, 2) == 1);
static_assert(SourceRow(ImageAspect::FourThree, 4) == 1 &&
              SourceRow(ImageAspect::FourThree, 5) == 2);
static_assert(SourceRow(ImageAspect::FourThree, 959) == ImageHeight - 1);
static_assert(SourceRow(ImageAspect::Square, 399) == 399);

// Writes `image` (colour indices) at `aspect` into `out`: ShapeOf(aspect)
// rows of ShapeOf(aspect).width bytes, `stride` bytes apart.
inline void ShapeIndexImage(const IndexImage& image, ImageAspect aspect, uint8_t* out,
                            std::ptrdiff_t stride) {
  const ImageShape shape = ShapeOf(aspect);
  const int repeat = shape.width / ImageWidth;  // columns per image column
  for (int y = 0; y < shape.height; ++y) {
    uint8_t* row = out + y * stride;
    const int source = SourceRow(aspect, y);
    if (y > 0 && SourceRow(aspect, y - 1) == source) {
      std::memcpy(row, row - stride, static_cast<size_t>(shape.width));
      continue;
    }
    const uint8_t* pixels = &image.pixels[source * ImageWidth];
    if (repeat == 1) {
      std::memcpy(row, pixels, ImageWidth);
      continue;
    }
    for (int x = 0; x < ImageWidth; ++x) row[2 * x] = row[2 * x + 1] = pixels[x];
  }
}

}  // namespace cellshow
