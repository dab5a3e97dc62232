#pragma once
// Runs the whole show in-process on a FakePlatform, from start-up to its own
// shutdown, and gives the records back.
#include <memory>

#include "show/show.h"
#include "support/fake_platform.h"

namespace cellshow::test {

struct ShowRun {
  FakePlatform host;
  std::unique_ptr<Show> show = std::make_unique<Show>(host);

  // Plays until the closing scene's shutdown (or `limit` ticks).
  void Play(uint32_t limit = 5000) {
    host.keyAfterPolls = 1 << 30;
    StartUp(*show);
    host.RunUntilExit(limit);
  }
  // The presents of ticks first..last, in order.
  std::vector<const Record*> Presents(uint32_t first, uint32_t last) const {
    std::vector<const Record*> out;
    for (const Record& r : host.records)
      if (r.kind == PresentRecord && r.tick >= first && r.tick <= last) out.push_back(&r);
    return out;
  }
};

// A frame file whose frame n carries the marker n + 1 in the character byte
// of every cell and `attribute` in every attribute byte.
inline std::vector<uint8_t> NumberedFrames(int frames, uint8_t attribute = 0x1f) {
  std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 8000);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    bytes[i] = static_cast<uint8_t>(i / 8000 + 1);
    bytes[i + 1] = attribute;
  }
  return bytes;
}

}  // namespace cellshow::test
