#include "served_show.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/shell_run.h"
#include "support/show_binary.h"
#include "support/timing.h"

namespace cellshow::test {

int Count(const std::string& haystack, const std::string& text) {
  int count = 0;
  for (size_t at = haystack.find(text); at != std::string::npos; at = haystack.find(text, at + 1))
    ++count;
  return count;
}

ServedShow::ServedShow(const std::vector<std::string>& arguments, const std::string& address) {
  std::vector<std::string> args = {
      ShowBinary(),   "--data",     std::string(CELLSHOW_BUILD_DIR) + "/data", "--serve",
      address + ":0", "--host-key", (folder_.path() / "host_key").string()};
  args.insert(args.end(), arguments.begin(), arguments.end());
  const std::string log = (folder_.path() / "log").string();
  pid_ = fork();
  if (pid_ == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(fd, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Under the sanitizers on a loaded machine the start (the show played
  // headless) can take seconds.
  if (!WaitForLog("watch it with ssh -p ", 30000)) return;
  const std::string text = Log();
  const size_t at = text.find("ssh -p ");
  if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + 7);
}

ServedShow::~ServedShow() {
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string ServedShow::Log() const { return ReadText(folder_.path() / "log"); }

bool ServedShow::WaitForLog(const std::string& text, int timeoutMs, int count) const {
  return WaitUntil([&] { return Count(Log(), text) >= count; },
                   std::chrono::milliseconds(timeoutMs));
}

bool ServedShow::Running() {
  if (ended_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    ended_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return !ended_;
}

int ServedShow::Stop(int sig, int timeoutMs) {
  if (Running()) kill(pid_, sig);
  WaitUntil([&] { return !Running(); }, std::chrono::milliseconds(timeoutMs));
  return ended_ ? status_ : -1;
}

std::string ServedShow::Ssh(const std::string& options, const std::string& command) const {
  return "ssh " + options +
         " -F /dev/null -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "
         "-o BatchMode=yes -o LogLevel=ERROR -p " +
         std::to_string(port_) + " 127.0.0.1 " + command;
}

}  // namespace cellshow::test
