#pragma once
// Windows backend: the real console, the multimedia timer and the media
// control interface.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/options.h"
#include "platform/platform.h"

namespace cellshow {

class ConsolePlatform : public Platform {
 public:
  explicit ConsolePlatform(const Options& options);

  void PrepareConsole() override;
  void PresentScreen(const ScreenCells& screen) override;
  FileHandle OpenFile(const char* name) override;
  uint32_t ReadFile(FileHandle file, void* destination, uint32_t count) override;
  void RewindFile(FileHandle file) override;
  void CloseFile(FileHandle file) override;
  void SendMediaCommand(const char* command) override;
  void BeginTimerPeriod(int32_t milliseconds) override;
  uint32_t StartTimer(int32_t delay, int32_t resolution, TickCallback tick, void* context) override;
  void KillTimer(uint32_t timerId) override;
  void EndTimerPeriod(int32_t milliseconds) override;
  int32_t KeyHit() override;
  void KeepTicksOut() override;
  void AwaitExit() override;
  void ExitProcess(int code) override;

 private:
  static void CALLBACK TimerThunk(UINT id, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  static BOOL WINAPI ControlHandler(DWORD type);
  bool OnMainThread() const { return GetCurrentThreadId() == mainThread_; }

  Options options_;
  DWORD mainThread_;
  HANDLE consoleOut_ = INVALID_HANDLE_VALUE;
  HANDLE consoleIn_ = INVALID_HANDLE_VALUE;
  CONSOLE_CURSOR_INFO savedCursor_{};
  CONSOLE_SCREEN_BUFFER_INFO savedBuffer_{};
  bool saved_ = false;
  CHAR_INFO cells_[ScreenCellCount];
  std::string playCommand_;  // the show's play command, with its file in the data folder
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  std::atomic<bool> ticksClosed_{false};
  std::atomic<bool> inTick_{false};
};

// Plays the show in the console; returns only when it cannot start.
int RunConsoleShow(const Options& options);

}  // namespace cellshow
