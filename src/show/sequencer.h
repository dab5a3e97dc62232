#pragma once
// The scene script, the switch between its entries and the counters that the
// scenes share and pace themselves with.
#include <cstdint>

namespace cellshow {

// The scene ids; every id without a scene of its own (5, 7, 9 to 255) runs
// the closing scene, and the script uses 7 for it.
enum SceneId : uint8_t {
  PlasmaId = 0,   // plasma with overlay pictures and rays; starts the music
  ImgId = 1,      // playback of img.txt
  BurstId = 2,    // line burst: the first line set, then the second
  HitId = 3,      // playback of hit.img
  BlId = 4,       // playback of bl.img
  SpinId = 6,     // wireframe models A and B
  ClosingId = 7,  // the closing scene
  FlightId = 8,   // wireframe model C, with its fly-off
};

constexpr int ScriptLength = 14;
constexpr uint8_t SceneScript[ScriptLength] = {0, 1, 2, 3, 4, 2, 6, 1, 8, 3, 4, 4, 4, 7};
// The closing scene waits this many ticks, then ends the show in the next.
constexpr int32_t ClosingIdleTicks = 77;

struct Sequencer {
  uint8_t ScriptIndex = 0;
  uint8_t CurrentScene = 0;
  uint8_t AdvancePending = 0;
  // Shared pacing counters: never reset when a scene begins; each scene resets
  // what it uses at its own end.
  uint16_t SceneClock = 0;
  int32_t TickPhase = 0;
  int32_t FrameCount = 0;
  int32_t PlasmaDivider = 0;
};

struct Show;
// One tick: advance the script if the last scene finished, then run one step
// of the current scene.
void TickProc(Show& show);
// The step of every id without a scene of its own.
void ClosingScene(Show& show);

}  // namespace cellshow
