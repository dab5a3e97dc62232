// CPU time of a whole show, played by the program in real time: in a
// window on an Xvfb display of its own, and in an 80x50 terminal (a pty this
// program drains), with the ratio printed at the end. The figures are the
// program's own user + system time (wait4); the X server's time is shown
// beside the window's.
//
// Long: each run plays the 64-second show. CELLSHOW_BENCH_TICKS=N ends each
// run after N ticks instead (--key-after N).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Usage {
  double cpuSeconds = -1;
  double wallSeconds = 0;
  int exitCode = -1;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

std::vector<std::string> ShowArgs(const char* output) {
  std::vector<std::string> args = {CELLSHOW_BINARY, "--data", CELLSHOW_DATA_DIR, "--mute", output};
  if (const char* ticks = std::getenv("CELLSHOW_BENCH_TICKS"); ticks && *ticks) {
    args.push_back("--key-after");
    args.push_back(ticks);
  }
  return args;
}

[[noreturn]] void Exec(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

Usage Reap(pid_t pid, std::chrono::steady_clock::time_point start) {
  Usage usage;
  int status = 0;
  rusage used{};
  if (wait4(pid, &status, 0, &used) == pid) {
    usage.cpuSeconds = Seconds(used.ru_utime) + Seconds(used.ru_stime);
    usage.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  usage.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return usage;
}

// The show in an 80x50 pty; its output is read (and dropped) as a terminal
// would read it.
Usage TerminalRun() {
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 50;
  int master = -1;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    Exec(ShowArgs("--output=terminal"));
  }
  char buffer[1 << 16];
  for (;;) {
    pollfd wait{master, POLLIN, 0};
    if (poll(&wait, 1, 1000) < 0) break;
    if (wait.revents & POLLIN) {
      if (read(master, buffer, sizeof buffer) <= 0) break;
    } else if (wait.revents & (POLLHUP | POLLERR)) {
      break;
    }
  }
  const Usage usage = Reap(pid, start);
  close(master);
  return usage;
}

// An X server's CPU seconds so far, from /proc.
double ProcessCpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i == 14 || i == 15) ticks += std::atof(field.c_str());  // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct XServer {
  pid_t pid = -1;
  std::string display;
  XServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid = fork();
    if (pid == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char c = 0;
    std::string number;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display = ":" + number;
  }
  ~XServer() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

Usage WindowRun(double& serverSeconds) {
  XServer server;
  if (server.display.empty()) return {};
  const double serverBefore = ProcessCpuSeconds(server.pid);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", server.display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    Exec(ShowArgs("--window"));
  }
  const Usage usage = Reap(pid, start);
  serverSeconds = ProcessCpuSeconds(server.pid) - serverBefore;
  return usage;
}

std::map<std::string, double> cpuSeconds;

void BM_WholeShowCpu(benchmark::State& state) {
  const bool window = state.range(0) != 0;
  for (auto _ : state) {
    double serverSeconds = 0;
    const Usage usage = window ? WindowRun(serverSeconds) : TerminalRun();
    if (usage.exitCode != 0 || usage.cpuSeconds < 0) {
      state.SkipWithError("the show did not end with exit code 0");
      return;
    }
    state.SetIterationTime(usage.wallSeconds);
    state.counters["cpu_s"] = usage.cpuSeconds;
    if (window) state.counters["xserver_cpu_s"] = serverSeconds;
    cpuSeconds[window ? "window" : "terminal"] = usage.cpuSeconds;
  }
}
BENCHMARK(BM_WholeShowCpu)
    ->ArgName("window")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (cpuSeconds.count("window") && cpuSeconds.count("terminal") && cpuSeconds["terminal"] > 0)
    std::printf("whole-show CPU, window / terminal: %.2f (%.2f s / %.2f s)\n",
                cpuSeconds["window"] / cpuSeconds["terminal"], cpuSeconds["window"],
                cpuSeconds["terminal"]);
  benchmark::Shutdown();
  return 0;
}
