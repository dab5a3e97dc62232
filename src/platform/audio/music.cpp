#include "platform/audio/music.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

#include "platform/audio/media_command.h"
#include "platform/audio/request_queue.h"
#include "platform/files/asset_paths.h"
#include "shell/assets.h"

namespace cellshow {
namespace {

constexpr int DeviceRate = 44100;
constexpr int DeviceChannels = 2;
// 2048 frames, 46 ms at 44.1 kHz: the granularity of a start or a stop. Few
// wake-ups, no underruns on a busy machine; and 8192-byte writes, which the
// stdio stream behind SDL's disk driver passes on at once (a 4096-byte write
// can sit in its buffer for a period, which would blur the tests' timing).
constexpr int DeviceBufferFrames = 2048;
constexpr int CloseWaitMs = 2000;

// Only one player in the process may own SDL's audio at a time.
std::atomic<bool> DeviceTaken{false};

void DiscardSdlLog(void*, int, SDL_LogPriority, const char*) {}

// alsa-lib reports through this handler; the default writes to stderr, even
// for an underrun in the middle of the show.
void DiscardAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (alsa == nullptr) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
    set(DiscardAlsaError);
  dlclose(alsa);
}

// Points fd 2 at /dev/null while alive: audio back ends and decoders write
// their diagnostics there directly, and the show's terminal must stay clean.
class QuietStderr {
 public:
  QuietStderr() {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    saved_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (saved_ >= 0) dup2(null, 2);
    close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    dup2(saved_, 2);
    close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

// Blocks the asynchronous signals while alive, so that every thread started
// meanwhile (ours, SDL's, the sound server client's) inherits the mask and
// the program's own signal handling sees them all.
class AsyncSignalsBlocked {
 public:
  AsyncSignalsBlocked() {
    sigset_t all;
    sigfillset(&all);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS})
      sigdelset(&all, fault);
    pthread_sigmask(SIG_BLOCK, &all, &saved_);
  }
  ~AsyncSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  AsyncSignalsBlocked(const AsyncSignalsBlocked&) = delete;
  AsyncSignalsBlocked& operator=(const AsyncSignalsBlocked&) = delete;

 private:
  sigset_t saved_;
};

bool IsRegularFile(const std::string& path, off_t& size) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = st.st_size;
  return true;
}

void Signal(int fd) {
  const uint64_t one = 1;
  // An eventfd write only fails when its counter is full: a wake is pending.
  [[maybe_unused]] const ssize_t n = write(fd, &one, sizeof one);
}

// Music held for playback: decoded into memory when small enough (playback
// then never decodes, so a damaged file cannot make the decoder print in the
// middle of the show), otherwise streamed.
struct LoadedMusic {
  Mix_Chunk* chunk = nullptr;
  Mix_Music* stream = nullptr;
  Mix_Chunk tail{};  // what plays of `chunk` when it starts late

  bool loaded() const { return chunk != nullptr || stream != nullptr; }

  void Load(const std::string& path, size_t preloadLimit) {
    off_t size = 0;
    if (!IsRegularFile(path, size)) return;
    QuietStderr quiet;
    if (static_cast<uint64_t>(size) <= preloadLimit) {
      chunk = Mix_LoadWAV(path.c_str());
      if (chunk != nullptr && chunk->alen == 0) Free();
    } else {
      stream = Mix_LoadMUS(path.c_str());
    }
  }

  // Halts whatever plays, then starts this music `fromMs` in, once.
  void Play(uint32_t fromMs) {
    Halt();
    if (chunk != nullptr) {
      // A chunk cannot seek: the samples from the position on play as a
      // chunk of their own (it owns nothing; `chunk` keeps the samples).
      int rate = 0, channels = 0;
      uint16_t format = 0;
      if (Mix_QuerySpec(&rate, &format, &channels) == 0) return;
      const uint64_t frameBytes = static_cast<uint64_t>(SDL_AUDIO_BITSIZE(format)) / 8 * channels;
      const uint64_t skip = uint64_t{fromMs} * rate / 1000 * frameBytes;
      if (skip >= chunk->alen) return;
      tail = *chunk;
      tail.allocated = 0;
      tail.abuf += skip;
      tail.alen -= static_cast<uint32_t>(skip);
      Mix_PlayChannel(0, &tail, 0);
    }
    if (stream != nullptr) Mix_FadeInMusicPos(stream, 1, 0, fromMs / 1000.0);
  }

