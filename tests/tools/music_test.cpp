// The default music as a decoder hears it: a clear accent at every scene
// change of the show after the music starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "data_tool.h"
#include "support/audio_support.h"

namespace cellshow {
namespace {

constexpr double SamplesPerTick = 17 * 44.1;  // a show tick is 17 ms
constexpr int MusicStartTick = 1296;          // the music starts at the end of this tick
// The first tick of every script entry after the music starts; the last is
// the closing black screen.
constexpr int EntryStartTicks[] = {1497, 1563, 1850, 1988, 2054, 2415,
                                   2615, 2996, 3282, 3420, 3558, 3696};

// Short-time energy of the decoded music (both channels), with the onset
// strength at a moment: the energy of the 23 ms after it over that of the
// 23 ms before it, leaving out 6 ms just before it, where the encoder's
// pre-echo of a transient goes.
class OnsetMeter {
 public:
  explicit OnsetMeter(const test::Pcm& pcm) : sums_(pcm.frames() + 1) {
    for (size_t i = 0; i < pcm.frames(); ++i) {
      const double l = pcm.samples[2 * i] / 32768.0, r = pcm.samples[2 * i + 1] / 32768.0;
      sums_[i + 1] = sums_[i] + l * l + r * r;
    }
  }
  long frames() const { return static_cast<long>(sums_.size()) - 1; }
  double Strength(long at) const {
    return Energy(at, at + Window) / (Energy(at - Guard - Window, at - Guard) + 1e-9);
  }
  // The strongest onset within `tolerance` frames of `at`.
  double StrongestNear(long at, long tolerance) const {
    double best = 0;
    for (long t = at - tolerance; t <= at + tolerance; t += 16) best = std::max(best, Strength(t));
    return best;
  }

 private:
  static constexpr long Window = 1024, Guard = 256;
  double Energy(long from, long to) const {
    from = std::clamp(from, 0L, frames());
    to = std::clamp(to, 0L, frames());
    return to > from ? (sums_[to] - sums_[from]) / static_cast<double>(to - from) : 0;
  }
  std::vector<double> sums_;
};

TEST(Music, EverySceneChangeAfterTheMusicStartsIsAClearAccent) {
  test::Pcm pcm;
  ASSERT_TRUE(test::DecodeMp3(test::BuildDataFolder() + "/03.mp3", pcm));
  const OnsetMeter meter(pcm);
  // An onset is 10 times the energy before it. The decoder gives back the
  // samples as synthesized (the info frame removes the encoder's delay), but
  // a transient is smeared over one granule of 576 samples (13 ms), so that
  // is how near the moment it must be.
  constexpr double Accent = 10;
  constexpr long Granule = 576;
  std::vector<long> moments;
  for (const int tick : EntryStartTicks) {
    const long at = std::lround((tick - MusicStartTick) * SamplesPerTick);
    moments.push_back(at);
    EXPECT_GE(meter.StrongestNear(at, Granule), Accent)
        << "no accent at tick " << tick << ", " << (tick - MusicStartTick) * 17
        << " ms into the music";
  }
  // The accents stand out: almost nowhere else (more than 100 ms from a
  // scene change) does the music jump as much.
  int elsewhere = 0, strong = 0;
  for (long t = 4410; t + 4410 < meter.frames(); t += 256) {
    if (std::any_of(moments.begin(), moments.end(),
                    [&](long m) { return std::labs(t - m) < 4410; }))
      continue;
    ++elsewhere;
    strong += meter.Strength(t) >= Accent;
  }
  EXPECT_LT(strong, elsewhere / 100) << strong << " of " << elsewhere << " other moments";
}

}  // namespace
}  // namespace cellshow
