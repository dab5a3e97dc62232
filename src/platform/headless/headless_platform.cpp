#include "platform/headless/headless_platform.h"

namespace cellshow {

HeadlessPlatform::HeadlessPlatform(std::string dataDir, HeadlessSink& sink, int64_t keyAfter,
                                   uint32_t firstTick)
    : NativeFilePlatform(std::move(dataDir)),
      sink_(sink),
      keyAfter_(keyAfter),
      firstTick_(firstTick),
      ticks_(firstTick) {}

void HeadlessPlatform::PresentScreen(const ScreenCells& screen) {
  sink_.Present(ticks_, screen);
  ++presents_;
}

void HeadlessPlatform::SendMediaCommand(const char* command) {
  sink_.Media(ticks_, command);
  ++mediaCommands_;
}

uint32_t HeadlessPlatform::StartTimer(int32_t, int32_t, TickCallback tick, void* context) {
  tick_ = tick;
  context_ = context;
  return 1;
}

void HeadlessPlatform::KillTimer(uint32_t) { tick_ = nullptr; }

int32_t HeadlessPlatform::KeyHit() {
  if (ended_) return 1;
  if (keyAfter_ >= 0 && ticksRun() >= keyAfter_) return 1;
  if (sink_.BetweenTicks(ticks_)) return 1;
  if (tick_ == nullptr || !ticksAllowed_) return ended_ ? 1 : 0;
  ++ticks_;
  tick_(context_);
  return ended_ ? 1 : 0;
}

void HeadlessPlatform::ExitProcess(int code) {
  ended_ = true;
  exitCode_ = code;
}

}  // namespace cellshow
