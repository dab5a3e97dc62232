#pragma once
// The show in a window (SDL2 video), with the terminal's tick thread and
// timer and the same music player.
//
// Threads: PresentScreen runs on the tick thread and only hands the cells
// over through the newest-frame exchange (no lock, no allocation). The main
// thread, waiting for a key in KeyHit, pumps SDL's events and draws the
// newest frame whenever one is waiting. Keys: Alt+Enter and F11 toggle
// fullscreen; modifier keys alone do nothing; any other key, a mouse click,
// closing the window or an ending signal ends the show as a key does in the
// terminal. Started from a terminal, the window takes that terminal's keys
// as the terminal host does (platform/tty): no echo while it plays, a key
// there ends the show too, and nothing typed reaches the shell.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/audio/music.h"
#include "platform/ticks/frame_exchange.h"
#include "platform/ticks/timed_platform.h"
#include "platform/tty/tty_keyboard.h"
#include "platform/window/window_show.h"
#include "platform/window/window_view.h"

union SDL_Event;

namespace cellshow {

struct WindowFrameStats {
  uint64_t presented = 0;  // frames handed over by presents
  uint64_t skipped = 0;    // replaced before the main thread drew them
  uint64_t drawn = 0;      // frames rendered and presented
  int64_t drawNs = 0;      // time spent drawing them, presents (vsync waits) included
};

class WindowPlatform : public TimedPlatform {
 public:
  // periodNs as for TimedPlatform (0: the show's 17 ms).
  explicit WindowPlatform(const WindowSettings& settings, int64_t periodNs = 0);
  ~WindowPlatform() override;

  // Starts SDL's video and makes the window, still hidden. On failure,
  // `error` says why (one line) and nothing has been shown.
  bool Open(std::string& error);
  // SIGINT, SIGTERM, SIGHUP and SIGQUIT end the show like a key: blocked on
  // every thread from here on and read by the main loop. Call before the
  // tick thread starts.
  bool WatchEndingSignals();
  // The terminal `fd` (standard input, when the show started from one in
  // the foreground) is a keyboard of the show's as well. Before Start.
  bool WatchTerminal(int fd, std::string& error);
  // The terminal's modes back, what was typed there discarded. Safe to
  // repeat; the display-lost handler calls it too.
  void GiveTerminalBack() { keys_.GiveBack(true); }

  // Shows the window and opens the music; says in the terminal, if there
  // is one, where the show plays and how to end it, then takes its keys.
  void PrepareConsole() override;
  // Tick thread: hands the cells over and returns.
  void PresentScreen(const ScreenCells& screen) override;
  void SendMediaCommand(const char* command) override;
  // The main loop: events and drawing, until the show is to end; then 1.
  int32_t KeyHit() override;
  // One event of the main loop: true when it ends the show. Main thread.
  bool HandleEvent(const SDL_Event& event);

  // The display connection is gone: no further SDL call is made.
  void MarkDisplayLost() { displayLost_.store(true, std::memory_order_release); }
  // EndProcess has begun, with this code.
  bool ending() const { return ending_.load(std::memory_order_acquire); }
  int endCode() const { return endCode_; }

  WindowView& view() { return view_; }
  WindowFrameStats FrameStats() const;

 protected:
  // Last frame shown, window closed, --stats, exit.
  void EndProcess(int code) override;
  // Draws the last frame presented and closes the window and SDL's video.
  void CloseWindow();

 private:
  // Draws the newest frame if one waits (or again after a resize); false
  // when the window cannot be drawn any more.
  bool ShowNewest();
  bool EndingSignal();
  void WriteStats();

  WindowSettings settings_;
  WindowView view_;
  MusicPlayer music_;
  FrameExchange frames_;  // tick -> main thread
  TtyKeyboard keys_;      // main thread: the terminal it was started from, if any
  bool videoStarted_ = false;
  bool needsRedraw_ = false;  // main thread: the window changed size or was exposed
  int signalFd_ = -1;
  std::atomic<bool> displayLost_{false};
  std::atomic<bool> ending_{false};
  int endCode_ = 0;
  std::atomic<uint64_t> presented_{0}, skipped_{0};
  uint64_t drawn_ = 0;  // main thread
  int64_t drawNs_ = 0;  // main thread
};

}  // namespace cellshow
