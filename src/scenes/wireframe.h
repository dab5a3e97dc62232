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

// One axis of the perspective projection: coordinate * ViewDistance / depth,
// with depth = z + ViewDistance (never 0 here). The product keeps its low 32
// bits and the division truncates toward zero; INT32_MIN / -1 wraps to
// INT32_MIN instead of trapping.
int32_t ProjectAxis(int32_t coordinate, int32_t depth);

struct Show;
void SpinScene(Show& show);    // scene 6: ModelA and ModelB
void FlightScene(Show& show);  // scene 8: ModelC and its fly-off

}  // namespace cellshow
