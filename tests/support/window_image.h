#pragma once
// Oracles for a window's pixels: the default show's frames as the headless
// recorder gives them, and a check that a window shows the pixel model's
// image of a frame, scaled to 4:3.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/recording.h"
#include "platform/window/window_geometry.h"
#include "render/pixels/cell_image.h"

namespace cellshow::test {

// Every record of the default show (the data the build makes), played
// headless in-process; keyAfter as for --key-after.
std::vector<Record> RecordDefaultShow(int64_t keyAfter = -1);

// The cells of the last present at or before `tick`; false when none.
bool FrameAt(const std::vector<Record>& records, uint32_t tick, ScreenCells& cells);

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

}  // namespace cellshow::test
