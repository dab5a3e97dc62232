#pragma once
// Scenes 1, 3 and 4: full-screen cell animations read frame by frame from the
// open frame files.
#include <cstdint>

#include "shell/assets.h"

namespace cellshow {

struct FramePlayback {
  uint8_t FrameBuffer[FrameBytes] = {};
};

struct Show;
void ImgScene(Show& show);  // scene 1, "data\img.txt", looping every 63 frames
void HitScene(Show& show);  // scene 3, "data\hit.img"
void BlScene(Show& show);   // scene 4, "data\bl.img"

}  // namespace cellshow
