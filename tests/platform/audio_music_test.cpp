// MusicPlayer against SDL's disk audio driver, in real time: what would have
// been played is read from a FIFO as it is written.
#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/audio/music.h"
#include "shell/assets.h"
#include "support/audio_support.h"

namespace cellshow {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::EndToleranceMs;
using test::ToleranceMs;
using test::WaitUntil;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void UseDiskDriver(const std::string& output) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
}

std::string MakeDataDir(const test::ScratchDir& dir) {
  const std::string data = dir / "data";
  mkdir(data.c_str(), 0700);
  return data;
}

bool SameHandler(int signal, const struct sigaction& before) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler == before.sa_handler;
}

TEST(MusicPlayerThreads, PlaysTheShowsMusicFromThePlayUntilCloseAll) {
  test::ScratchDir dir;
  const std::string data = MakeDataDir(dir);
  ASSERT_TRUE(test::WriteTuneMp3(data + "/03.mp3", 3.0, 1, 128));
  test::Pcm reference, otherTune, reencoded;
  ASSERT_TRUE(test::DecodeMp3(data + "/03.mp3", reference));
  ASSERT_TRUE(test::WriteTuneMp3(dir / "other.mp3", 3.0, 2, 128));
  ASSERT_TRUE(test::DecodeMp3(dir / "other.mp3", otherTune));
  ASSERT_TRUE(test::WriteTuneMp3(dir / "reencoded.mp3", 3.0, 1, 96));
  ASSERT_TRUE(test::DecodeMp3(dir / "reencoded.mp3", reencoded));

  test::FifoCapture capture(dir / "capture.raw");
  UseDiskDriver(capture.path());
  struct sigaction interrupt {
  }, terminate{};
  sigaction(SIGINT, nullptr, &interrupt);
  sigaction(SIGTERM, nullptr, &terminate);

  Clock::time_point play, close;
  Clock::duration closeCall{};
  std::string printed;
  {
    test::StderrCapture stderrCapture;
    MusicPlayer player;
    const Clock::time_point openStart = Clock::now();
    player.Open(data, false);
    const Clock::duration openCall = Clock::now() - openStart;
    ASSERT_EQ(player.status(), MusicPlayer::Status::Ready);
    ASSERT_TRUE(player.musicLoaded());
    EXPECT_TRUE(SameHandler(SIGINT, interrupt)) << "SDL took over SIGINT";
    EXPECT_TRUE(SameHandler(SIGTERM, terminate)) << "SDL took over SIGTERM";
    // The music was loaded at the start: the file is not needed any more.
    ASSERT_EQ(std::rename((data + "/03.mp3").c_str(), (dir / "moved.mp3").c_str()), 0);

    // The timer thread's part: the play, at a known moment.
    const Clock::time_point begin = Clock::now();
    std::thread timer([&] {
      std::this_thread::sleep_until(begin + 300ms);
      play = Clock::now();
      player.Command(PlayMusicCommand);
    });
    timer.join();
    // The key's part, on this thread: close all while the music plays.
    std::this_thread::sleep_until(play + 1500ms);
    close = Clock::now();
    player.Command(CloseAllCommand);
    closeCall = Clock::now() - close;
    EXPECT_EQ(player.status(), MusicPlayer::Status::Closed);
    player.Command(CloseAllCommand);
    player.Command(PlayMusicCommand);
    printed = stderrCapture.text();
    std::printf("open %.2f ms, close all %.2f ms\n", Ms(openCall), Ms(closeCall));
  }
  EXPECT_EQ(printed, "");
  ASSERT_TRUE(capture.WaitForEnd(2s)) << "the capture did not end";

  test::PlaybackFigures figures;
  const test::PlaybackExpectation expected{play, close, ToleranceMs, EndToleranceMs};
  EXPECT_EQ(test::CheckPlayback(capture, reference, expected, &figures), "");
  std::printf("start offset %.1f ms, stop offset %.1f ms, capture end %.1f ms, SNR %.1f dB\n",
              figures.startOffsetMs, figures.stopOffsetMs, figures.endOffsetMs,
              figures.match.snrDb);

  // The same capture must fail when it should: a start half a second later
  // than expected, another tune, and a re-encode of the same tune.
  const test::PlaybackExpectation earlier{play - 500ms, close, ToleranceMs, EndToleranceMs};
  EXPECT_NE(test::CheckPlayback(capture, reference, earlier).find("starts"), std::string::npos);
  EXPECT_NE(test::CheckPlayback(capture, otherTune, expected), "");
  test::PlaybackFigures reencodedFigures;
  EXPECT_NE(test::CheckPlayback(capture, reencoded, expected, &reencodedFigures), "");
  std::printf("against a re-encode: SNR %.1f dB\n", reencodedFigures.match.snrDb);
}

