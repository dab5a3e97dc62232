// The SSH server under load, with our own load client holding every viewer
// in one process: 1000 viewers at 80x50 in 16 colours over loopback, each
// reading as fast as it can, with frames shared between alike terminals and
// with each viewer encoded alone; the same at 50 and 200 beside OpenSSH's
// sshd running the terminal program once per viewer (ForceCommand); and the
// bytes a viewer is sent per present at 80x50 and scaled at 80x24, against
// what the local terminal writes for the same frames. Ratios are printed at
// the end, all from this one run.
//
// Each viewer is shown the whole show (64 s), or CELLSHOW_BENCH_TICKS ticks
// of it. A run takes about 80 s; all of them about ten minutes. sshd is /usr/sbin/sshd (Debian's
// openssh-server, which `make bench` installs); without it those runs are skipped.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "render/ansi/frame_encoder.h"
#include "support/process_figures.h"
#include "support/show_frames.h"
#include "support/ssh_load.h"

namespace cellshow::bench {
namespace {

int64_t BenchTicks() {
  const char* text = std::getenv("CELLSHOW_BENCH_TICKS");
  return text != nullptr && *text != '\0' ? std::atoll(text) : 0;
}

std::string TempFolder() {
  char path[] = "/tmp/cellshow-bench-XXXXXX";
  return mkdtemp(path) != nullptr ? path : "/tmp";
}

bool WaitForText(const std::string& path, const std::string& text, int seconds) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (ReadFileText(path).find(text) != std::string::npos) return true;
    usleep(20000);
  }
  return false;
}

// A server to load: ours, or sshd.
struct Server {
  pid_t pid = -1;
  int port = 0;
  std::string folder, log, keyPath;  // keyPath: the client's key (sshd)
};

Server StartOurs(bool shared) {
  Server s;
  s.folder = TempFolder();
  s.log = s.folder + "/log";
  const int64_t ticks = BenchTicks();
  std::vector<std::string> args = {CELLSHOW_BINARY, "--data",     CELLSHOW_DATA_DIR, "--serve",
                                   "127.0.0.1:0",   "--host-key", s.folder + "/key", "--stats"};
  if (ticks > 0) args.insert(args.end(), {"--key-after", std::to_string(ticks)});
  s.pid = Spawn(args, s.log, {shared ? "CELLSHOW_SERVE_SHARED=1" : "CELLSHOW_SERVE_SHARED=0"});
  if (!WaitForText(s.log, "watch it with ssh -p ", 60)) return s;
  std::smatch m;
  const std::string text = ReadFileText(s.log);
  if (std::regex_search(text, m, std::regex("ssh -p ([0-9]+)"))) s.port = std::stoi(m[1].str());
  return s;
}

Server StartSshd() {
  Server s;
  if (access("/usr/sbin/sshd", X_OK) != 0) return s;
  s.folder = TempFolder();
  s.log = s.folder + "/log";
  s.keyPath = s.folder + "/client_key";
  s.port = FreePort();
  mkdir("/run/sshd", 0755);
  const std::string f = s.folder;
  if (std::system(("ssh-keygen -q -t ed25519 -N '' -f " + f +
                   "/host_key && ssh-keygen -q -t "
                   "ed25519 -N '' -f " +
                   s.keyPath + " && cp " + s.keyPath + ".pub " + f + "/authorized_keys")
                      .c_str()) != 0)
    return s;
  const int64_t ticks = BenchTicks();
  const std::string command = std::string("exec ") + CELLSHOW_BINARY + " --data " +
                              CELLSHOW_DATA_DIR + " --mute --output=terminal" +
                              (ticks > 0 ? " --key-after " + std::to_string(ticks) : "");
  FILE* config = std::fopen((f + "/sshd_config").c_str(), "w");
  std::fprintf(config,
               "Port %d\nListenAddress 127.0.0.1\nHostKey %s/host_key\nPidFile %s/sshd.pid\n"
               "AuthorizedKeysFile %s/authorized_keys\nStrictModes no\nPermitRootLogin yes\n"
               "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
               "UseDNS no\nMaxStartups 2000\nAcceptEnv LANG LC_*\nPrintMotd no\n"
               "PrintLastLog no\nLogLevel ERROR\nForceCommand %s\n",
               s.port, f.c_str(), f.c_str(), f.c_str(), command.c_str());
  std::fclose(config);
  s.pid = Spawn({"/usr/sbin/sshd", "-D", "-e", "-f", f + "/sshd_config"}, s.log);
  for (int i = 0; i < 250 && ReadTree(s.pid).processes == 0; ++i) usleep(20000);
  usleep(300000);  // listening
  return s;
}

struct Figures {
  int viewers = 0, connected = 0, endedWell = 0, restored = 0;
  double windowSeconds = 0;  // every show started .. every show ended
  double cores = 0;          // the server's CPU over that window
  double cpuMsPerViewerSecond = 0;
  double pssKiBPerViewer = 0, rssKiBPerViewer = 0, peakPssKiB = 0, basePssKiB = 0;
  uint64_t minFrames = 0, maxFrames = 0;
  double bytesPerFrame = 0;
  std::string stats;  // ours: the --stats report
};

