#pragma once
// The web backend: the show driven by the page's animation frames, one thread.
//
// The page owns the loop. Each frame it calls WebShow::Frame with the page
// clock; the ticks that have come due run there (Start() is never called: its
// key loop would block the page), and the newest presented grid is drawn into
// a 640x400 RGBA image for the canvas. A key or click calls WebShow::Key,
// which runs the show's shutdown as the native key loop does: black frame,
// files closed, "close all". Files are read from the file system the page
// filled before the start (the fetched data, under /data).
//
// The music is the page's: the play command hands the file and the page-clock
// due time of the play tick to PageHooks, which start it on the audio clock.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files/native_files.h"
#include "platform/web/tick_schedule.h"
#include "render/pixels/cell_image.h"
#include "show/show.h"

namespace cellshow {

// What the backend asks of the page. Called from inside a tick.
class PageHooks {
 public:
  virtual ~PageHooks() = default;
  // Start `file` (its built-in name with '/' separators, "data/03.mp3") so
  // that it sounds from the tick due at `dueMs` on the page clock.
  virtual void PlayMusic(const char* file, double dueMs) = 0;
  virtual void CloseAllMusic() = 0;
};

class WebPlatform : public NativeFilePlatform {
 public:
  WebPlatform(std::string dataDir, PageHooks& hooks)
      : NativeFilePlatform(std::move(dataDir)), hooks_(hooks) {}

  void PrepareConsole() override {}
  // Keeps a copy of the grid; the frame draws the newest one.
  void PresentScreen(const ScreenCells& screen) override;
  void SendMediaCommand(const char* command) override;
  uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick, void* context) override;
  void KillTimer(uint32_t timerId) override;
  // The page reports keys through WebShow::Key; nothing is polled.
  int32_t KeyHit() override { return ended_ ? 1 : 0; }
  void KeepTicksOut() override { ticksAllowed_ = false; }
  void AwaitExit() override {}
  void ExitProcess(int code) override;

  // Runs one tick due at `dueMs` (page clock), if ticks may run.
  bool RunTick(double dueMs);
  int32_t delayMs() const { return delayMs_; }
  bool ended() const { return ended_; }
  int exitCode() const { return exitCode_; }
  uint32_t ticks() const { return ticks_; }
  // The newest presented grid, and whether it came since the last take.
  const ScreenCells& newest() const { return newest_; }
  bool TakeNewFrame() {
    const bool fresh = fresh_;
    fresh_ = false;
    return fresh;
  }

 private:
  PageHooks& hooks_;
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  int32_t delayMs_ = TimerDelay;
  double dueMs_ = 0;  // due time of the tick that runs
  uint32_t ticks_ = 0;
  bool ticksAllowed_ = true;
  bool ended_ = false;
  int exitCode_ = -1;
  bool fresh_ = false;
  ScreenCells newest_ = {};
};

// One show on the page at a time; Begin again plays it anew from tick 1.
class WebShow {
 public:
  enum FrameFlags : uint32_t { NewImage = 1, Ended = 2 };

  WebShow(std::string dataDir, PageHooks& hooks) : dataDir_(std::move(dataDir)), hooks_(hooks) {}

  // Start-up (files read), then the tick grid starts at `nowMs`. A show that
  // is still running is shut down first. `loop`: the show plays again from
  // its first tick at its end, until a key (show/playback.h).
  void Begin(double nowMs, bool loop = false);
  // Runs the ticks due at `nowMs` and draws the newest grid into image() when
  // one was presented. Returns FrameFlags. No tick runs past the tick count
  // `tickLimit` (tests hold the show at a tick with it).
  uint32_t Frame(double nowMs, uint32_t tickLimit = UINT32_MAX);
  // A key or click: the show's shutdown, once. The black frame it presents is
  // drawn by the next Frame.
  void Key();

  bool running() const { return platform_.has_value() && !platform_->ended(); }
  uint32_t ticks() const { return platform_ ? platform_->ticks() : 0; }
  const PixelImage& image() const { return image_; }
  TickSchedule& schedule() { return schedule_; }

 private:
  std::string dataDir_;
  PageHooks& hooks_;
  std::optional<WebPlatform> platform_;
  std::optional<Show> show_;
  TickSchedule schedule_;
  PixelImage image_ = {};
};

}  // namespace cellshow
