#pragma once
// The oracle for a window's pixels: a check that a window shows the pixel
// model's image of a frame, scaled to 4:3.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/window/window_geometry.h"
#include "render/pixels/cell_image.h"
#include "support/show_recording.h"
#include "support/x_display.h"

namespace cellshow::test {

// Pixels read from a window or a screenshot: `width` x `height`, each as
// R, G, B at rgb[(y * width + x) * step].
struct ShownPixels {
  const uint8_t* rgb = nullptr;
  int width = 0, height = 0;
  int step = 4;
};

// Empty when `shown` shows `image` in `content` (black around it), scaled by
// whole factors `prescale` without filtering and then linearly: every pixel
// lies, channel by channel, between the image pixels it may blend (within
// 2), and is black outside the content. Otherwise the first few mismatches.
std::string ScaledImageMismatch(const ShownPixels& shown, PixelRect content, PixelSize prescale,
                                const PixelImage& image);

// What a window shows in a screenshot of its screen: the tick of the first
// present in `records` from `first` to `last` that the window shows (laid
// out for the window's own size, as ScaledImageMismatch checks), leaving out
// frames of one colour, which prove nothing; -1 when none, with the last
// mismatch in `closest` (or why nothing could be compared).
int64_t ShownTick(const Screenshot& shot, const WindowGeometry& window,
                  const std::vector<Record>& records, uint32_t first, uint32_t last,
                  std::string& closest);

// The same for the screen photographed up to three times, 100 ms apart,
// until a shot shows a frame: a shot can catch the window mid-redraw.
// `ticks` gives the first and last tick to look for at the moment of a shot.
int64_t ShownTickInShots(const std::string& display, const WindowGeometry& window,
                         const std::vector<Record>& records,
                         const std::function<std::pair<uint32_t, uint32_t>()>& ticks,
                         std::string& closest);

}  // namespace cellshow::test
