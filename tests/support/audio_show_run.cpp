#include "support/audio_show_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace cellshow::test {

ShowProcess::~ShowProcess() {
  if (pid_ > 0) Wait(std::chrono::milliseconds(0));
  stop_.store(true);
  if (reader_.joinable()) reader_.join();
  if (master_ >= 0) close(master_);
}

bool ShowProcess::Start(const std::vector<std::string>& args,
                        const std::vector<std::pair<std::string, const char*>>& environment,
                        const std::string& stderrPath) {
  std::vector<std::string> argv{CELLSHOW_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const int errors = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (errors < 0) return false;
  winsize size{};
  size.ws_row = 50;
  size.ws_col = 80;
  pid_ = forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ == 0) {
    dup2(errors, 2);
    setenv("TERM", "xterm-256color", 1);
    for (const auto& [name, value] : environment) {
      if (value == nullptr)
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value, 1);
    }
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  close(errors);
  if (pid_ < 0) return false;
  reader_ = std::thread([this] { Read(); });
  return true;
}

void ShowProcess::Read() {
  constexpr char FrameStart[] = "\x1b[?2026h";
  constexpr size_t Carry = sizeof FrameStart - 2;  // a start cut by a read's end
  constexpr auto PlasmaFrameTicks = std::chrono::milliseconds(3 * 17);
  char buffer[1 << 16];
  std::string window;
  while (!stop_.load()) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program and its terminal are gone
    const Clock::time_point now = Clock::now();
    window.append(buffer, static_cast<size_t>(n));
    for (size_t at = window.find(FrameStart); at != std::string::npos;
         at = window.find(FrameStart, at + 1)) {
      const int frame = frames_.load() + 1;
      if (frame == 1) firstFrame_.store(now.time_since_epoch().count());
      // The i-th frame written comes on tick 3i or later (frames that change
      // nothing are not written) while the plasma lasts, 431 frames.
      const int64_t start = (now - frame * PlasmaFrameTicks).time_since_epoch().count();
      if (frame <= 400 && start < timerStart_.load()) timerStart_.store(start);
      frames_.store(frame);
    }
    if (window.size() > Carry) window.erase(0, window.size() - Carry);
  }
}

void ShowProcess::SendKey() {
  const char key = 'q';
  [[maybe_unused]] const ssize_t n = write(master_, &key, 1);
}

int ShowProcess::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return -1;
  const Clock::time_point limit = Clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (Clock::now() >= limit) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
    usleep(2000);
  }
  pid_ = -1;
  stop_.store(true);
  if (reader_.joinable()) reader_.join();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Clock::time_point ShowProcess::FirstFrameArrival(std::chrono::milliseconds timeout) const {
  const Clock::time_point limit = Clock::now() + timeout;
  while (frames_.load() == 0 && Clock::now() < limit) usleep(1000);
  return Clock::time_point(Clock::duration(firstFrame_.load()));
}

Clock::time_point ShowProcess::TimerStart(int frames, std::chrono::milliseconds timeout) const {
  const Clock::time_point limit = Clock::now() + timeout;
  while (frames_.load() < frames && Clock::now() < limit) usleep(1000);
  if (frames_.load() < frames) return {};
  return Clock::time_point(Clock::duration(timerStart_.load()));
}

}  // namespace cellshow::test
