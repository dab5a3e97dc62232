#pragma once
// Scenes 6 and 8: fixed-point wireframe models in perspective.
#include <cstdint>

#include "shell/assets.h"

namespace cellshow {

constexpr int32_t ViewDistance = 40;
constexpr int ViewVertexCount = 18;

struct Wireframes {
  Vertex ViewVertices[ViewVertexCount] = {};  // whole units
  int32_t ProjX = 0, ProjY = 0;
  int32_t HeldX = 0, HeldY = 0;
  uint8_t EndpointToggle = 0;
  uint8_t FlyOff = 0;
};

struct Show;
void SpinScene(Show& show);    // scene 6: ModelA and ModelB
void FlightScene(Show& show);  // scene 8: ModelC and its fly-off

}  // namespace cellshow
