#include "platform/terminal/terminal_platform.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/native_files.h"
#include "platform/terminal/terminal_modes.h"

namespace cellshow {
namespace {

// Read from a signalfd on the main thread and blocked on every thread: the
// size changes, job control, and every other signal whose default action
// ends the process (the real-time ones are added at run time).
constexpr int JobSignals[] = {SIGWINCH, SIGTSTP, SIGCONT};
constexpr int EndingSignals[] = {
    SIGINT,    SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,
    SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

bool Ignored(int sig) {
  struct sigaction action {};
  return sigaction(sig, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

// The ending signals the show watches: those not ignored when it started (a
// blocked signal is queued even when ignored, so an ignored one must stay
// unblocked to stay ignored, as for SIGINT in a script's background job).
sigset_t MakeEndingSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : EndingSignals) {
    if (!Ignored(sig)) sigaddset(&set, sig);
  }
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) {
    if (!Ignored(sig)) sigaddset(&set, sig);
  }
  return set;
}

sigset_t endingSet;  // set once by Open, before any thread starts

sigset_t OneSignal(int sig) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  return set;
}

// Ends the process by `sig`'s default action, so that the parent sees the
// signal (a shell: status 128+n, and a loop stops).
[[noreturn]] void DieBy(int sig) {
  signal(sig, SIG_DFL);
  const sigset_t set = OneSignal(sig);
  raise(sig);  // blocked on this thread: pending until the line below
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + sig);  // not reached
}

// Stops the process by `sig`'s default action (a stop the shell reports as
// one from the terminal) and returns once continued. False when nothing
// stopped it: in an orphaned process group the kernel discards the stop.
bool StopBy(int sig) {
  const sigset_t set = OneSignal(sig);
  sigset_t saved;
  pthread_sigmask(SIG_UNBLOCK, &set, &saved);
  kill(getpid(), sig);  // only this thread takes it: the process stops here
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  // A continue leaves a SIGCONT pending (it is blocked): take it, it has
  // been served.
  const sigset_t cont = OneSignal(SIGCONT);
  const timespec now{0, 0};
  return sigtimedwait(&cont, nullptr, &now) == SIGCONT;
}

// The terminal that standard output shows, opened anew (a description of our
// own, so it can be non-blocking without touching the shell's).
int OpenTerminal() {
  struct stat out {};
  if (fstat(STDOUT_FILENO, &out) != 0 || !S_ISCHR(out.st_mode)) return -1;
  const char* name = ttyname(STDOUT_FILENO);
  const char* const candidates[] = {name, "/proc/self/fd/1"};
  for (const char* path : candidates) {
    if (path == nullptr) continue;
    const int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == out.st_rdev) return fd;
    close(fd);
  }
  // Standard output itself, blocking as the shell left it.
  return fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
}

bool SameDevice(int a, int b) {
  struct stat sa {
  }, sb{};
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) &&
         sa.st_rdev == sb.st_rdev;
}

}  // namespace

TerminalPlatform::TerminalPlatform(const TerminalSettings& settings,
                                   const TerminalCapabilities& capabilities)
    : TimedPlatform(settings.dataDir, 0, true, settings.keyAfter),
      settings_(settings),
      capabilities_(capabilities) {}

TerminalPlatform::~TerminalPlatform() {
  writer_.reset();
  if (signalFd_ >= 0) close(signalFd_);
  if (tty_ >= 0) close(tty_);
}

bool TerminalPlatform::Open(std::string& error) {
  tty_ = OpenTerminal();
  if (tty_ < 0) {
    error = std::string("cannot open the terminal: ") + std::strerror(errno);
    return false;
  }
  if (!keys_.Open(tty_, RestoreSequence, Length(RestoreSequence), error)) return false;
  hangupIgnored_ = Ignored(SIGHUP);  // started under nohup
  signal(SIGPIPE, SIG_IGN);          // a closed terminal shows as EPIPE or EIO instead

  // Blocked before any thread starts, so every thread inherits the mask and
  // the signals wait for the main thread's poll. A signal that was ignored
  // when the show started (SIGINT in a background job of a script) stays
  // ignored: it is discarded, never read.
  endingSet = MakeEndingSet();
  sigset_t watched = endingSet;
  for (int sig : JobSignals) {
    if (sig != SIGTSTP || !Ignored(sig)) sigaddset(&watched, sig);  // an ignored Ctrl-Z stays so
  }
  pthread_sigmask(SIG_BLOCK, &watched, nullptr);
  signalFd_ = signalfd(-1, &watched, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ < 0) {
    error = std::string("cannot watch signals: ") + std::strerror(errno);
    return false;
  }

  writer_ =
      std::make_unique<FrameWriter>(tty_, capabilities_, settings_.fit, settings_.windowOffered);
  if (!writer_->Start()) {
    error = "cannot start the terminal writer thread";
    return false;
  }
  return true;
}

void TerminalPlatform::PrepareConsole() {
  std::memcpy(enterText_, EnterSequence, Length(EnterSequence));
  enterCount_ = Length(EnterSequence);
  // Only a terminal smaller than the grid is asked to grow; its size now is
  // asked back at the end if it changed.
  const TerminalSize size = KernelSize();
  const TerminalSize wanted = SizeToRequest(size);
  // With --fit=always the show is scaled at any size: nothing to ask for.
  if (settings_.fit != FitMode::Always && size.columns > 0 && size.rows > 0 && !(wanted == size)) {
    startSize_ = size;
    enterCount_ += FormatSizeRequest(wanted, enterText_ + enterCount_);
  }
  // The music first: a line about missing sound then lands on the shell's
  // screen, where it stays, not on the show's.
  music_.setVolume(settings_.volume);
  music_.Open(dataDir(), settings_.mute);
  const std::string noSound = music_.NoSoundLine();
  WriteAllTo(STDERR_FILENO, noSound.data(), noSound.size());
  Take();
}

