#pragma once
// The whole show, played headless once when the server starts (about 30 ms)
// and kept in memory: every present with the tick after which it shows, and
// the tick at which the show ends. Every viewer plays it back on its own
// clock; no Show runs per viewer and no file is read after this.
//
// Read-only once loaded: any thread may read it.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/screen.h"

namespace cellshow {

class ShowReel {
 public:
  // Plays the show from `dataDir` (keyAfter as for --key-after: the show
  // ends as a key would end it after that many ticks; -1 never). False,
  // with `error` set, when it presents nothing.
  bool Load(const std::string& dataDir, int64_t keyAfter, std::string& error);

  // A reel of the given frames, for tests: present i shows after ticks[i]
  // (ascending); the show ends after `endTick`.
  void Assign(const std::vector<uint32_t>& ticks, const std::vector<const ScreenCells*>& frames,
              uint32_t endTick);

  int presents() const { return static_cast<int>(ticks_.size()); }
  uint32_t tickOf(int present) const { return ticks_[present]; }
  // The number of ticks the show runs: after this the viewer's show is over.
  uint32_t endTick() const { return endTick_; }
  // The newest present at or before `tick`, searching on from `from` (a
  // present known to be due by then); -1 when none is due yet.
  int NewestAt(uint32_t tick, int from = -1) const;
  // The cells of a present.
  void Cells(int present, ScreenCells& out) const;

  // Memory held: 8000 bytes a present.
  size_t bytes() const { return cells_.size(); }

 private:
  std::vector<uint32_t> ticks_;
  std::vector<uint8_t> cells_;  // character then attribute byte, 8000 a present
  uint32_t endTick_ = 0;
};

}  // namespace cellshow
