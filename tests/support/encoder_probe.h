#pragma once
// Tells the end-to-end tests what the frame encoder of this build can do, so
// that the tests of a capability it lacks are skipped rather than failed.
#include <string>

#include "platform/terminal/frame_encoder.h"
#include "shell/screen.h"

namespace cellshow::test {

// What the frame encoder in this build can do: a size notice, and frames
// that cost nothing when nothing changed.
struct EncoderCan {
  bool notice = false;
  bool damage = false;
};
inline EncoderCan ProbeEncoder() {
  static char out[FrameEncoder::MaxFrameBytes];
  static ScreenCells black;
  EncoderCan can;
  FrameEncoder small(false);
  const size_t n = small.Encode(black, TerminalSize{80, 24}, out);
  can.notice = std::string(out, n).find("cellshow needs 80x50") != std::string::npos;
  FrameEncoder full(false);
  full.Encode(black, TerminalSize{}, out);
  can.damage = full.Encode(black, TerminalSize{}, out) < 64;
  return can;
}

}  // namespace cellshow::test
