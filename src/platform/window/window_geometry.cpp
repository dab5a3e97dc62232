#include "platform/window/window_geometry.h"

#include <algorithm>
#include <cstdint>

#include "render/pixels/cell_image.h"

namespace cellshow {

PixelSize InitialWindowSize(PixelSize usable) {
  const int factor = std::min(usable.width / 640, usable.height / 480);
  if (factor >= 1) return {640 * factor, 480 * factor};
  const PixelRect fit = ContentRect(usable);
  if (fit.width <= 0) return {640, 480};  // no usable area known
  return {fit.width, fit.height};
}

PixelSize LargestFourByThree(PixelSize room) {
  const int k = std::max(0, std::min(room.width / 4, room.height / 3));
  return {4 * k, 3 * k};
}

PixelRect ContentRect(PixelSize output) {
  if (output.width <= 0 || output.height <= 0) return {};
  PixelRect r;
  if (int64_t{output.width} * 3 >= int64_t{output.height} * 4) {
    r.height = output.height;
    r.width = static_cast<int>(int64_t{output.height} * 4 / 3);
  } else {
    r.width = output.width;
    r.height = static_cast<int>(int64_t{output.width} * 3 / 4);
  }
  r.x = (output.width - r.width) / 2;
  r.y = (output.height - r.height) / 2;
  return r;
}

PixelSize PrescaleFactors(PixelRect content, int maxTextureSide) {
  const auto factor = [&](int target, int source) {
    const int reach = target / source;
    const int limit = maxTextureSide > 0 ? maxTextureSide / source : reach;
    return std::max(1, std::min(reach, limit));
  };
  return {factor(content.width, ImageWidth), factor(content.height, ImageHeight)};
}

}  // namespace cellshow
