#include "platform/terminal/terminal_platform.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/terminal/terminal_modes.h"

namespace cellshow {
namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
// Read from a signalfd on the main thread; blocked on every thread.
constexpr int WatchedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGWINCH, SIGTSTP, SIGCONT};

// What the fatal-signal handler restores.
volatile sig_atomic_t restoreArmed = 0;
int restoreFd = -1;
termios restoreModes{};

// Writes all of `bytes` to a non-blocking descriptor, waiting at most
// timeoutMs for room. Async-signal-safe.
bool WriteAllWithin(int fd, const char* bytes, size_t count, int timeoutMs) {
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = write(fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long elapsed =
        (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= timeoutMs) return false;
    pollfd wait{fd, POLLOUT, 0};
    poll(&wait, 1, static_cast<int>(timeoutMs - elapsed));
  }
  return true;
}

void OnFatalSignal(int sig) {
  const int savedErrno = errno;
  if (restoreArmed) {
    restoreArmed = 0;
    WriteAllWithin(restoreFd, RestoreSequence, Length(RestoreSequence), 200);
    tcsetattr(restoreFd, TCSANOW, &restoreModes);
  }
  errno = savedErrno;
  raise(sig);  // SA_RESETHAND has put the default action back: it ends the process
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

TerminalPlatform::TerminalPlatform(const Options& options)
    : TimedPlatform(options.dataDir, 0, true, options.keyAfter), options_(options) {}

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
  if (tcgetattr(tty_, &saved_) != 0) {
    error = std::string("cannot read the terminal's modes: ") + std::strerror(errno);
    return false;
  }
  show_ = MakeShowModes(saved_);
  restoreFd = tty_;
  restoreModes = saved_;

  struct sigaction fatal {};
  fatal.sa_handler = OnFatalSignal;
  fatal.sa_flags = SA_RESETHAND;
  sigemptyset(&fatal.sa_mask);
  for (int sig : FatalSignals) sigaction(sig, &fatal, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a closed terminal shows as EPIPE or EIO instead

  // Blocked before any thread starts, so every thread inherits the mask and
  // the signals wait for the main thread's poll.
  sigset_t watched;
  sigemptyset(&watched);
  for (int sig : WatchedSignals) sigaddset(&watched, sig);
  pthread_sigmask(SIG_BLOCK, &watched, nullptr);
  signalFd_ = signalfd(-1, &watched, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ < 0) {
    error = std::string("cannot watch signals: ") + std::strerror(errno);
    return false;
  }

  writer_ = std::make_unique<FrameWriter>(
      tty_,
      ChooseView(options_, std::getenv("COLORTERM"), std::getenv("TERM"), LocaleCodeset().c_str()));
  if (!writer_->Start()) {
    error = "cannot start the terminal writer thread";
    return false;
  }
  return true;
}

void TerminalPlatform::PrepareConsole() {
  // Raw first, so that nothing typed from here on is echoed.
  entered_ = SetModes(show_);
  restoreArmed = 1;
  writer_->Resume(EnterSequence, Length(EnterSequence));
  ReadSize();
  music_.Open(dataDir(), options_.mute);
}

void TerminalPlatform::PresentScreen(const ScreenCells& screen) { writer_->Present(screen); }

void TerminalPlatform::SendMediaCommand(const char* command) { music_.Command(command); }

int32_t TerminalPlatform::KeyHit() {
  for (;;) {
    if (ExitRequested() || writer_->gone() || KeyDue()) return 1;
    pollfd watch[5] = {{exitRequestFd(), POLLIN, 0},
                       {writer_->goneFd(), POLLIN, 0},
                       {signalFd_, POLLIN, 0},
                       {tty_, POLLIN, 0},
                       {keyDueFd(), POLLIN, 0}};
    if (poll(watch, 5, -1) < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return 1;  // cannot wait any more: end rather than spin
    }
    if (ExitRequested() || writer_->gone() || KeyDue()) return 1;
    if ((watch[2].revents & POLLIN) && HandleSignals()) return 1;
    // A key, or the terminal hung up.
    if (watch[3].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) return 1;
  }
}

bool TerminalPlatform::HandleSignals() {
  bool end = false;
  signalfd_siginfo info{};
  while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    switch (info.ssi_signo) {
      case SIGWINCH:
        ReadSize();
        break;
      case SIGTSTP:
        Suspend();
        break;
      case SIGCONT:
        Continue();
        break;
      default:  // SIGINT, SIGTERM, SIGHUP, SIGQUIT
        end = true;
        break;
    }
  }
  return end;
}

void TerminalPlatform::Suspend() {
  if (!entered_ || ExitRequested()) return;
  // The frame in flight goes out whole, then the terminal is given back.
  writer_->Suspend(RestoreSequence, Length(RestoreSequence), FinishTimeoutMs);
  SetModes(saved_);
  restoreArmed = 0;
  entered_ = false;
  suspended_ = true;
  kill(getpid(), SIGSTOP);
  // Runs on from here once continued; the SIGCONT that follows re-enters.
}

void TerminalPlatform::Continue() {
  if (ExitRequested()) return;
  // The shell may have changed the modes while the show was stopped.
  entered_ = SetModes(show_);
  restoreArmed = 1;
  if (suspended_) {
    writer_->Resume(ReenterSequence, Length(ReenterSequence));
  } else {
    writer_->Resume(RehideSequence, Length(RehideSequence));  // stopped from outside
  }
  suspended_ = false;
  ReadSize();
}

void TerminalPlatform::ReadSize() {
  winsize size{};
  if (ioctl(tty_, TIOCGWINSZ, &size) == 0) {
    writer_->Resize(SizeFromKernel(size.ws_col, size.ws_row));
  }
}

bool TerminalPlatform::SetModes(const termios& modes) {
  // TCSANOW: nothing typed is flushed (the key stays for the shell), and no
  // wait for output that a stuck terminal may never take.
  while (tcsetattr(tty_, TCSANOW, &modes) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

void TerminalPlatform::EndProcess(int code) {
  const bool whole = writer_->Finish(RestoreSequence, Length(RestoreSequence), FinishTimeoutMs);
  if (!whole && !suspended_ && !writer_->gone()) {
    WriteAllWithin(tty_, RestoreSequence, Length(RestoreSequence), 50);
  }
  SetModes(saved_);
  restoreArmed = 0;
  if (options_.stats) WriteStats();
  _exit(code);
}

void TerminalPlatform::WriteStats() {
  static char text[2048];
  const TickStats ticks = StopTimerAndReadStats();
  const size_t n = FormatRunStats(ticks, writer_->Stats(), text, sizeof text);
  if (SameDevice(STDERR_FILENO, tty_)) {
    WriteAllWithin(tty_, text, n, 200);  // never hang on a stuck terminal
    return;
  }
  size_t done = 0;
  while (done < n) {
    const ssize_t w = write(STDERR_FILENO, text + done, n - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else if (w < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
}

}  // namespace cellshow
