#pragma once
// The show in the controlling terminal: alternate screen, hidden cursor, raw
// input without echo; keys detected (never read) in a poll that also watches
// the ending signals, size changes and job control; frames written by a
// writer thread; the terminal restored exactly at every end.
#include <termios.h>

#include <memory>
#include <string>

#include "platform/audio/music.h"
#include "platform/options.h"
#include "platform/terminal/frame_writer.h"
#include "platform/ticks/timed_platform.h"

namespace cellshow {

class TerminalPlatform : public TimedPlatform {
 public:
  // How long the end waits for the last frame and the restore to be taken by
  // a stuck or slow terminal.
  static constexpr int FinishTimeoutMs = 300;

  explicit TerminalPlatform(const Options& options);
  ~TerminalPlatform() override;

  // Opens the terminal on standard output, reads its modes and sets up the
  // signals; the terminal itself is not changed yet. On failure, `error`
  // says why.
  bool Open(std::string& error);

  // Enters the show's modes and screen, and opens the music.
  void PrepareConsole() override;
  void PresentScreen(const ScreenCells& screen) override;
  void SendMediaCommand(const char* command) override;
  // Blocks (no CPU) until a key is pending, an ending signal came, the
  // terminal went away or the closing scene asked for the exit; then 1.
  // Handles size changes and stops on the way.
  int32_t KeyHit() override;

 protected:
  // Last frame and restore written (bounded wait), modes back, --stats, exit.
  void EndProcess(int code) override;

 private:
  bool HandleSignals();
  void Suspend();
  void Continue();
  void ReadSize();
  bool SetModes(const termios& modes);
  void WriteStats();

  Options options_;
  int tty_ = -1;
  int signalFd_ = -1;
  termios saved_{};
  termios show_{};
  std::unique_ptr<FrameWriter> writer_;
  MusicPlayer music_;
  bool entered_ = false;    // the terminal is in the show's modes
  bool suspended_ = false;  // given back for a stop (Ctrl-Z)
};

}  // namespace cellshow
