#include "platform/web/web_platform.h"

#include <algorithm>

#include "platform/audio/media_command.h"

namespace cellshow {

void WebPlatform::PresentScreen(const ScreenCells& screen) {
  std::copy(screen, screen + ScreenCellCount, newest_);
  fresh_ = true;
}

void WebPlatform::SendMediaCommand(const char* command) {
  const MediaCommand parsed = ParseMediaCommand(command);
  // A stop (the show about to play again) silences the music as "close all"
  // does; the next play starts it anew.
  if (parsed.verb == MediaVerb::CloseAll || parsed.verb == MediaVerb::Stop) {
    hooks_.CloseAllMusic();
    return;
  }
  if (parsed.verb != MediaVerb::Play) return;
  // The built-in name with '/' separators, in a fixed buffer: a tick
  // allocates nothing. A name too long for it cannot be a data file.
  char file[256];
  if (parsed.nameLength >= sizeof file) return;
  for (size_t k = 0; k < parsed.nameLength; ++k)
    file[k] = parsed.name[k] == '\\' ? '/' : parsed.name[k];
  file[parsed.nameLength] = '\0';
  // A play "from" a position sounds as one that was due that much earlier.
  hooks_.PlayMusic(file, dueMs_ - parsed.fromMs);
}

uint32_t WebPlatform::StartTimer(int32_t delay, int32_t, TickCallback tick, void* context) {
  tick_ = tick;
  context_ = context;
  delayMs_ = delay > 0 ? delay : TimerDelay;
  return 1;
}

void WebPlatform::KillTimer(uint32_t) { tick_ = nullptr; }

void WebPlatform::ExitProcess(int code) {
  ended_ = true;
  exitCode_ = code;
}

bool WebPlatform::RunTick(double dueMs) {
  if (tick_ == nullptr || !ticksAllowed_ || ended_) return false;
  dueMs_ = dueMs;
  ++ticks_;
  tick_(context_);
  return true;
}

void WebShow::Begin(double nowMs, bool loop) {
  Key();
  platform_.emplace(dataDir_, hooks_);
  show_.emplace(*platform_);
  show_->play.Loop = loop;
  StartUp(*show_);
  schedule_.Start(nowMs, platform_->delayMs());
}

uint32_t WebShow::Frame(double nowMs, uint32_t tickLimit) {
  if (!platform_) return 0;
  for (uint32_t n = schedule_.Due(nowMs); n > 0 && running() && platform_->ticks() < tickLimit; --n)
    platform_->RunTick(schedule_.TakeTick(nowMs));
  uint32_t flags = platform_->ended() ? uint32_t{Ended} : 0;
  if (platform_->TakeNewFrame()) {
    RenderCells(platform_->newest(), image_);
    flags |= NewImage;
  }
  return flags;
}

void WebShow::Key() {
  if (running()) Shutdown(*show_);
}

}  // namespace cellshow