// A play only queues the command for the control thread: it returns while
// the audio thread holds the mixer (here, in a mix step that waits).
struct HeldMixer {
  std::atomic<bool> holding{false};
  std::atomic<bool> release{false};
  static void Mix(void* self, Uint8*, int) {
    auto& held = *static_cast<HeldMixer*>(self);
    held.holding.store(true);
    while (!held.release.load()) std::this_thread::sleep_for(1ms);
  }
};

// Only keeps a broken player from hanging the test.
constexpr auto HangLimit = 10s;

TEST(MusicPlayerThreads, APlayNeverWaitsForTheDevice) {
  test::ScratchDir dir;
  const std::string data = MakeDataDir(dir);
  ASSERT_TRUE(test::WriteTuneMp3(data + "/03.mp3", 1.0, 1, 128));
  ASSERT_TRUE(test::WriteTuneMp3(data + "/other.mp3", 1.0, 2, 128));
  UseDiskDriver(dir / "output.raw");
  MusicPlayer player;
  player.Open(data, false);
  ASSERT_EQ(player.status(), MusicPlayer::Status::Ready);
  HeldMixer held;
  Mix_SetPostMix(&HeldMixer::Mix, &held);
  const bool holding = WaitUntil([&] { return held.holding.load(); }, HangLimit);
  std::atomic<bool> returned{false};
  std::thread caller([&] {
    player.Command(PlayMusicCommand);
    player.Command("play data/other.mp3");
    player.Command(PlayMusicCommand);
    returned.store(true);
  });
  const bool inTime = WaitUntil([&] { return returned.load(); }, HangLimit);
  held.release.store(true);
  caller.join();
  Mix_SetPostMix(nullptr, nullptr);
  EXPECT_TRUE(holding) << "the device does not run";
  EXPECT_TRUE(inTime) << "a play waited for the audio device";
  player.Command(CloseAllCommand);
  EXPECT_EQ(player.status(), MusicPlayer::Status::Closed);
}

