#include "shell/lifecycle.h"

#include "show/show.h"

namespace cellshow {
namespace {

void TickThunk(void* context) { TickProc(*static_cast<Show*>(context)); }

}  // namespace

void StartUp(Show& show) {
  Host& host = *show.host;
  ComposeSpinMatrices(show.matrices);
  host.PrepareConsole();
  ClearScreen(show.Screen);
  LoadAssets(show);
  RunToStart(show);
  host.BeginTimerPeriod(TimerResolution);
  show.shell.TimerId = host.StartTimer(TimerDelay, TimerResolution, TickThunk, &show);
}

void Start(Show& show) {
  StartUp(show);
  Host& host = *show.host;
  while (show.shell.KeyHit == 0) show.shell.KeyHit = host.KeyHit();
  Shutdown(show);
}

void Shutdown(Show& show) {
  Host& host = *show.host;
  if (show.shell.ShutdownBegun.exchange(true)) {
    host.AwaitExit();
    return;
  }
  host.KeepTicksOut();
  ClearScreen(show.Screen);
  PresentScreen(show);
  for (FileHandle& file : show.assets.FileHandles) host.CloseFile(file);
  host.SendMediaCommand(CloseAllCommand);
  host.KillTimer(show.shell.TimerId);
  show.shell.TimerId = 0;
  host.EndTimerPeriod(TimerResolution);
  host.ExitProcess(0);
}

}  // namespace cellshow
