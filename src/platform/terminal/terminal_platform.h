#pragma once
// The show in the controlling terminal: alternate screen, hidden cursor, raw
// input without echo; keys detected (never read) in a poll that also watches
// the signals, size changes and job control; frames written by a writer
// thread; the terminal restored exactly at every end.
//
// As a citizen of the user's shell session:
// - Input typed before the show took the terminal is discarded then, and the
//   ending key (with anything typed during the show) at the end, once the
//   modes are back: none of it reaches the shell.
// - Every stop gives the terminal back (modes, main screen, cursor), and
//   every continue takes it again and redraws in full; continued in the
//   background, the show stops again when it sets the modes (SIGTTOU).
// - A signal that ends a program ends the show in order; once the terminal
//   is restored the process dies by that same signal, so the shell sees
//   128+n. Faults restore the terminal from a handler, then die the same way.
#include <termios.h>

#include <memory>
#include <string>

#include "platform/audio/music.h"
#include "platform/terminal/frame_writer.h"
#include "platform/terminal/terminal_show.h"
#include "platform/ticks/timed_platform.h"
#include "platform/tty/tty_keyboard.h"
#include "render/ansi/terminal_capabilities.h"

namespace cellshow {

class TerminalPlatform : public TimedPlatform {
 public:
  // How long the end waits for the last frame and the restore to be taken by
  // a stuck or slow terminal.
  static constexpr int FinishTimeoutMs = 300;

  TerminalPlatform(const TerminalSettings& settings, const TerminalCapabilities& capabilities);
  ~TerminalPlatform() override;

  // Opens the terminal on standard output, reads its modes and sets up the
  // signals; the terminal itself is not changed yet. On failure, `error`
  // says why.
  bool Open(std::string& error);

  // Takes the terminal (asking for a larger size if it is smaller than the
  // grid) and opens the music.
  void PrepareConsole() override;
  void PresentScreen(const ScreenCells& screen) override;
  void SendMediaCommand(const char* command) override;
  // Blocks (no CPU) until a key is pending, an ending signal came, the
  // terminal went away or the closing scene asked for the exit; then 1.
  // Handles size changes, stops and continues on the way.
  int32_t KeyHit() override;

 protected:
  // Last frame and restore written (bounded wait), modes back, input
  // discarded, --stats, then exit, or death by the signal that ended it.
  void EndProcess(int code) override;

 private:
  bool HandleSignals();
  void Take();
  void GiveBack();
  void Stop();
  TerminalSize KernelSize() const;
  void ReadSize();
  void WriteStats();

  TerminalSettings settings_;
  TerminalCapabilities capabilities_;
  int tty_ = -1;
  int signalFd_ = -1;
  TtyKeyboard keys_;  // the show's modes while it has the terminal
  std::unique_ptr<FrameWriter> writer_;
  MusicPlayer music_;
  // Main thread only.
  bool started_ = false;          // the terminal was taken once
  bool hangupIgnored_ = false;    // SIGHUP was ignored when the show started (nohup)
  int endSignal_ = 0;             // the signal that ends the show; 0: a key or its own end
  TerminalSize startSize_{0, 0};  // before the size request; 0x0 when none was sent
  // The first take's bytes (the size request included) and the end's (the
  // old size asked back); static once handed to the writer.
  char enterText_[64] = {};
  size_t enterCount_ = 0;
  char exitText_[96] = {};
};

}  // namespace cellshow