  static void Halt() {
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
  }

  void Free() {
    if (chunk != nullptr) Mix_FreeChunk(chunk);
    if (stream != nullptr) Mix_FreeMusic(stream);
    chunk = nullptr;
    stream = nullptr;
  }
};

}  // namespace

struct MusicPlayer::Impl {
  std::atomic<Status> status{Status::NotOpened};
  std::atomic<bool> closeBegun{false};
  std::atomic<bool> closeRequested{false};
  std::atomic<bool> showMusicLoaded{false};
  // When "close all" timed out the control thread may still use this state,
  // so the player leaks it rather than free it under the thread.
  bool abandoned = false;
  size_t preloadLimit = MusicPlayer::DefaultPreloadLimit;
  int volume = MIX_MAX_VOLUME;
  std::string failure;  // why there is no device

  std::string dataDir;
  const char* showName = nullptr;  // the show's music as named in its play command
  size_t showNameLength = 0;
  LoadedMusic showMusic;  // control thread only, once started
  LoadedMusic otherMusic;

  RequestQueue requests;
  int wakeFd = -1;
  int doneFd = -1;
  std::thread control;

  void Run();
  void ShutDownAudio();
};

void MusicPlayer::Impl::Run() {
  char name[MaxNameBytes];
  Request request;
  uint32_t fromMs = 0;
  while (!closeRequested.load(std::memory_order_acquire)) {
    uint64_t count = 0;
    if (read(wakeFd, &count, sizeof count) < 0 && errno != EINTR && errno != EAGAIN) break;
    while (!closeRequested.load(std::memory_order_acquire) && requests.Pop(request, name, fromMs)) {
      if (request == Request::Stop) {
        LoadedMusic::Halt();
        continue;
      }
      if (request == Request::PlayShowMusic) {
        showMusic.Play(fromMs);
        continue;
      }
      LoadedMusic next;
      next.Load(MapAssetName(dataDir, name), preloadLimit);
      if (!next.loaded()) continue;
      next.Play(fromMs);
      otherMusic.Free();
      otherMusic = next;
    }
  }
  ShutDownAudio();
  Signal(doneFd);
}

void MusicPlayer::Impl::ShutDownAudio() {
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  showMusic.Free();
  otherMusic.Free();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // The last user of SDL (no window) frees its global state too.
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
  DeviceTaken.store(false, std::memory_order_release);
}

MusicPlayer::MusicPlayer() : impl_(std::make_unique<Impl>()) {}

MusicPlayer::~MusicPlayer() {
  CloseAll();
  if (impl_->abandoned) {
    static_cast<void>(impl_.release());
    return;
  }
  // Closed only now: a play racing "close all" then still signals a live
  // eventfd, never a reused descriptor.
  if (impl_->wakeFd >= 0) close(impl_->wakeFd);
  if (impl_->doneFd >= 0) close(impl_->doneFd);
}

void MusicPlayer::setPreloadLimit(size_t bytes) { impl_->preloadLimit = bytes; }

void MusicPlayer::setVolume(int percent) {
  impl_->volume = MIX_MAX_VOLUME * std::clamp(percent, 0, 100) / 100;
}

std::string MusicPlayer::NoSoundLine() const {
  if (status() != Status::NoDevice) return "";
  const std::string& why = impl_->failure;
  return "cellshow: no sound" + (why.empty() ? std::string() : " (" + why + ")") +
         "; the show plays without music\n";
}

MusicPlayer::Status MusicPlayer::status() const {
  return impl_->status.load(std::memory_order_acquire);
}

bool MusicPlayer::musicLoaded() const {
  return status() == Status::Ready && impl_->showMusicLoaded.load(std::memory_order_acquire);
}

