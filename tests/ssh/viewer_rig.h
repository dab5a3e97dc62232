#pragma once
// The viewer object on the default show, driven as the server drives it but
// on a clock of the test's own: what it hands out goes into an emulated
// terminal of the viewer's size.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ssh/viewer.h"
#include "support/vterm_screen.h"

namespace cellshow::test {

struct ViewerRig {
  ViewerRig();
  ShowReel reel;
  std::unique_ptr<char[]> scratch;
  FrameLogs logs;
  TerminalTypes types;
  ServeFigures figures;
  ViewerContext shared;  // viewers share their logs
  ViewerContext alone;   // each viewer encodes its own

  // The clock's time at which present `present` of a show started at
  // `startNs` falls due.
  int64_t DueNs(int64_t startNs, int present) const {
    return startNs + int64_t{reel.tickOf(present)} * ShowTickNs;
  }
};

// What one viewer was sent, and its terminal (when the caller makes one).
// The terminal is fed each chunk once the viewer has handed it out whole:
// libvterm takes some sequences cut between two writes wrongly, which a
// real terminal does not.
struct Sent {
  std::string out, err;
  size_t largestChunk = 0;
  std::unique_ptr<VtermScreen> terminal;
  size_t fed = 0;
  const VtermScreen& Screen() const { return *terminal; }
};

// "" when `terminal` shows `cells` as a viewer of `kind` must see them: the
// grid where 80x50 fits, else the scaled picture of the terminal's size.
std::string FrameMismatch(const VtermScreen& terminal, const ScreenCells& cells,
                          const TerminalKind& kind);

// Hands out what is due at `nowNs`, taking at most `room` bytes, as the
// connection does; returns the bytes taken.
size_t Pump(Viewer& viewer, int64_t nowNs, Sent& sent, size_t room = SIZE_MAX);

}  // namespace cellshow::test
