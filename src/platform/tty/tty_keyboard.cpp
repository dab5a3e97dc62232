#include "platform/tty/tty_keyboard.h"

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cellshow {
namespace {

// Faults (and signals that usually come as one): the handler restores the
// terminal, then the default action runs.
constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

// What the fault handler restores; armed while the show has the terminal.
volatile sig_atomic_t restoreArmed = 0;
int restoreFd = -1;
termios restoreModes{};
const char* restoreBytes = nullptr;
size_t restoreCount = 0;

void OnFatalSignal(int sig) {
  const int savedErrno = errno;
  if (restoreArmed) {
    restoreArmed = 0;
    if (restoreCount > 0) WriteAllWithin(restoreFd, restoreBytes, restoreCount, 200);
    tcsetattr(restoreFd, TCSANOW, &restoreModes);
    tcflush(restoreFd, TCIFLUSH);
  }
  errno = savedErrno;
  raise(sig);  // SA_RESETHAND has put the default action back: it ends the process
}

}  // namespace

termios MakeShowModes(const termios& saved) {
  termios modes = saved;
  modes.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF);
  modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | IEXTEN);
  modes.c_lflag |= ISIG | NOFLSH;
  modes.c_cc[VMIN] = 1;
  modes.c_cc[VTIME] = 0;
  return modes;
}

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

bool TtyKeyboard::Open(int fd, const char* faultBytes, size_t faultCount, std::string& error) {
  if (tcgetattr(fd, &saved_) != 0) {
    error = std::string("cannot read the terminal's modes: ") + std::strerror(errno);
    return false;
  }
  fd_ = fd;
  show_ = MakeShowModes(saved_);
  restoreFd = fd;
  restoreModes = saved_;
  restoreBytes = faultBytes;
  restoreCount = faultCount;
  struct sigaction fatal {};
  fatal.sa_handler = OnFatalSignal;
  fatal.sa_flags = SA_RESETHAND;
  sigemptyset(&fatal.sa_mask);
  for (int sig : FatalSignals) sigaction(sig, &fatal, nullptr);
  return true;
}

void TtyKeyboard::SuspendIsAKey() { show_.c_cc[VSUSP] = _POSIX_VDISABLE; }

bool TtyKeyboard::Take(bool discard) {
  if (fd_ < 0) return false;
  const bool set = SetModes(show_);
  if (discard) tcflush(fd_, TCIFLUSH);
  taken_ = true;
  restoreArmed = 1;
  return set;
}

void TtyKeyboard::GiveBack(bool discard) {
  if (!taken_) return;
  SetModes(saved_);
  // The ending key, and anything typed during the show, are not for the
  // shell (Ctrl-D would end it, Esc would eat the next key).
  if (discard) tcflush(fd_, TCIFLUSH);
  restoreArmed = 0;
  taken_ = false;
}

bool TtyKeyboard::KeyWaiting() const {
  pollfd look{fd_, POLLIN, 0};
  return fd_ >= 0 && poll(&look, 1, 0) > 0 && (look.revents & POLLIN) != 0;
}

bool TtyKeyboard::hungUp() const {
  pollfd look{fd_, POLLIN, 0};
  return fd_ >= 0 && poll(&look, 1, 0) > 0 && (look.revents & (POLLHUP | POLLERR | POLLNVAL));
}

bool TtyKeyboard::SetModes(const termios& modes) {
  // TCSANOW: no wait for output that a stuck terminal may never take.
  while (tcsetattr(fd_, TCSANOW, &modes) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace cellshow
