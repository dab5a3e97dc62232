#include "show/playback.h"

#include <cstring>

#include "show/show.h"

namespace cellshow {
namespace {

// "play data\03.mp3 from <ms>" into `out` (64 bytes): the play command, then
// the offset in decimal.
void FormatPlayFrom(const char* play, uint32_t ms, char* out) {
  size_t n = std::strlen(play);
  std::memcpy(out, play, n);
  std::memcpy(out + n, " from ", 6);
  n += 6;
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + ms % 10);
    ms /= 10;
  } while (ms != 0);
  while (count > 0) out[n++] = digits[--count];
  out[n] = '\0';
}
static_assert(sizeof "play data\\03.mp3 from 4294967295" <= sizeof Playback{}.CatchUpCommand);

}  // namespace

void SendMediaCommand(Show& show, const char* command) {
  Playback& play = show.play;
  if (!play.Silent) {
    show.host->SendMediaCommand(command);
    return;
  }
  // Only a play still in force at the end of the silent ticks matters.
  if (std::strcmp(command, PlayMusicCommand) == 0) {
    play.HeldPlay = command;
    play.HeldPlayTick = play.SilentTicks;
  } else {
    play.HeldPlay = nullptr;
  }
}

void RunToStart(Show& show) {
  Playback& play = show.play;
  play.StartMatrices = show.matrices;
  std::memcpy(play.StartModelA, show.assets.ModelA, sizeof play.StartModelA);
  std::memcpy(play.StartModelB, show.assets.ModelB, sizeof play.StartModelB);
  std::memcpy(play.StartModelC, show.assets.ModelC, sizeof play.StartModelC);
  if (play.StartTick == 0) return;
  if (play.StartTick >= ShowTicks) play.StartTick = ShowTicks - 1;

  play.Silent = true;
  play.HeldPlay = nullptr;
  for (play.SilentTicks = 1; play.SilentTicks <= play.StartTick; ++play.SilentTicks) TickProc(show);
  play.Silent = false;

  // Every scene presents what it composes in the same tick, so the screen
  // is the one the full show would be showing now.
  PresentScreen(show);
  if (play.HeldPlay == nullptr) return;
  // The music started at the end of its tick; by the end of StartTick it
  // has played this long.
  const uint32_t played = (play.StartTick - play.HeldPlayTick) * TimerDelay;
  if (played == 0) {
    show.host->SendMediaCommand(play.HeldPlay);
    return;
  }
  FormatPlayFrom(play.HeldPlay, played, play.CatchUpCommand);
  show.host->SendMediaCommand(play.CatchUpCommand);
}

void RestartShow(Show& show) {
  SendMediaCommand(show, StopMusicCommand);
  const Playback& play = show.play;
  show.seq = Sequencer{};
  show.plasma = PlasmaState{};
  show.frames = FramePlayback{};
  show.burst = BurstState{};
  show.wire = Wireframes{};
  show.points = Points{};
  show.matrices = play.StartMatrices;
  std::memcpy(show.assets.ModelA, play.StartModelA, sizeof play.StartModelA);
  std::memcpy(show.assets.ModelB, play.StartModelB, sizeof play.StartModelB);
  std::memcpy(show.assets.ModelC, play.StartModelC, sizeof play.StartModelC);
  // Every frame-file scene has rewound its file at its end.
  ClearScreen(show.Screen);
}

}  // namespace cellshow