void MusicPlayer::Open(const std::string& dataDir, bool mute) {
  Impl& impl = *impl_;
  if (impl.status.load() != Status::NotOpened) return;
  if (mute) {
    impl.status.store(Status::Muted);
    return;
  }
  if (DeviceTaken.exchange(true)) {
    impl.failure = "another player has the sound device";
    impl.status.store(Status::NoDevice);
    return;
  }
  const MediaCommand show = ParseMediaCommand(PlayMusicCommand);
  impl.showName = show.name;
  impl.showNameLength = show.nameLength;
  impl.dataDir = dataDir;

  SDL_LogSetOutputFunction(DiscardSdlLog, nullptr);
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "cellshow");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "music");

  AsyncSignalsBlocked blocked;
  bool opened = false;
  {
    QuietStderr quiet;
    // The audio subsystem alone: a window's video lives on after "close all".
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      impl.failure = SDL_GetError();
    } else {
      SilenceAlsa();
      Mix_Init(MIX_INIT_MP3);
      opened = Mix_OpenAudio(DeviceRate, AUDIO_S16SYS, DeviceChannels, DeviceBufferFrames) == 0;
      if (!opened) {
        impl.failure = SDL_GetError();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
      }
    }
  }
  if (!opened) {
    DeviceTaken.store(false);
    impl.status.store(Status::NoDevice);
    return;
  }
  Mix_AllocateChannels(1);
  Mix_Volume(-1, impl.volume);
  Mix_VolumeMusic(impl.volume);
  impl.showMusic.Load(MapAssetName(dataDir, std::string(show.name, show.nameLength).c_str()),
                      impl.preloadLimit);
  impl.showMusicLoaded.store(impl.showMusic.loaded());

  impl.wakeFd = eventfd(0, EFD_CLOEXEC);
  impl.doneFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  bool started = false;
  if (impl.wakeFd >= 0 && impl.doneFd >= 0) {
    try {
      impl.control = std::thread([&impl] { impl.Run(); });
      started = true;
    } catch (const std::system_error&) {
    }
  }
  if (!started) {
    impl.failure = "no thread for the music";
    impl.ShutDownAudio();
    impl.showMusicLoaded.store(false);
    impl.status.store(Status::NoDevice);
    return;
  }
  impl.status.store(Status::Ready, std::memory_order_release);
}

void MusicPlayer::Command(const char* command) {
  const MediaCommand parsed = ParseMediaCommand(command);
  if (parsed.verb == MediaVerb::CloseAll) {
    CloseAll();
    return;
  }
  Impl& impl = *impl_;
  if (parsed.verb == MediaVerb::Ignored ||
      impl.status.load(std::memory_order_acquire) != Status::Ready)
    return;
  if (parsed.verb == MediaVerb::Stop) {
    // Whatever plays stops: the show plays one file at a time.
    if (!impl.requests.Push(Request::Stop, parsed.name, 0)) return;
  } else if (impl.showMusicLoaded.load(std::memory_order_acquire) &&
             SameAssetName(parsed.name, parsed.nameLength, impl.showName, impl.showNameLength)) {
    if (!impl.requests.Push(Request::PlayShowMusic, parsed.name, 0, parsed.fromMs)) return;
  } else {
    if (parsed.nameLength >= MaxNameBytes) return;
    if (!impl.requests.Push(Request::PlayFile, parsed.name, parsed.nameLength, parsed.fromMs))
      return;
  }
  Signal(impl.wakeFd);
}

void MusicPlayer::CloseAll() {
  Impl& impl = *impl_;
  if (impl.closeBegun.exchange(true)) return;
  const Status was = impl.status.exchange(Status::Closed);
  if (was != Status::Ready) return;
  impl.closeRequested.store(true, std::memory_order_release);
  Signal(impl.wakeFd);
  pollfd done{impl.doneFd, POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&done, 1, CloseWaitMs);
  } while (ready < 0 && errno == EINTR);
  if (ready > 0) {
    impl.control.join();
  } else {
    // The device hangs in its close; the process is ending, so let it be.
    impl.control.detach();
    impl.abandoned = true;
  }
}

}  // namespace cellshow
