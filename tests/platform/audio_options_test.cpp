// The music player's part in the player's options (a late start, a loop's
// stop, the volume), against SDL's disk audio driver in real time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/audio/music.h"
#include "shell/assets.h"
#include "show/playback.h"
#include "support/audio_support.h"

namespace cellshow {
namespace {

using namespace std::chrono_literals;

// The reference from `fromMs` on, at `volume` percent as the mixer scales it.
test::Pcm Expected(const test::Pcm& tune, uint32_t fromMs, int volume) {
  test::Pcm out;
  const size_t skip = size_t{fromMs} * test::TestRate / 1000 * 2;
  const int level = 128 * volume / 100;
  for (size_t k = skip; k < tune.samples.size(); ++k)
    out.samples.push_back(static_cast<int16_t>(tune.samples[k] * level / 128));
  return out;
}

// Guards against a play "from" a position that sounds the tune from elsewhere,
// a stop that does not silence it, and a volume that does not scale every
// sample.
TEST(MusicPlayerThreads, PlaysFromAPositionStopsAndKeepsItsVolume) {
  constexpr size_t Preload = MusicPlayer::DefaultPreloadLimit;
  const struct {
    const char *what, *command;
    uint32_t fromMs;
    int volume;
    size_t preloadLimit;
    bool stop;  // a stop half a second in
  } cases[] = {
      {"from 1.5 s", "play data\\03.mp3 from 1500", 1500, 100, Preload, false},
      {"streamed, from 1.5 s", "play data\\03.mp3 from 1500", 1500, 100, 0, false},
      {"at half volume", PlayMusicCommand, 0, 50, Preload, false},
      {"stopped", PlayMusicCommand, 0, 100, Preload, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchDir dir;
    const std::string data = dir / "data";
    mkdir(data.c_str(), 0700);
    ASSERT_TRUE(test::WriteTuneMp3(data + "/03.mp3", 3.0, 5, 128));
    test::Pcm tune;
    ASSERT_TRUE(test::DecodeMp3(data + "/03.mp3", tune));
    const test::Pcm expected = Expected(tune, c.fromMs, c.volume);
    test::FifoCapture capture(dir / "capture.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.path().c_str(), 1);
    size_t playedAt = 0;
    {
      MusicPlayer player;
      player.setPreloadLimit(c.preloadLimit);
      player.setVolume(c.volume);
      player.Open(data, false);
      ASSERT_EQ(player.status(), MusicPlayer::Status::Ready);
      ASSERT_TRUE(capture.WaitForFrames(test::TestRate / 5, 10s)) << "the device does not run";
      playedAt = capture.framesSoFar();
      player.Command(c.command);
      if (c.stop) {
        ASSERT_TRUE(capture.WaitForFrames(playedAt + test::TestRate / 2, 10s));
        player.Command(StopMusicCommand);
      }
      ASSERT_TRUE(capture.WaitForFrames(playedAt + expected.frames() + test::TestRate, 20s));
    }
    ASSERT_TRUE(capture.WaitForEnd(5s));
    const test::MusicMatch match = test::FindMusic(capture.samples(), expected);
    ASSERT_TRUE(match.found);
    EXPECT_TRUE(match.silentBefore);
    EXPECT_GE(match.startFrame, playedAt);
    EXPECT_GT(match.snrDb, 40);
    const size_t heard = match.endFrame - match.startFrame;
    if (c.stop) {
      // Half a second, give or take the device's buffers, then silence.
      EXPECT_NEAR(static_cast<double>(heard), test::TestRate / 2, 3 * 2048.0);
    } else {
      EXPECT_GE(heard, expected.frames() - 2048);
      EXPECT_LE(heard, expected.frames());
    }
    // The same capture against the tune as it would be without the option.
    const test::MusicMatch plain = test::FindMusic(capture.samples(), tune);
    EXPECT_FALSE((c.fromMs > 0 || c.volume < 100) && plain.found && plain.snrDb > 40);
  }
}

}  // namespace
}  // namespace cellshow
