#include "canvas.h"
namespace cellshow::datagen {
std::vector<Frame> MakeTunnelFrames() { return std::vector<Frame>(ImgFrameCount); }
std::vector<Frame> MakeStarsAndFlamesFrames() { return std::vector<Frame>(HitFrameCount); }
std::vector<Frame> MakeCubeFrames() { return std::vector<Frame>(BlFrameCount); }
}  // namespace cellshow::datagen
