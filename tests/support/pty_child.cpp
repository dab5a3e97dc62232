#include "support/pty_child.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cellshow::test {
namespace {

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

PtyChild::PtyChild(const std::string& program, const Setup& setup) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(setup.columns);
  size.ws_row = static_cast<unsigned short>(setup.rows);
  if (openpty(&master_, &slave_, nullptr, setup.modes, &size) != 0) return;
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  if (!setup.typeahead.empty()) {
    (void)!write(master_, setup.typeahead.data(), setup.typeahead.size());
  }
  std::vector<std::string> args = setup.args;
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The environment, made before the fork (the child only calls what is safe
  // after one).
  std::vector<std::pair<std::string, const char*>> changes = {
      {"TERM", "xterm-256color"},
      {"LC_ALL", "C.UTF-8"},
      {"COLORTERM", nullptr},
      // No display: the program's output stays the terminal at every size.
      {"DISPLAY", nullptr},
      {"WAYLAND_DISPLAY", nullptr}};
  changes.insert(changes.end(), setup.environment.begin(), setup.environment.end());
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  for (const auto& [name, value] : changes) {
    std::erase_if(environment, [&name](const std::string& entry) {
      return entry.size() > name.size() && entry[name.size()] == '=' &&
             entry.compare(0, name.size(), name) == 0;
    });
    if (value != nullptr) environment.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, 0);
    dup2(slave_, 1);
    dup2(slave_, 2);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    if (setup.ignoreHangup) signal(SIGHUP, SIG_IGN);

    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (!setup.workingDirectory.empty() && chdir(setup.workingDirectory.c_str()) != 0) _exit(126);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyChild::~PtyChild() {
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
  }
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

bool PtyChild::ReadOnce(int timeoutMs, size_t limit) {
  if (master_ < 0) return false;
  pollfd wait{master_, POLLIN, 0};
  if (poll(&wait, 1, timeoutMs) <= 0) return false;
  char buffer[65536];
  const size_t room = limit < sizeof buffer ? limit : sizeof buffer;
  const ssize_t n = read(master_, buffer, room);
  if (n <= 0) return false;
  output_.append(buffer, static_cast<size_t>(n));
  return true;
}

bool PtyChild::Reap(int options) {
  if (ended_) return true;
  int status = 0;
  const pid_t got = waitpid(pid_, &status, WNOHANG | options);
  if (got != pid_) return false;
  status_ = status;
  if (WIFEXITED(status) || WIFSIGNALED(status)) ended_ = true;
  return true;
}

void PtyChild::ReadFor(int ms) {
  const int64_t end = NowMs() + ms;
  for (int64_t now = NowMs(); now < end; now = NowMs())
    ReadOnce(static_cast<int>(end - now), 1 << 16);
}

bool PtyChild::ReadUntil(const std::string& needle, int timeoutMs, size_t from) {
  const int64_t end = NowMs() + timeoutMs;
  for (;;) {
    if (output_.size() >= from && output_.find(needle, from) != std::string::npos) return true;
    const int64_t left = end - NowMs();
    if (left <= 0) return false;
    ReadOnce(static_cast<int>(left < 20 ? left : 20), 1 << 16);
  }
}

bool PtyChild::ReadSlowlyUntilExit(int bytesPerSecond, int timeoutMs) {
  const int64_t start = NowMs();
  size_t taken = 0;
  while (NowMs() - start < timeoutMs) {
    if (Reap(0)) break;
    // Keep to the pace: read only what the budget allows so far.
    const int64_t allowed = (NowMs() - start) * bytesPerSecond / 1000;
    if (static_cast<int64_t>(taken) < allowed) {
      const size_t before = output_.size();
      ReadOnce(5, static_cast<size_t>(allowed - static_cast<int64_t>(taken)));
      taken += output_.size() - before;
    } else {
      usleep(5000);
    }
  }
  if (!ended_) return false;
  while (ReadOnce(50, 1 << 16)) {
  }
  return true;
}

bool PtyChild::WaitExit(int timeoutMs) {
  const int64_t end = NowMs() + timeoutMs;
  while (!Reap(0)) {
    if (NowMs() >= end) return false;
    if (!ReadOnce(2, 1 << 16)) usleep(1000);
  }
  while (ReadOnce(20, 1 << 16)) {
  }
  return true;
}

bool PtyChild::WaitStopped(int timeoutMs) {
  const int64_t end = NowMs() + timeoutMs;
  for (;;) {
    if (Reap(WUNTRACED) && WIFSTOPPED(status_)) break;
    if (ended_ || NowMs() >= end) return false;
    if (!ReadOnce(2, 1 << 16)) usleep(1000);
  }
  while (ReadOnce(20, 1 << 16)) {
  }
  return true;
}

int PtyChild::PendingInput() const {
  int count = -1;
  if (slave_ >= 0) ioctl(slave_, FIONREAD, &count);
  return count;
}

void PtyChild::Type(const std::string& bytes) {
  if (master_ >= 0) (void)!write(master_, bytes.data(), bytes.size());
}

void PtyChild::Signal(int sig) {
  if (pid_ > 0 && !ended_) kill(pid_, sig);
}

void PtyChild::Resize(int columns, int rows) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = static_cast<unsigned short>(rows);
  ioctl(master_, TIOCSWINSZ, &size);
}

void PtyChild::Hangup() {
  close(master_);
  master_ = -1;
  close(slave_);
  slave_ = -1;
}

termios PtyChild::Modes() const {
  termios modes{};
  tcgetattr(slave_ >= 0 ? slave_ : master_, &modes);
  return modes;
}

bool SameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

}  // namespace cellshow::test