struct Sampler {
  pid_t pid = -1;
  std::atomic<bool> watching{false}, done{false};
  double peakPss = 0, peakRss = 0;
  TreeFigures atConnected;
  std::chrono::steady_clock::time_point connectedAt;
  int periodMs = 250;
};

void AllConnected(void* context) {
  auto* sampler = static_cast<Sampler*>(context);
  sampler->atConnected = ReadTree(sampler->pid);
  sampler->connectedAt = std::chrono::steady_clock::now();
  sampler->watching = true;
}

Figures Load(Server& server, int viewers, int columns, int rows) {
  Figures out;
  out.viewers = viewers;
  const TreeFigures base = ReadTree(server.pid);
  out.basePssKiB = base.pssKiB;
  Sampler sampler;
  sampler.pid = server.pid;
  sampler.periodMs = server.keyPath.empty() ? 250 : 2000;  // sshd's tree is large to read
  std::thread watch([&] {
    while (!sampler.done) {
      if (sampler.watching) {
        const TreeFigures now = ReadTree(server.pid);
        sampler.peakPss = std::max(sampler.peakPss, now.pssKiB);
        sampler.peakRss = std::max(sampler.peakRss, now.rssKiB);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(sampler.periodMs));
    }
  });
  LoadSettings settings;
  settings.port = server.port;
  settings.viewers = viewers;
  settings.columns = columns;
  settings.rows = rows;
  settings.keyPath = server.keyPath;
  LoadClient client(settings);
  const int64_t ticks = BenchTicks();
  const double showSeconds = (ticks > 0 ? static_cast<double>(ticks) : 3800.0) * 0.017;
  client.Run(showSeconds + 300, AllConnected, &sampler);
  sampler.watching = false;
  const auto ended = std::chrono::steady_clock::now();
  // sshd's sessions end as their processes are reaped.
  if (!server.keyPath.empty()) usleep(1500000);
  const TreeFigures end = ReadTree(server.pid);
  sampler.done = true;
  watch.join();
  if (!client.error().empty()) std::fprintf(stderr, "load client: %s\n", client.error().c_str());

  out.windowSeconds = std::chrono::duration<double>(ended - sampler.connectedAt).count();
  out.cores = (end.cpuSeconds - sampler.atConnected.cpuSeconds) / out.windowSeconds;
  out.cpuMsPerViewerSecond = 1000 * (end.cpuSeconds - base.cpuSeconds) / (viewers * showSeconds);
  out.peakPssKiB = sampler.peakPss;
  out.pssKiBPerViewer = (sampler.peakPss - base.pssKiB) / viewers;
  out.rssKiBPerViewer = (sampler.peakRss - base.rssKiB) / viewers;
  uint64_t bytes = 0, frames = 0;
  out.minFrames = UINT64_MAX;
  for (const ViewerResult& r : client.results()) {
    out.connected += r.connected;
    out.endedWell += r.ended && r.exitStatus == 0;
    out.restored += r.restored;
    out.minFrames = std::min(out.minFrames, r.frames);
    out.maxFrames = std::max(out.maxFrames, r.frames);
    bytes += r.bytes;
    frames += r.frames;
  }
  out.bytesPerFrame = frames > 0 ? static_cast<double>(bytes) / static_cast<double>(frames) : 0;
  return out;
}

void Stop(Server& server, Figures* figures) {
  if (server.pid <= 0) return;
  kill(server.pid, SIGTERM);
  waitpid(server.pid, nullptr, 0);
  if (figures != nullptr && server.keyPath.empty()) {
    const std::string log = ReadFileText(server.log);
    const size_t at = log.find("cellshow stats");
    if (at != std::string::npos) figures->stats = log.substr(at);
  }
  std::system(("rm -rf " + server.folder).c_str());
}

std::map<std::string, Figures>& Results() {
  static std::map<std::string, Figures> results;
  return results;
}

void Report(benchmark::State& state, const std::string& name, const Figures& f) {
  state.SetIterationTime(f.windowSeconds);
  state.counters["viewers_ok"] = f.endedWell;
  state.counters["cores"] = f.cores;
  state.counters["cpu_ms_per_viewer_s"] = f.cpuMsPerViewerSecond;
  state.counters["pss_KiB_per_viewer"] = f.pssKiBPerViewer;
  state.counters["rss_KiB_per_viewer"] = f.rssKiBPerViewer;
  state.counters["bytes_per_frame"] = f.bytesPerFrame;
  state.counters["frames_min"] = static_cast<double>(f.minFrames);
  Results()[name] = f;
}

