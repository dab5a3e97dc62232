#pragma once
// Two ways of playing the show besides once from its first tick. The host's
// launcher sets them on the Show before StartUp; nothing else changes.
//
// From a later tick (StartTick): start-up runs the ticks before it at once,
// without presenting or sending media commands (the show is deterministic,
// and all of it runs in milliseconds), then presents the screen as those
// ticks left it and, when they started the music, starts the music as far in
// as it would be by then: "play data\03.mp3 from 7956", in milliseconds,
// which is (StartTick - the play's tick) x 17. The ticks then run live.
//
// Again and again (Loop): where the closing scene would shut the show down,
// it stops the music ("stop data\03.mp3") and puts every scene's state back
// as start-up left it; the next tick is the first of the next pass, so each
// pass is the first one again, music included. A key still ends the show.
//
// Neither allocates. The restart runs inside a tick, on the timer thread.
#include <cstdint>

#include "math3d/fixed_point.h"
#include "shell/assets.h"

namespace cellshow {

// The show's length in ticks when no key ends it: the closing scene shuts
// the show down in this tick, 64.141 s after the start.
constexpr uint32_t ShowTicks = 3773;

constexpr const char* StopMusicCommand = "stop data\\03.mp3";
static_assert(std::string_view(StopMusicCommand).substr(5) == MusicFileName);

struct Playback {
  // Set before StartUp. A StartTick of ShowTicks or more is taken as the
  // last tick before the shutdown's.
  uint32_t StartTick = 0;
  bool Loop = false;

  // Start-up only: while the ticks before StartTick run, presents and media
  // commands are held back; the last play command is remembered with the
  // tick that sent it.
  bool Silent = false;
  uint32_t SilentTicks = 0;
  const char* HeldPlay = nullptr;
  uint32_t HeldPlayTick = 0;
  char CatchUpCommand[64] = {};

  // What start-up left and the scenes change: the matrices and the models
  // (the wireframe scenes move both).
  Matrices StartMatrices;
  Vertex StartModelA[ModelAVertices] = {};
  Vertex StartModelB[ModelBVertices] = {};
  Vertex StartModelC[ModelCVertices] = {};
};

struct Show;
// Start-up, once the assets are loaded: keeps what the next pass starts
// from, then runs the ticks before StartTick and catches up (see above).
void RunToStart(Show& show);
// The closing scene's last tick with Loop set: the next tick is tick 1 again.
void RestartShow(Show& show);
// A scene's media command: sent, or held back while start-up runs silently.
void SendMediaCommand(Show& show, const char* command);

}  // namespace cellshow
