#pragma once
// Scene 0: the plasma with overlay pictures and black rays; starts the music
// when it ends.
#include <cstdint>

namespace cellshow {

struct PlasmaState {
  uint8_t PlasmaPhases[8] = {5, 20, 10, 15, 15, 2, 20, 25};
  uint8_t PlasmaWork[8] = {};
  uint8_t OverlayState = 0;
  uint8_t RayTipX = 0;
  uint8_t ColumnCounter = 0;
  uint8_t RowCounter = 0;
};

struct Show;
void PlasmaScene(Show& show);

}  // namespace cellshow
