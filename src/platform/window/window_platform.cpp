#include "platform/window/window_platform.h"

#include <SDL.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/files/native_files.h"
#include "platform/stats/stats_text.h"

namespace cellshow {
namespace {

// How long the main loop waits for an event before it looks for a new frame:
// a frame is drawn at most this late (frames come every 17 ms or more).
constexpr int EventWaitMs = 4;

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Keys that only modify another (Alt of Alt+Enter) or only lock: like in a
// terminal, where they send nothing, they do not end the show.
bool IsModifierKey(SDL_Scancode key) {
  return (key >= SDL_SCANCODE_LCTRL && key <= SDL_SCANCODE_RGUI) || key == SDL_SCANCODE_MODE ||
         key == SDL_SCANCODE_CAPSLOCK || key == SDL_SCANCODE_NUMLOCKCLEAR ||
         key == SDL_SCANCODE_SCROLLLOCK;
}

}  // namespace

WindowPlatform::WindowPlatform(const WindowSettings& settings, int64_t periodNs)
    : TimedPlatform(settings.dataDir, periodNs, true, settings.keyAfter), settings_(settings) {}

WindowPlatform::~WindowPlatform() {
  StopTimerAndReadStats();  // no tick may reach the members destroyed below
  if (!displayLost_.load(std::memory_order_acquire)) {
    view_.Close();
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  if (signalFd_ >= 0) close(signalFd_);
}

bool WindowPlatform::Open(std::string& error) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the ending signals are ours
  // Only the display servers named: otherwise SDL falls back to its
  // offscreen driver and the show would play unseen (and the Wayland library
  // complains when there is none). SDL_VIDEODRIVER still chooses.
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::string drivers;
  if (display && *display) drivers = "x11";
  if (wayland && *wayland) drivers += drivers.empty() ? "wayland" : ",wayland";
  SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.empty() ? "none" : drivers.c_str());
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("cannot open the display") +
            (display && *display ? std::string(" ") + display : std::string()) + ": " +
            SDL_GetError();
    return false;
  }
  videoStarted_ = true;
  return view_.Open(settings_.fullscreen, error);
}

bool WindowPlatform::WatchEndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : EndingSignals) sigaddset(&set, s);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signalFd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  return signalFd_ >= 0;
}

bool WindowPlatform::WatchTerminal(int fd, std::string& error) {
  if (!keys_.Open(fd, nullptr, 0, error)) return false;
  // The terminal cannot be given back while the window plays: Ctrl-Z there
  // ends the show like any key.
  keys_.SuspendIsAKey();
  return true;
}

void WindowPlatform::PrepareConsole() {
  view_.Show();
  music_.setVolume(settings_.volume);
  music_.Open(dataDir(), settings_.mute);
  std::string lines = music_.NoSoundLine();
  // Before the keys are taken, while the terminal still ends lines itself.
  if (keys_.fd() >= 0) lines += "cellshow: playing in a window; any key here or there ends it\n";
  WriteAllTo(STDERR_FILENO, lines.data(), lines.size());
  if (keys_.fd() >= 0) keys_.Take(true);
}

void WindowPlatform::PresentScreen(const ScreenCells& screen) {
  const bool replaced = frames_.Publish(screen);
  presented_.fetch_add(1, std::memory_order_relaxed);
  if (replaced) skipped_.fetch_add(1, std::memory_order_relaxed);
}

void WindowPlatform::SendMediaCommand(const char* command) { music_.Command(command); }

int32_t WindowPlatform::KeyHit() {
  for (;;) {
    if (displayLost_.load(std::memory_order_acquire)) return 1;
    if (ExitRequested() || KeyDue()) {
      ShowNewest();  // the last frame the ticks presented
      return 1;
    }
    if (EndingSignal()) return 1;
    if (keys_.taken() && (keys_.KeyWaiting() || keys_.hungUp())) return 1;
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, EventWaitMs)) {
      do {
        if (HandleEvent(event)) return 1;
      } while (SDL_PollEvent(&event));
    }
    if (!ShowNewest()) return 1;  // the window cannot be drawn: end as a key would
  }
}

bool WindowPlatform::HandleEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_RENDER_DEVICE_RESET:  // the textures are gone
      return true;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) return true;
      view_.FitFrame();
      needsRedraw_ = true;  // resized, exposed, restored...
      return false;
    case SDL_RENDER_TARGETS_RESET:
      needsRedraw_ = true;
      return false;
    case SDL_KEYDOWN: {
      if (event.key.repeat) return false;
      const SDL_Keysym key = event.key.keysym;
      const bool enter = key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER;
      if (key.sym == SDLK_F11 || (enter && (key.mod & KMOD_ALT))) {
        view_.ToggleFullscreen();
        needsRedraw_ = true;
        return false;
      }
      return !IsModifierKey(key.scancode);
    }
    default:
      return false;
  }
}

bool WindowPlatform::ShowNewest() {
  if (frames_.TakeFresh()) {
    const uint64_t start = SDL_GetPerformanceCounter();
    const bool drawn = view_.Draw(frames_.front());
    const uint64_t ticks = SDL_GetPerformanceCounter() - start;
    drawNs_ += static_cast<int64_t>(ticks * 1000000000.0 / SDL_GetPerformanceFrequency());
    ++drawn_;
    needsRedraw_ = false;
    return drawn;
  }
  if (needsRedraw_) {
    needsRedraw_ = false;
    return view_.Redraw();
  }
  return true;
}

bool WindowPlatform::EndingSignal() {
  if (signalFd_ < 0) return false;
  signalfd_siginfo info{};
  return read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

WindowFrameStats WindowPlatform::FrameStats() const {
  WindowFrameStats stats;
  stats.presented = presented_.load(std::memory_order_relaxed);
  stats.skipped = skipped_.load(std::memory_order_relaxed);
  stats.drawn = drawn_;
  stats.drawNs = drawNs_;
  return stats;
}

void WindowPlatform::CloseWindow() {
  if (displayLost_.load(std::memory_order_acquire)) return;
  ShowNewest();  // the black frame of the shutdown
  view_.Close();
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  videoStarted_ = false;
}

void WindowPlatform::EndProcess(int code) {
  endCode_ = code;
  ending_.store(true, std::memory_order_release);
  CloseWindow();
  GiveTerminalBack();
  if (settings_.stats) WriteStats();
  _exit(code);
}

void WindowPlatform::WriteStats() {
  StatsText stats;
  stats.Ticks(StopTimerAndReadStats());
  const WindowFrameStats frames = FrameStats();
  const auto count = [](uint64_t n) { return static_cast<unsigned long long>(n); };
  stats.Line("frames presented", "%llu", count(frames.presented));
  stats.Line("frames skipped", "%llu (replaced before the window drew them)",
             count(frames.skipped));
  stats.Line("frames drawn", "%llu, %.3f ms each (present included)", count(frames.drawn),
             frames.drawn
                 ? static_cast<double>(frames.drawNs) / 1e6 / static_cast<double>(frames.drawn)
                 : 0.0);
  stats.Line("renderer", "%s", view_.rendererName());
  WriteAllTo(STDERR_FILENO, stats.text(), stats.size());
}

}  // namespace cellshow
