#pragma once
// Scene 2: twelve lines that grow out of the centre of the screen.
#include <cstdint>

namespace cellshow {

struct BurstState {
  uint8_t BurstStage = 0;
  uint16_t RevealLength = 0;
  uint8_t PointOrdinal = 0;
};

struct Show;
void BurstScene(Show& show);

}  // namespace cellshow
