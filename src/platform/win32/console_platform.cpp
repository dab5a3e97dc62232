#include "platform/win32/console_platform.h"

#include <conio.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "platform/files/asset_paths.h"
#include "shell/assets.h"
#include "show/show.h"

namespace cellshow {
namespace {

HANDLE ControlEvent = nullptr;  // set by Ctrl-C, Ctrl-Break and closing the window

}  // namespace

ConsolePlatform::ConsolePlatform(const Options& options)
    : options_(options), mainThread_(GetCurrentThreadId()) {
  // The play command names its file in the data folder; quoted, so that the
  // folder may contain spaces.
  playCommand_ = std::string("play \"") + MapAssetName(options_.dataDir, "data\\03.mp3") + "\"";
}

void ConsolePlatform::PrepareConsole() {
  consoleOut_ = GetStdHandle(STD_OUTPUT_HANDLE);
  consoleIn_ = GetStdHandle(STD_INPUT_HANDLE);
  saved_ = GetConsoleCursorInfo(consoleOut_, &savedCursor_) &&
           GetConsoleScreenBufferInfo(consoleOut_, &savedBuffer_);
  CONSOLE_CURSOR_INFO cursor{1, FALSE};
  SetConsoleCursorInfo(consoleOut_, &cursor);
  SMALL_RECT window{WriteRegion.Left, WriteRegion.Top, WriteRegion.Right, WriteRegion.Bottom};
  SetConsoleWindowInfo(consoleOut_, TRUE, &window);
  SetConsoleScreenBufferSize(consoleOut_, COORD{BufferSize.X, BufferSize.Y});
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

FileHandle ConsolePlatform::OpenFile(const char* name) {
  const std::string path = MapAssetName(options_.dataDir, name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return InvalidFile;
  if (GetFileType(file) != FILE_TYPE_DISK) {  // never block on a pipe or device
    CloseHandle(file);
    return InvalidFile;
  }
  // Handles are small multiples of four; they fit the 32-bit handle type.
  return static_cast<FileHandle>(reinterpret_cast<intptr_t>(file));
}

uint32_t ConsolePlatform::ReadFile(FileHandle file, void* destination, uint32_t count) {
  if (file == InvalidFile) return 0;
  DWORD bytesRead = 0;
  ::ReadFile(reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)), destination, count, &bytesRead,
             nullptr);
  return bytesRead;
}

void ConsolePlatform::RewindFile(FileHandle file) {
  if (file != InvalidFile)
    SetFilePointer(reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)), 0, nullptr, FILE_BEGIN);
}

void ConsolePlatform::CloseFile(FileHandle file) {
  if (file != InvalidFile) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)));
}

void ConsolePlatform::SendMediaCommand(const char* command) {
  if (std::strcmp(command, PlayMusicCommand) == 0) {
    if (!options_.mute) mciSendStringA(playCommand_.c_str(), nullptr, 0, nullptr);
    return;
  }
  mciSendStringA(command, nullptr, 0, nullptr);
}

void ConsolePlatform::BeginTimerPeriod(int32_t milliseconds) {
  timeBeginPeriod(static_cast<UINT>(milliseconds));
}

uint32_t ConsolePlatform::StartTimer(int32_t delay, int32_t resolution, TickCallback tick,
                                     void* context) {
  tick_ = tick;
  context_ = context;
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
  if (!self->ticksClosed_.load()) self->tick_(self->context_);
  self->inTick_.store(false);
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
  // Waits for console input or a control event instead of spinning; the key
  // itself is left in the input.
  HANDLE waits[2] = {consoleIn_, ControlEvent};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 50);
  if (woke == WAIT_OBJECT_0 + 1) return 1;
  if (_kbhit()) return 1;
  if (woke == WAIT_OBJECT_0) Sleep(1);  // input that is not a key: look again shortly
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

void ConsolePlatform::ExitProcess(int code) {
  // The black frame has been presented: give the console its cursor and size
  // back, so that it is usable after the show.
  if (saved_) {
    SetConsoleScreenBufferSize(consoleOut_, savedBuffer_.dwSize);
    SetConsoleWindowInfo(consoleOut_, TRUE, &savedBuffer_.srWindow);
    SetConsoleCursorInfo(consoleOut_, &savedCursor_);
  }
  ::ExitProcess(static_cast<UINT>(code));
}

int RunConsoleShow(const Options& options) {
  if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_CHAR) {
    std::fputs("cellshow: standard output is not a console\n", stderr);
    return 2;
  }
  static ConsolePlatform host(options);
  static Show show;
  show.Host = &host;
  Start(show);
  return 0;
}

}  // namespace cellshow
