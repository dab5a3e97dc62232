// What the play command costs the tick that sends it: MusicPlayer's hand-off
// to its control thread, against calling SDL_mixer directly (which takes the
// device lock, held by the audio thread while it mixes).
// SDL's disk driver writes to /dev/null, so no sound card is needed.
#include <SDL.h>
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio/music.h"
#include "shell/assets.h"

namespace {

using Clock = std::chrono::steady_clock;

// A 2 s stereo tone as a WAV file; the player loads it like the MP3.
std::string MakeDataDir() {
  static std::string dir;
  if (!dir.empty()) return dir;
  char pattern[] = "/tmp/cellshow-bench-XXXXXX";
  dir = std::string(mkdtemp(pattern)) + "/data";
  mkdir(dir.c_str(), 0700);
  constexpr uint32_t Rate = 44100, Frames = 2 * Rate;
  std::vector<int16_t> pcm(2 * Frames);
  for (uint32_t f = 0; f < Frames; ++f)
    pcm[2 * f] = pcm[2 * f + 1] = static_cast<int16_t>(8000 * std::sin(f * 0.0627));
  auto put32 = [](std::FILE* out, uint32_t v) { std::fwrite(&v, 4, 1, out); };
  auto put16 = [](std::FILE* out, uint16_t v) { std::fwrite(&v, 2, 1, out); };
  std::FILE* out = std::fopen((dir + "/03.mp3").c_str(), "wb");
  std::fwrite("RIFF", 1, 4, out);
  put32(out, 36 + Frames * 4);
  std::fwrite("WAVEfmt ", 1, 8, out);
  put32(out, 16);
  put16(out, 1);
  put16(out, 2);
  put32(out, Rate);
  put32(out, Rate * 4);
  put16(out, 4);
  put16(out, 16);
  std::fwrite("data", 1, 4, out);
  put32(out, Frames * 4);
  std::fwrite(pcm.data(), 2, pcm.size(), out);
  std::fclose(out);
  return dir;
}

void UseDiskDriver() {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
}

void ReportLatencies(benchmark::State& state, std::vector<double>& us) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
  state.counters["max_us"] = us.back();
}

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void BM_PlayCommand(benchmark::State& state) {
  UseDiskDriver();
  cellshow::MusicPlayer player;
  player.Open(MakeDataDir(), false);
  if (!player.musicLoaded()) {
    state.SkipWithError("no audio device");
    return;
  }
  std::vector<double> us;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    player.Command(cellshow::PlayMusicCommand);
    us.push_back(MicrosecondsSince(start));
    // A tick's distance: the control thread has started the music meanwhile.
    state.PauseTiming();
    usleep(2000);
    state.ResumeTiming();
  }
  ReportLatencies(state, us);
}
BENCHMARK(BM_PlayCommand)->UseRealTime()->Iterations(500);

void BM_MixPlayChannelDirect(benchmark::State& state) {
  UseDiskDriver();
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_LogSetOutputFunction([](void*, int, SDL_LogPriority, const char*) {}, nullptr);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
    state.SkipWithError("no audio device");
    SDL_Quit();
    return;
  }
  Mix_Chunk* chunk = Mix_LoadWAV((MakeDataDir() + "/03.mp3").c_str());
  std::vector<double> us;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    Mix_PlayChannel(0, chunk, 0);
    us.push_back(MicrosecondsSince(start));
    state.PauseTiming();
    usleep(2000);
    state.ResumeTiming();
  }
  ReportLatencies(state, us);
  Mix_HaltChannel(-1);
  Mix_FreeChunk(chunk);
  Mix_CloseAudio();
  SDL_Quit();
}
BENCHMARK(BM_MixPlayChannelDirect)->UseRealTime()->Iterations(500);

}  // namespace
