#include "platform/ssh/show_reel.h"

#include "platform/headless/headless_run.h"
#include "platform/headless/headless_sink.h"

namespace cellshow {
namespace {

constexpr size_t FrameBytes = 2 * ScreenCellCount;

void Pack(const ScreenCells& screen, uint8_t* out) {
  for (int k = 0; k < ScreenCellCount; ++k) {
    out[2 * k] = static_cast<uint8_t>(screen[k].Char);
    out[2 * k + 1] = static_cast<uint8_t>(screen[k].Attributes);
  }
}

// Keeps the presents; the music is not served (there is no sound over SSH).
class ReelSink : public HeadlessSink {
 public:
  ReelSink(std::vector<uint32_t>& ticks, std::vector<uint8_t>& cells)
      : ticks_(ticks), cells_(cells) {}
  void Present(uint32_t tick, const ScreenCells& screen) override {
    ticks_.push_back(tick);
    cells_.resize(cells_.size() + FrameBytes);
    Pack(screen, &cells_[cells_.size() - FrameBytes]);
  }
  void Media(uint32_t, const char*) override {}

 private:
  std::vector<uint32_t>& ticks_;
  std::vector<uint8_t>& cells_;
};

}  // namespace

bool ShowReel::Load(const std::string& dataDir, int64_t keyAfter, std::string& error) {
  ticks_.clear();
  cells_.clear();
  ReelSink sink(ticks_, cells_);
  const uint32_t ticks = PlayHeadless(dataDir, keyAfter, sink);
  if (ticks_.empty()) {
    error = "the show presented no frame";
    return false;
  }
  endTick_ = ticks > ticks_.back() ? ticks : ticks_.back();
  cells_.shrink_to_fit();
  return true;
}

void ShowReel::Assign(const std::vector<uint32_t>& ticks,
                      const std::vector<const ScreenCells*>& frames, uint32_t endTick) {
  ticks_ = ticks;
  cells_.assign(frames.size() * FrameBytes, 0);
  for (size_t i = 0; i < frames.size(); ++i) Pack(*frames[i], &cells_[i * FrameBytes]);
  endTick_ = endTick;
}

int ShowReel::NewestAt(uint32_t tick, int from) const {
  int newest = from;
  while (newest + 1 < presents() && ticks_[newest + 1] <= tick) ++newest;
  return newest;
}

void ShowReel::Cells(int present, ScreenCells& out) const {
  const uint8_t* at = &cells_[static_cast<size_t>(present) * FrameBytes];
  for (int k = 0; k < ScreenCellCount; ++k) out[k] = {at[2 * k], at[2 * k + 1]};
}

}  // namespace cellshow