// What the local terminal writes for the same frames: the encoder of an
// xterm-256color terminal at 80x50 over the first `presents` of the show
// (those the server's shows ran).
double LocalBytesPerPresent(size_t presents) {
  const ShowFrames& all = DefaultShowFrames("bench_serve_bench");
  const std::vector<const ShowFrame*> frames = [&] {
    std::vector<const ShowFrame*> first;
    for (size_t i = 0; i < all.size() && i < presents; ++i) first.push_back(all[i].get());
    return first;
  }();
  FrameEncoder encoder(TerminalCapabilities{ColorDepth::Xterm256, GlyphSet::Unicode, true});
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  size_t bytes = 0;
  for (const auto& frame : frames) bytes += encoder.Encode(frame->cells, {80, 50}, out.data());
  return static_cast<double>(bytes) / static_cast<double>(frames.size());
}

double localBytesPerPresent = 0;

void BM_Serve(benchmark::State& state) {
  const int viewers = static_cast<int>(state.range(0));
  const bool shared = state.range(1) != 0;
  const int columns = static_cast<int>(state.range(2)), rows = static_cast<int>(state.range(3));
  for (auto _ : state) {
    Server server = StartOurs(shared);
    if (server.port == 0) {
      state.SkipWithError("the server did not start");
      Stop(server, nullptr);
      break;
    }
    Figures f = Load(server, viewers, columns, rows);
    Stop(server, &f);
    std::smatch m;
    if (localBytesPerPresent == 0 &&
        std::regex_search(f.stats, m, std::regex("show in memory +([0-9]+) presents")))
      localBytesPerPresent = LocalBytesPerPresent(std::stoul(m[1].str()));
    Report(state,
           "serve " + std::to_string(viewers) + (shared ? " shared " : " alone ") +
               std::to_string(columns) + "x" + std::to_string(rows),
           f);
  }
}

void BM_Sshd(benchmark::State& state) {
  const int viewers = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Server server = StartSshd();
    if (server.pid <= 0) {
      state.SkipWithError("no /usr/sbin/sshd (apt-get install openssh-server)");
      break;
    }
    Figures f = Load(server, viewers, 80, 50);
    Stop(server, nullptr);
    Report(state, "sshd " + std::to_string(viewers), f);
  }
}

BENCHMARK(BM_Serve)
    ->ArgNames({"viewers", "shared", "columns", "rows"})
    ->Args({1000, 1, 80, 50})
    ->Args({1000, 0, 80, 50})
    ->Args({200, 1, 80, 50})
    ->Args({50, 1, 80, 50})
    ->Args({20, 1, 80, 24})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_Sshd)
    ->ArgNames({"viewers"})
    ->Arg(200)
    ->Arg(50)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The summary, once every run is done (the results are made first, so that
// they are still there then).
struct Summary {
  Summary() { Results(); }
  ~Summary() {
    auto& r = Results();
    if (r.empty()) return;
    std::printf("\n== serve: every figure from this run (%lld ticks a show)\n",
                static_cast<long long>(BenchTicks()));
    for (const auto& [name, f] : r) {
      std::printf(
          "%-26s %4d/%4d viewers ended with status 0 (%d restored), frames %llu..%llu, "
          "%.2f cores over %.1f s, %.3f CPU ms per viewer-second, %.0f KiB PSS "
          "(%.0f RSS) per viewer, %.0f bytes a frame\n",
          name.c_str(), f.endedWell, f.viewers, f.restored,
          static_cast<unsigned long long>(f.minFrames),
          static_cast<unsigned long long>(f.maxFrames), f.cores, f.windowSeconds,
          f.cpuMsPerViewerSecond, f.pssKiBPerViewer, f.rssKiBPerViewer, f.bytesPerFrame);
      std::printf("%-26s server PSS %.0f KiB before, %.0f KiB at most\n", "", f.basePssKiB,
                  f.peakPssKiB);
      if (!f.stats.empty()) std::printf("%s", f.stats.c_str());
    }
    auto ratio = [&](const char* a, const char* b, double Figures::*field) {
      if (r.count(a) == 0 || r.count(b) == 0 || r[b].*field == 0) return;
      std::printf("  %s / %s: %.1f\n", a, b, r[a].*field / r[b].*field);
    };
    std::printf("ratios (sshd per viewer over ours per viewer, at the same count):\n");
    for (const char* n : {"50", "200"}) {
      const std::string sshd = std::string("sshd ") + n,
                        ours = std::string("serve ") + n + " shared 80x50";
      std::printf(" %s viewers\n", n);
      ratio(sshd.c_str(), ours.c_str(), &Figures::pssKiBPerViewer);
      ratio(sshd.c_str(), ours.c_str(), &Figures::cpuMsPerViewerSecond);
    }
    std::printf("encode once, send many (1000 viewers, alone over shared):\n");
    ratio("serve 1000 alone 80x50", "serve 1000 shared 80x50", &Figures::cpuMsPerViewerSecond);
    ratio("serve 1000 alone 80x50", "serve 1000 shared 80x50", &Figures::pssKiBPerViewer);
    std::printf("bytes a present: local terminal at 80x50 %.0f\n", localBytesPerPresent);
  }
} summary;

}  // namespace
}  // namespace cellshow::bench
