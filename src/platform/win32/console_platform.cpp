#include "platform/win32/console_platform.h"

#include <conio.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files/asset_paths.h"
#include "platform/stats/stats_text.h"
#include "shell/assets.h"
#include "shell/lifecycle.h"
#include "show/playback.h"

namespace cellshow {
namespace {

HANDLE ControlEvent = nullptr;  // set by Ctrl-C, Ctrl-Break and closing the window

int64_t Counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

ConsolePlatform::ConsolePlatform(const ConsoleSettings& settings)
    : NativeFilePlatform(settings.dataDir), settings_(settings), mainThread_(GetCurrentThreadId()) {
  // The play command names its file in the data folder; quoted, so that the
  // folder may contain spaces.
  playCommand_ = std::string("play \"") + MapAssetName(dataDir(), "data\\03.mp3") + "\"";
  keyDueEvent_ = CreateEventA(nullptr, TRUE, settings_.keyAfter == 0, nullptr);
  LARGE_INTEGER hz;
  if (QueryPerformanceFrequency(&hz) && hz.QuadPart > 0) counterHz_ = hz.QuadPart;
  playEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  stopEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  closeEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  closedEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (playEvent_ && stopEvent_ && closeEvent_ && closedEvent_)
    mediaThread_ = CreateThread(nullptr, 0, MediaThread, this, 0, nullptr);
}

void ConsolePlatform::PrepareConsole() {
  consoleOut_ = GetStdHandle(STD_OUTPUT_HANDLE);
  consoleIn_ = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  inputIsConsole_ = GetConsoleMode(consoleIn_, &mode) != 0;
  if (inputIsConsole_) {
    // Looking at the input once, without taking anything from it, makes some
    // consoles start reporting keys to _kbhit.
    INPUT_RECORD record;
    DWORD seen = 0;
    PeekConsoleInputA(consoleIn_, &record, 1, &seen);
  }
  saved_ = GetConsoleCursorInfo(consoleOut_, &savedCursor_) &&
           GetConsoleScreenBufferInfo(consoleOut_, &savedBuffer_);
  CONSOLE_CURSOR_INFO cursor{1, FALSE};
  SetConsoleCursorInfo(consoleOut_, &cursor);
  SMALL_RECT window{WriteRegion.Left, WriteRegion.Top, WriteRegion.Right, WriteRegion.Bottom};
  const bool windowSet = SetConsoleWindowInfo(consoleOut_, TRUE, &window) != 0;
  SetConsoleScreenBufferSize(consoleOut_, COORD{BufferSize.X, BufferSize.Y});
  // A window cannot be larger than its buffer: when the buffer had fewer
  // than 50 rows or 80 columns, the window is set again now that it has them.
  if (!windowSet) SetConsoleWindowInfo(consoleOut_, TRUE, &window);
  ControlEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(ControlHandler, TRUE);
}

void ConsolePlatform::PresentScreen(const ScreenCells& screen) {
  for (int k = 0; k < ScreenCellCount; ++k) {
    cells_[k].Char.AsciiChar = static_cast<CHAR>(screen[k].Char);
    cells_[k].Attributes = screen[k].Attributes;
  }
  SMALL_RECT region{WriteRegion.Left, WriteRegion.Top, WriteRegion.Right, WriteRegion.Bottom};
  WriteConsoleOutputA(consoleOut_, cells_, COORD{ScreenSize.X, ScreenSize.Y},
                      COORD{ScreenOrigin.X, ScreenOrigin.Y}, &region);
}

void ConsolePlatform::SendMediaCommand(const char* command) {
  // The show sends its play (with "from <ms>" after a late start), a stop
  // when it plays again, and "close all".
  const size_t playLength = std::strlen(PlayMusicCommand);
  Media request = Media::CloseAll;
  if (std::strncmp(command, PlayMusicCommand, playLength) == 0) {
    request = Media::Play;
    const char* from = command + playLength;
    playFromMs_.store(std::strncmp(from, " from ", 6) == 0
                          ? static_cast<uint32_t>(std::strtoul(from + 6, nullptr, 10))
                          : 0);
  } else if (std::strcmp(command, StopMusicCommand) == 0) {
    request = Media::Stop;
  }
  if (request != Media::CloseAll && settings_.mute) return;
  if (mediaThread_ == nullptr) {  // no thread could be made: send it here
    RunMediaCommand(request);
  } else if (request == Media::Play) {
    SetEvent(playEvent_);
  } else if (request == Media::Stop) {
    SetEvent(stopEvent_);
  } else {
    // Waits until the devices are closed, but not for ever: a media system
    // that hangs must not keep the show from ending.
    SetEvent(closeEvent_);
    WaitForSingleObject(closedEvent_, CloseTimeoutMs);
  }
}

void ConsolePlatform::RunMediaCommand(Media request) {
  if (request == Media::Play) {
    // The file's device opens with the play; its time format is milliseconds.
    const uint32_t from = playFromMs_.load();
    const std::string play =
        from == 0 ? playCommand_ : playCommand_ + " from " + std::to_string(from);
    playResult_.store(static_cast<long>(mciSendStringA(play.c_str(), nullptr, 0, nullptr)));
  } else {
    // A stop closes the device too: the next play opens it again.
    mciSendStringA(CloseAllCommand, nullptr, 0, nullptr);
  }
}

DWORD WINAPI ConsolePlatform::MediaThread(void* context) {
  auto& self = *static_cast<ConsolePlatform*>(context);
  // A play or stop request that comes with the close still runs first: the
  // lower index wins when several events are set.
  HANDLE waits[3] = {self.playEvent_, self.stopEvent_, self.closeEvent_};
  constexpr Media requests[3] = {Media::Play, Media::Stop, Media::CloseAll};
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(3, waits, FALSE, INFINITE) - WAIT_OBJECT_0;
    const Media request = woke < 3 ? requests[woke] : Media::CloseAll;
    self.RunMediaCommand(request);
    if (request == Media::CloseAll) {
      SetEvent(self.closedEvent_);
      return 0;
    }
  }
}

void ConsolePlatform::BeginTimerPeriod(int32_t milliseconds) {
  timeBeginPeriod(static_cast<UINT>(milliseconds));
}

uint32_t ConsolePlatform::StartTimer(int32_t delay, int32_t resolution, TickCallback tick,
                                     void* context) {
  tick_ = tick;
  context_ = context;
  startCount_ = Counter();
  // TIME_KILL_SYNCHRONOUS: no callback starts after timeKillEvent returns.
  return timeSetEvent(static_cast<UINT>(delay), static_cast<UINT>(resolution), TimerThunk,
                      reinterpret_cast<DWORD_PTR>(this),
                      TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
}

void CALLBACK ConsolePlatform::TimerThunk(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* self = reinterpret_cast<ConsolePlatform*>(user);
  // The flag pair keeps ticks out once shutdown has begun: a shutdown on the
  // main thread sets ticksClosed_ and then waits until no tick is running.
  self->inTick_.store(true);
  if (!self->ticksClosed_.load() && !self->KeyDue()) {
    self->CountTick();
    self->tick_(self->context_);
    if (self->ticksRun_.fetch_add(1) + 1 == self->settings_.keyAfter) SetEvent(self->keyDueEvent_);
  }
  self->inTick_.store(false);
}

void ConsolePlatform::CountTick() {
  // Whole seconds and the rest apart, so that a fast counter cannot overflow.
  const int64_t counts = Counter() - startCount_;
  const int64_t sinceStart =
      counts / counterHz_ * 1000000000 + counts % counterHz_ * 1000000000 / counterHz_;
  // Tick n + 1 is due n + 1 periods after the timer started.
  const int64_t due = (int64_t{ticks_.ticks()} + 1) * TimerDelay * 1000000;
  ticks_.Add(sinceStart, sinceStart - due);
}

void ConsolePlatform::KillTimer(uint32_t timerId) {
  if (timerId != 0) timeKillEvent(timerId);
}

void ConsolePlatform::EndTimerPeriod(int32_t milliseconds) {
  timeEndPeriod(static_cast<UINT>(milliseconds));
}

BOOL WINAPI ConsolePlatform::ControlHandler(DWORD) {
  if (ControlEvent != nullptr) SetEvent(ControlEvent);
  return TRUE;  // the show ends through its own shutdown
}

int32_t ConsolePlatform::KeyHit() {
  // Waits for console input, a control event or the --key-after count
  // instead of spinning; the key itself is left in the input.
  HANDLE waits[3];
  DWORD count = 0;
  if (ControlEvent != nullptr) waits[count++] = ControlEvent;
  if (keyDueEvent_ != nullptr) waits[count++] = keyDueEvent_;
  if (inputIsConsole_) waits[count++] = consoleIn_;
  const DWORD woke = count ? WaitForMultipleObjects(count, waits, FALSE, 50) : WAIT_FAILED;
  if (KeyDue() || (ControlEvent != nullptr && WaitForSingleObject(ControlEvent, 0) == 0)) return 1;
  if (inputIsConsole_ && _kbhit()) return 1;
  if (woke == WAIT_FAILED) {
    Sleep(50);  // nothing to wait on: look again later rather than spin
  } else if (inputIsConsole_ && woke == WAIT_OBJECT_0 + count - 1) {
    Sleep(1);  // input that is not a key: look again shortly
  }
  return 0;
}

void ConsolePlatform::KeepTicksOut() {
  ticksClosed_.store(true);
  if (!OnMainThread()) return;  // called from inside the last tick
  while (inTick_.load()) Sleep(0);
}

void ConsolePlatform::AwaitExit() {
  if (OnMainThread()) Sleep(INFINITE);  // the shutdown on the timer thread ends the process
}

void ConsolePlatform::WriteStats() {
  StatsText stats;
  stats.Ticks(ticks_.Read(int64_t{TimerDelay} * 1000000));
  const long result = playResult_.load();
  char reason[128] = "";
  if (result > 0 && !mciGetErrorStringA(static_cast<MCIERROR>(result), reason, sizeof reason))
    reason[0] = '\0';
  const char* state = settings_.mute ? "muted"
                      : result < 0   ? "not started"
                      : result == 0  ? "playing"
                                     : "failed";
  stats.Line("music", "%s%s%s", state, reason[0] ? ": " : "", reason);
  std::fwrite(stats.text(), 1, stats.size(), stderr);
  std::fflush(stderr);
}

void ConsolePlatform::ExitProcess(int code) {
  // The black frame has been presented: give the console its cursor and size
  // back, so that it is usable after the show.
  if (saved_) {
    SetConsoleScreenBufferSize(consoleOut_, savedBuffer_.dwSize);
    SetConsoleWindowInfo(consoleOut_, TRUE, &savedBuffer_.srWindow);
    SetConsoleCursorInfo(consoleOut_, &savedCursor_);
  }
  if (settings_.stats) WriteStats();
  ::ExitProcess(static_cast<UINT>(code));
}

Host* OpenConsoleHost(const ConsoleSettings& settings, std::string& error) {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
    error = "standard output is not a console; run cellshow in a console window";
    return nullptr;
  }
  static ConsolePlatform host(settings);
  return &host;
}

}  // namespace cellshow
