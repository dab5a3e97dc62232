#pragma once
// The scene script, the switch between its entries and the counters that the
// scenes share and pace themselves with.
#include <cstdint>

namespace cellshow {

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