void TerminalPlatform::PresentScreen(const ScreenCells& screen) { writer_->Present(screen); }

void TerminalPlatform::SendMediaCommand(const char* command) { music_.Command(command); }

int32_t TerminalPlatform::KeyHit() {
  for (;;) {
    if (ExitRequested() || KeyDue()) return 1;
    if (writer_->gone()) break;
    pollfd watch[5] = {{exitRequestFd(), POLLIN, 0},
                       {writer_->goneFd(), POLLIN, 0},
                       {signalFd_, POLLIN, 0},
                       {tty_, POLLIN, 0},
                       {keyDueFd(), POLLIN, 0}};
    if (poll(watch, 5, -1) < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return 1;  // cannot wait any more: end rather than spin
    }
    if (ExitRequested() || KeyDue()) return 1;
    if (writer_->gone()) break;
    if (watch[2].revents & POLLIN) {
      if (HandleSignals()) return 1;
      continue;  // after a stop the terminal's state is news: look again
    }
    if (watch[3].revents & (POLLHUP | POLLERR | POLLNVAL)) break;
    if (watch[3].revents & POLLIN) return 1;  // a key
  }
  // The terminal went away: a hangup, whether or not its SIGHUP came first.
  if (!hangupIgnored_) endSignal_ = SIGHUP;
  return 1;
}

bool TerminalPlatform::HandleSignals() {
  signalfd_siginfo info{};
  while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    switch (info.ssi_signo) {
      case SIGWINCH:
        ReadSize();
        break;
      case SIGTSTP:
        Stop();
        break;
      case SIGCONT:
        Take();  // after a stop from outside (SIGSTOP): whatever happened meanwhile is redrawn
        break;
      default:
        endSignal_ = static_cast<int>(info.ssi_signo);
        return true;
    }
  }
  return false;
}

// Ctrl-Z: the terminal is given back, the process stops as SIGTSTP stops it,
// and once continued it takes the terminal again.
void TerminalPlatform::Stop() {
  if (ExitRequested()) return;
  if (keys_.taken()) GiveBack();
  StopBy(SIGTSTP);
  Take();
}

void TerminalPlatform::Take() {
  // Continued in the background (`bg`, or started with `&`): stop again as
  // output to the terminal would, until the shell brings the show to the
  // foreground; unless a signal is ending it meanwhile.
  for (;;) {
    if (ExitRequested()) return;
    sigset_t pending;
    sigpending(&pending);
    for (int sig = 1; sig < NSIG; ++sig) {
      if (sigismember(&endingSet, sig) == 1 && sigismember(&pending, sig) == 1) return;
    }
    const pid_t foreground = tcgetpgrp(tty_);
    if (foreground < 0 || foreground == getpgrp()) break;  // not our controlling terminal: no jobs
    if (!StopBy(SIGTTOU)) break;  // no job control: nothing will continue it
  }
  // The shell may have changed the modes while the show was stopped; input
  // typed before the show began is not a key.
  keys_.Take(!started_);
  if (started_) {
    writer_->Resume(EnterSequence, Length(EnterSequence));
  } else {
    writer_->Resume(enterText_, enterCount_);
  }
  started_ = true;
  ReadSize();
}

void TerminalPlatform::GiveBack() {
  // The frame in flight goes out whole, then the terminal is given back.
  writer_->Suspend(RestoreSequence, Length(RestoreSequence), FinishTimeoutMs);
  keys_.GiveBack(false);
}

TerminalSize TerminalPlatform::KernelSize() const {
  winsize size{};
  if (ioctl(tty_, TIOCGWINSZ, &size) != 0) return TerminalSize{0, 0};
  return TerminalSize{size.ws_col, size.ws_row};
}

void TerminalPlatform::ReadSize() {
  const TerminalSize size = KernelSize();
  writer_->Resize(
      SizeFromKernel(static_cast<unsigned>(size.columns), static_cast<unsigned>(size.rows)));
}

void TerminalPlatform::EndProcess(int code) {
  size_t exitCount = Length(RestoreSequence);
  std::memcpy(exitText_, RestoreSequence, exitCount);
  if (startSize_.columns > 0 && !(KernelSize() == startSize_)) {
    exitCount += FormatSizeRequest(startSize_, exitText_ + exitCount);
  }
  const bool whole = writer_->Finish(exitText_, exitCount, FinishTimeoutMs);
  if (keys_.taken() && !whole && !writer_->gone()) WriteAllWithin(tty_, exitText_, exitCount, 50);
  keys_.GiveBack(true);
  if (settings_.stats) WriteStats();
  if (endSignal_ != 0) DieBy(endSignal_);
  _exit(code);
}

void TerminalPlatform::WriteStats() {
  StatsText stats;
  stats.Ticks(StopTimerAndReadStats());
  AddWriterStats(stats, writer_->Stats());
  if (SameDevice(STDERR_FILENO, tty_)) {
    WriteAllWithin(tty_, stats.text(), stats.size(), 200);  // never hang on a stuck terminal
    return;
  }
  WriteAllTo(STDERR_FILENO, stats.text(), stats.size());
}

}  // namespace cellshow
