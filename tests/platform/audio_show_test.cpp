// The music in the whole program, in real time: the show in a pseudo-terminal
// with SDL's disk audio driver writing what would be played into a FIFO.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <thread>

#include "support/audio_show_run.h"
#include "support/audio_support.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using namespace std::chrono_literals;
using test::Clock;

constexpr auto Tick = 17ms;
constexpr int PlayTick = 1296;  // the plasma's last tick sends the play
constexpr int LastTick = 3773;  // the closing scene's shutdown

struct Fixture {
  test::ScratchDir dir;
  std::string data = dir / "data";
  std::string errors = dir / "stderr.txt";
  Fixture() { mkdir(data.c_str(), 0700); }
};

void ExpectMusicBetween(const test::FifoCapture& capture, const test::Pcm& reference,
                        Clock::time_point play, Clock::time_point close) {
  test::PlaybackFigures figures;
  EXPECT_EQ(test::CheckPlayback(capture, reference,
                                {play, close, test::ToleranceMs, test::EndToleranceMs}, &figures),
            "");
  std::printf("start offset %.1f ms, stop offset %.1f ms, capture end %.1f ms, SNR %.1f dB\n",
              figures.startOffsetMs, figures.stopOffsetMs, figures.endOffsetMs,
              figures.match.snrDb);
}

// The show with a generated tune of `seconds`, its audio captured; `play` is
// when the plasma's last tick comes, counted from the timer's start as the
// plasma's first hundred frames tell it.
struct MusicShow {
  Fixture f;
  test::Pcm reference;
  std::unique_ptr<test::FifoCapture> capture;
  test::ShowProcess show;
  Clock::time_point timerStart, play;

  void Start(double seconds, int seed) {
    ASSERT_TRUE(test::WriteTuneMp3(f.data + "/03.mp3", seconds, seed, 128));
    ASSERT_TRUE(test::DecodeMp3(f.data + "/03.mp3", reference));
    capture = std::make_unique<test::FifoCapture>(f.dir / "capture.raw");
    ASSERT_TRUE(show.Start(
        {"--data", f.data},
        {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", capture->path().c_str()}}, f.errors));
    timerStart = show.TimerStart(100, 20s);
    ASSERT_NE(timerStart, Clock::time_point{}) << "the plasma's frames did not come";
    play = timerStart + PlayTick * Tick;
  }
  void ExpectEndAndMusicUntil(Clock::time_point close, std::chrono::seconds wait) {
    EXPECT_EQ(show.Wait(wait), 0);
    ASSERT_TRUE(capture->WaitForEnd(3s)) << "the capture did not end";
    EXPECT_EQ(test::ReadText(f.errors), "");
    ExpectMusicBetween(*capture, reference, play, close);
  }
};

TEST(AudioShowLong, MusicStartsAtThePlasmasEndAndAKeyStopsIt) {
  MusicShow m;
  ASSERT_NO_FATAL_FAILURE(m.Start(6.0, 5));
  std::this_thread::sleep_until(m.play + 2500ms);
  const Clock::time_point key = Clock::now();
  m.show.SendKey();
  m.ExpectEndAndMusicUntil(key, 5s);
}

TEST(AudioShowLong, MusicPlaysUntilTheShowEndsByItself) {
  MusicShow m;
  ASSERT_NO_FATAL_FAILURE(m.Start(45.0, 6));
  m.ExpectEndAndMusicUntil(m.timerStart + LastTick * Tick, 90s);
}

// Nothing to play on, or nothing to play: the show runs and ends with 0 at
// a key; no device is one line on stderr, anything else prints nothing.
TEST(AudioShow, SilentAndQuietWithNothingToPlay) {
  enum Says { Nothing, NoSound, NoSoundOnAMachineWithout };
  struct Case {
    const char* what;
    const char* driver;  // nullptr: the machine's default
    bool music;
    bool mute;
    Says says;
  };
  const Case cases[] = {
      {"a driver that does not exist", "no-such-driver", true, false, NoSound},
      {"the default driver of this machine", nullptr, true, false, NoSoundOnAMachineWithout},
      {"a missing music file", "disk", false, false, Nothing},
      {"--mute", "disk", true, true, Nothing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    if (c.music) {
      ASSERT_TRUE(test::WriteTuneMp3(f.data + "/03.mp3", 1.0, 7, 128));
    }
    const std::string output = f.dir / "output.raw";
    std::vector<std::string> args{"--data", f.data};
    if (c.mute) args.push_back("--mute");
    test::ShowProcess show;
    ASSERT_TRUE(show.Start(
        args, {{"SDL_AUDIODRIVER", c.driver}, {"SDL_DISKAUDIOFILE", output.c_str()}}, f.errors));
    EXPECT_NE(show.FirstFrameArrival(5s), Clock::time_point{});
    show.SendKey();
    EXPECT_EQ(show.Wait(5s), 0);
    // Without the tune the folder holds no show file at all, and says so.
    const std::string errors = test::ReadText(f.errors);
    const bool noSound = errors.starts_with("cellshow: no sound (") &&
                         errors.ends_with("); the show plays without music\n") &&
                         errors.find('\n') == errors.size() - 1;
    if (!c.music) {
      EXPECT_EQ(errors, "cellshow: no show files in " + f.data +
                            "; the show will be blank and silent (see --data)\n");
    } else if (c.says == NoSound) {
      EXPECT_TRUE(noSound) << errors;
    } else {
      EXPECT_TRUE(errors.empty() || (c.says == NoSoundOnAMachineWithout && noSound)) << errors;
    }
    struct stat st {};
    if (c.mute) {
      EXPECT_NE(stat(output.c_str(), &st), 0) << "the device was opened";
    }
  }
}

}  // namespace
}  // namespace cellshow
