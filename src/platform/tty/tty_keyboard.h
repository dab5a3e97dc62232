#pragma once
// A terminal as the show's keyboard, for each host that plays while a user's
// terminal waits: the terminal host itself, and the window started from a
// shell. While the show has the terminal its input modes are the show's (no
// echo, no line editing, bytes as typed); what was typed before the show took
// it is discarded then, and the ending key, with everything typed during the
// show, when the show gives it back, so that none of it reaches the shell.
// A fault (SIGSEGV and its kind) gives the modes back from a signal handler,
// after the bytes the host names (the terminal's restore sequence), before
// the process dies by it.
//
// One keyboard per process. Main thread only, but for the fault handler.
#include <termios.h>

#include <cstddef>
#include <string>

namespace cellshow {

// The show's input modes: no echo, no line editing, no flow control (Ctrl-S
// is a key like any other), bytes written as they are. Ctrl-C, Ctrl-\ and
// Ctrl-Z keep their signals, and those signals flush no queue, so a frame on
// its way is never cut.
termios MakeShowModes(const termios& saved);

// Writes all of `bytes` to a descriptor, waiting at most timeoutMs for room
// when it is non-blocking. Async-signal-safe.
bool WriteAllWithin(int fd, const char* bytes, size_t count, int timeoutMs);

class TtyKeyboard {
 public:
  // Reads the modes of the terminal `fd` (not owned; open for the process's
  // life) and arms nothing yet; the terminal is not changed. `faultBytes`
  // (static text, may be empty) go out before the modes on a fault. On
  // failure, `error` says why.
  bool Open(int fd, const char* faultBytes, size_t faultCount, std::string& error);
  // Ctrl-Z is a key like the others (for a host that cannot give the
  // terminal back while it plays). Before Take.
  void SuspendIsAKey();

  // Sets the show's modes (again after a stop, when the shell may have
  // changed them); `discard`: what was typed so far goes.
  bool Take(bool discard);
  // Puts the modes back as they were; `discard`: what was typed meanwhile
  // goes. Does nothing when the show does not have the terminal.
  void GiveBack(bool discard);

  // A key is waiting: detected, never read. False when none is, or when the
  // terminal went away (see hungUp).
  bool KeyWaiting() const;
  bool hungUp() const;
  bool taken() const { return taken_; }
  int fd() const { return fd_; }

 private:
  bool SetModes(const termios& modes);

  int fd_ = -1;
  termios saved_{};
  termios show_{};
  bool taken_ = false;
};

}  // namespace cellshow