// A tune that ends long before "close all" plays once: silence follows it
// until the close. The run goes on by the device's own clock, so a tune that
// played again would be in the capture.
TEST(MusicPlayerThreads, ATunePlaysOnceThenSilenceUntilCloseAll) {
  const struct {
    const char* what;
    const char* file;
    const char* command;
    size_t preloadLimit;
  } cases[] = {
      {"the show's music, loaded at the start", "03.mp3", PlayMusicCommand,
       MusicPlayer::DefaultPreloadLimit},
      {"another file, streamed", "short.mp3", "play data/short.mp3", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchDir dir;
    const std::string data = MakeDataDir(dir);
    ASSERT_TRUE(test::WriteTuneMp3(data + "/" + c.file, 0.6, 3, 128));
    test::Pcm reference;
    ASSERT_TRUE(test::DecodeMp3(data + "/" + c.file, reference));
    test::FifoCapture capture(dir / "capture.raw");
    UseDiskDriver(capture.path());
    Clock::time_point play;
    size_t playedAt = 0;
    {
      MusicPlayer player;
      player.setPreloadLimit(c.preloadLimit);
      player.Open(data, false);
      ASSERT_EQ(player.status(), MusicPlayer::Status::Ready);
      EXPECT_EQ(player.musicLoaded(), c.preloadLimit > 0);
      ASSERT_TRUE(capture.WaitForFrames(test::TestRate / 5, 10s)) << "the device does not run";
      play = Clock::now();
      playedAt = capture.framesSoFar();
      player.Command(c.command);
      ASSERT_TRUE(
          capture.WaitForFrames(playedAt + reference.frames() + 3 * test::TestRate / 2, 20s));
    }
    ASSERT_TRUE(capture.WaitForEnd(5s));
    const test::MusicMatch match = test::FindMusic(capture.samples(), reference);
    ASSERT_TRUE(match.found);
    EXPECT_TRUE(match.silentBefore);
    EXPECT_GE(match.startFrame, playedAt);
    EXPECT_GT(match.snrDb, 40);
    EXPECT_LT(Ms(capture.ArrivalOfFrame(match.startFrame) - play), 100 + ToleranceMs);
    // Played once: the last sound is within the tune's length of its start,
    // and a second of silence at least follows it.
    EXPECT_LE(match.endFrame - match.startFrame, reference.frames());
    EXPECT_GE(match.endFrame - match.startFrame, reference.frames() / 2);
    EXPECT_GE(capture.frames(), match.startFrame + reference.frames() + test::TestRate);
  }
}

// No music to play on, or nothing to play: the show goes on in silence and
// nothing at all is printed.
TEST(MusicPlayerThreads, StaysSilentAndQuietWithNothingToPlay) {
  enum class Music { Good, Missing, Random, Damaged, Fifo };
  struct Case {
    const char* what;
    const char* driver;  // nullptr: the machine's default
    Music music;
    bool mute;
  };
  const Case cases[] = {
      {"a driver that does not exist", "no-such-driver", Music::Good, false},
      {"the default driver of this machine", nullptr, Music::Good, false},
      {"a missing music file", "disk", Music::Missing, false},
      {"a file that is not MP3", "disk", Music::Random, false},
      {"an MP3 damaged in the middle", "disk", Music::Damaged, false},
      {"a FIFO in place of the music file", "disk", Music::Fifo, false},
      {"mute", "disk", Music::Good, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchDir dir;
    const std::string data = MakeDataDir(dir);
    const std::string music = data + "/03.mp3";
    if (c.music == Music::Good || c.music == Music::Damaged) {
      ASSERT_TRUE(test::WriteTuneMp3(music, 2.0, 4, 128));
    }
    if (c.music == Music::Damaged) {
      std::fstream file(music, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(8000);
      for (int k = 0; k < 4000; ++k) file.put(static_cast<char>((k * 7919) & 0xff));
    }
    if (c.music == Music::Random) {
      std::ofstream file(music, std::ios::binary);
      for (int k = 0; k < 100000; ++k) file.put(static_cast<char>((k * 2654435761u) >> 24));
    }
    if (c.music == Music::Fifo) mkfifo(music.c_str(), 0600);
    const std::string output = dir / "output.raw";
    UseDiskDriver(output);
    if (c.driver == nullptr)
      unsetenv("SDL_AUDIODRIVER");
    else
      setenv("SDL_AUDIODRIVER", c.driver, 1);

    std::string printed;
    {
      test::StderrCapture stderrCapture;
      MusicPlayer player;
      const Clock::time_point start = Clock::now();
      player.Open(data, c.mute);
      EXPECT_LT(Ms(Clock::now() - start), 2000);
      if (c.mute) {
        EXPECT_EQ(player.status(), MusicPlayer::Status::Muted);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
      }
      if (c.driver != nullptr && std::string(c.driver) == "no-such-driver") {
        EXPECT_EQ(player.status(), MusicPlayer::Status::NoDevice);
      }
      if (c.music != Music::Good && c.music != Music::Damaged) {
        EXPECT_FALSE(player.musicLoaded());
      }
      // alsa-lib's error reports (an underrun, say) must not reach the screen.
      using AlsaError = void (*)(const char*, int, const char*, int, const char*, ...);
      auto* alsaError = static_cast<AlsaError*>(dlsym(RTLD_DEFAULT, "snd_lib_error"));
      if (alsaError != nullptr && player.status() == MusicPlayer::Status::Ready) {
        (*alsaError)("f", 1, "g", -1, "x");
      }
      player.Command(PlayMusicCommand);
      std::this_thread::sleep_for(c.music == Music::Damaged ? 600ms : 50ms);
      player.Command(CloseAllCommand);
      player.Command(CloseAllCommand);
      player.Command(PlayMusicCommand);
      EXPECT_EQ(player.status(), MusicPlayer::Status::Closed);
      printed = stderrCapture.text();
    }
    EXPECT_EQ(printed, "");
    struct stat st {};
    const bool wrote = stat(output.c_str(), &st) == 0;
    if (c.mute || (c.driver != nullptr && std::string(c.driver) != "disk")) {
      EXPECT_FALSE(wrote) << "the device was opened";
    }
    if (c.music == Music::Missing || c.music == Music::Random || c.music == Music::Fifo) {
      ASSERT_TRUE(wrote);
      std::ifstream in(output, std::ios::binary);
      char byte = 0;
      bool silent = true;
      while (in.get(byte)) silent = silent && byte == 0;
      EXPECT_TRUE(silent) << "something was played";
    }
  }
}

}  // namespace
}  // namespace cellshow
