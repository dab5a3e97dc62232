#include "scenes/frame_playback.h"

#include "show/show.h"

namespace cellshow {
namespace {

constexpr int32_t ImgLoopFrames = 63;  // the loop restarts after every 63rd read
constexpr uint16_t ImgSceneTicks = 200;
constexpr int32_t HitReads = 143;  // the last read is dropped
constexpr int32_t HitFramePhase = 2;
constexpr int32_t BlReads = 138;  // the last read is dropped

// Reads the next frame of a file over FrameBuffer. A short read replaces only
// the bytes it delivers; a missing file delivers none.
void ReadFrame(Show& show, FileSlot slot) {
  show.assets.BytesRead =
      show.host->ReadFile(show.assets.FileHandles[slot], show.frames.FrameBuffer, FrameBytes);
}

void Rewind(Show& show, FileSlot slot) { show.host->RewindFile(show.assets.FileHandles[slot]); }

// FrameBuffer onto Screen, one byte per word: cell k gets character byte 2k
// and attribute byte 2k + 1.
void ExpandFrame(Show& show) {
  const uint8_t* bytes = show.frames.FrameBuffer;
  for (int k = 0; k < ScreenCellCount; ++k) show.Screen[k] = {bytes[2 * k], bytes[2 * k + 1]};
}

void ShowFrame(Show& show) {
  ExpandFrame(show);
  PresentScreen(show);
}

}  // namespace

void ImgScene(Show& show) {
  Sequencer& seq = show.seq;
  if (seq.TickPhase & 1) {
    ReadFrame(show, ImgSlot);
    if (++seq.FrameCount == ImgLoopFrames) {
      seq.FrameCount = 0;
      Rewind(show, ImgSlot);
    }
    ShowFrame(show);
  }
  ++seq.TickPhase;
  ++seq.SceneClock;
  if (seq.SceneClock == ImgSceneTicks) {
    seq.FrameCount = 0;
    seq.TickPhase = 0;
    seq.SceneClock = 0;
    seq.AdvancePending = 1;
    ClearScreen(show.Screen);
    Rewind(show, ImgSlot);
    PresentScreen(show);
  }
}

void HitScene(Show& show) {
  Sequencer& seq = show.seq;
  if (seq.TickPhase == HitFramePhase) {
    seq.TickPhase = 0;
    ReadFrame(show, HitSlot);
    if (++seq.FrameCount == HitReads) {
      // The last frame shown stays on the window.
      seq.FrameCount = 0;
      seq.TickPhase = 0;
      seq.AdvancePending = 1;
      Rewind(show, HitSlot);
      return;
    }
    ShowFrame(show);
  }
  ++seq.TickPhase;
}

void BlScene(Show& show) {
  Sequencer& seq = show.seq;
  ReadFrame(show, BlSlot);
  if (++seq.FrameCount == BlReads) {
    seq.AdvancePending = 1;
    seq.FrameCount = 0;
    ClearScreen(show.Screen);
    PresentScreen(show);
    Rewind(show, BlSlot);
    return;
  }
  ShowFrame(show);
}

}  // namespace cellshow
