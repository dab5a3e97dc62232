#pragma once
// Windows backend: the real console, the multimedia timer and the media
// control interface.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/files/native_files.h"
#include "platform/stats/tick_stats.h"

namespace cellshow {

struct ConsoleSettings {
  std::string dataDir;    // the show's files
  int64_t keyAfter = -1;  // a key is seen once this many ticks have run; -1 never
  bool mute = false;
  bool stats = false;  // figures on stderr at the end
};

class ConsolePlatform : public NativeFilePlatform {
 public:
  static constexpr DWORD CloseTimeoutMs = 3000;

  explicit ConsolePlatform(const ConsoleSettings& settings);

  void PrepareConsole() override;
  void PresentScreen(const ScreenCells& screen) override;
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
  bool KeyDue() const { return settings_.keyAfter >= 0 && ticksRun_.load() >= settings_.keyAfter; }
  enum class Media { Play, Stop, CloseAll };
  static DWORD WINAPI MediaThread(void* self);
  void RunMediaCommand(Media request);
  void CountTick();
  void WriteStats();

  ConsoleSettings settings_;
  DWORD mainThread_;
  HANDLE consoleOut_ = INVALID_HANDLE_VALUE;
  HANDLE consoleIn_ = INVALID_HANDLE_VALUE;
  bool inputIsConsole_ = false;
  CONSOLE_CURSOR_INFO savedCursor_{};
  CONSOLE_SCREEN_BUFFER_INFO savedBuffer_{};
  bool saved_ = false;
  CHAR_INFO cells_[ScreenCellCount];
  std::string playCommand_;  // the show's play command, with its file in the data folder
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  std::atomic<bool> ticksClosed_{false};
  std::atomic<bool> inTick_{false};
  std::atomic<int64_t> ticksRun_{0};
  HANDLE keyDueEvent_ = nullptr;  // set once the --key-after count has run

  // Tick figures, written by the timer thread only. A tick counts as started
  // even when it ends the process.
  int64_t counterHz_ = 1;
  int64_t startCount_ = 0;
  TickRecord ticks_;
  // Media commands run on a thread of their own, in the order sent, so that
  // a tick never waits for a device to open and every command comes from
  // the thread that opened the device. The tick only sets an event.
  HANDLE playEvent_ = nullptr;
  HANDLE stopEvent_ = nullptr;
  HANDLE closeEvent_ = nullptr;
  std::atomic<uint32_t> playFromMs_{0};  // where the next play starts
  HANDLE closedEvent_ = nullptr;
  HANDLE mediaThread_ = nullptr;
  // The play command's result; -1 until it has run.
  std::atomic<long> playResult_{-1};
};

// The console host, ready for Start (it ends the process in the show's
// shutdown). nullptr, with `error` set to one line, when standard output is
// not a console. Once per process.
Host* OpenConsoleHost(const ConsoleSettings& settings, std::string& error);

}  // namespace cellshow
