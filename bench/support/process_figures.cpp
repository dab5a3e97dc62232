#include "support/process_figures.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace cellshow::bench {
namespace {

struct Stat {
  pid_t parent = 0;
  double cpuSeconds = 0;
};

bool ReadStat(pid_t pid, Stat& out) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 17 && fields >> field; ++i) {
    if (i == 4) out.parent = std::atoi(field.c_str());
    if (i >= 14 && i <= 17) ticks += std::atof(field.c_str());  // utime stime cutime cstime
  }
  out.cpuSeconds = ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
  return true;
}

double Field(const std::string& path, const std::string& name) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name, 0) == 0) return std::atof(line.c_str() + name.size());
  return 0;
}

}  // namespace

TreeFigures ReadTree(pid_t root) {
  std::map<pid_t, Stat> all;
  if (DIR* proc = opendir("/proc")) {
    while (dirent* entry = readdir(proc)) {
      const pid_t pid = std::atoi(entry->d_name);
      Stat stat;
      if (pid > 0 && ReadStat(pid, stat)) all[pid] = stat;
    }
    closedir(proc);
  }
  TreeFigures figures;
  for (const auto& [pid, stat] : all) {
    bool inTree = false;
    for (pid_t at = pid; at > 1 && all.count(at) != 0; at = all[at].parent) {
      if (at == root) {
        inTree = true;
        break;
      }
    }
    if (!inTree) continue;
    ++figures.processes;
    figures.cpuSeconds += stat.cpuSeconds;
    const std::string base = "/proc/" + std::to_string(pid);
    figures.rssKiB += Field(base + "/status", "VmRSS:");
    figures.pssKiB += Field(base + "/smaps_rollup", "Pss:");
  }
  return figures;
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& logPath,
            const std::vector<std::string>& environment) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
  dup2(log, 1);
  dup2(log, 2);
  for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  close(fd);
  return ntohs(a.sin_port);
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace cellshow::bench
