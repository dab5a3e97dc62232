#include "platform/ssh/serve_show.h"

#include <libssh/libssh.h>
#include <libssh/server.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/ssh/host_key.h"
#include "platform/ssh/ssh_server.h"
#include "platform/stats/stats_text.h"

namespace cellshow {
namespace {

void PrintStats(const ServerTotals& totals, const ServeFigures& figures, const FrameLogs* logs,
                const ShowReel& reel) {
  StatsText stats("cellshow stats (server)");
  stats.Line("connections", "%llu (%llu refused, at most %d at once)",
             static_cast<unsigned long long>(totals.connections),
             static_cast<unsigned long long>(totals.refused), totals.peak);
  stats.Line("shows started", "%llu", static_cast<unsigned long long>(totals.viewers));
  stats.Line("frames sent", "%llu (%llu skipped)", static_cast<unsigned long long>(figures.frames),
             static_cast<unsigned long long>(figures.skipped));
  stats.Line("bytes sent", "%llu", static_cast<unsigned long long>(figures.bytes));
  stats.Line("frame lateness", "p50 %d ms, p99 %d ms, max %d ms", figures.LatenessQuantile(0.5),
             figures.LatenessQuantile(0.99), figures.LatenessQuantile(1.0));
  stats.Line("frames encoded", "%llu shared, %llu for one viewer",
             static_cast<unsigned long long>(logs != nullptr ? logs->encodes() : 0),
             static_cast<unsigned long long>(figures.ownEncodes));
  stats.Line("show in memory", "%d presents, %zu KiB", reel.presents(), reel.bytes() >> 10);
  std::fwrite(stats.text(), 1, stats.size(), stderr);
}

}  // namespace

// A descriptor per connection: a thousand viewers need more than the usual
// soft limit of 1024. Raised as far as the hard limit allows (a sandbox
// that forbids it sets the limit itself).
void RaiseDescriptorLimit(int connections) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = static_cast<rlim_t>(connections) * 2 + 64;
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
}

int RunServe(const ServeSettings& settings) {
  RaiseDescriptorLimit(settings.limits.maxViewers);
  ShowReel reel;
  std::string error;
  if (!reel.Load(settings.dataDir, settings.keyAfter, error)) {
    std::fprintf(stderr, "cellshow: --serve: %s\n", error.c_str());
    return 1;
  }
  std::string keyPath = settings.hostKeyPath;
  if (keyPath.empty()) {
    keyPath = DefaultHostKeyPath(std::getenv("STATE_DIRECTORY"), std::getenv("XDG_STATE_HOME"),
                                 std::getenv("HOME"));
    if (keyPath.empty()) {
      std::fputs(
          "cellshow: --serve: no place for the host key (HOME is not set); "
          "name one with --host-key FILE\n",
          stderr);
      return 1;
    }
  }
  HostKey key;
  if (!LoadHostKey(keyPath, true, key, error)) {
    std::fprintf(stderr, "cellshow: %s\n", error.c_str());
    return 1;
  }
  ssh_bind bind = ssh_bind_new();
  if (bind == nullptr || ssh_bind_options_set(bind, SSH_BIND_OPTIONS_IMPORT_KEY, key.key) != 0) {
    std::fputs("cellshow: --serve: libssh cannot take the host key\n", stderr);
    return 1;
  }
  std::unique_ptr<char[]> scratch(new char[TerminalView::MaxFrameBytes]);
  std::unique_ptr<FrameLogs> logs;
  if (settings.shareFrames) logs = std::make_unique<FrameLogs>(reel, scratch.get());
  TerminalTypes types;
  ServeFigures figures;
  ViewerContext viewers{reel,    logs.get(),      types,           scratch.get(),
                        figures, settings.colors, settings.glyphs, settings.fit};
  int code = 1;
  {
    SshServer server(bind, viewers, settings.limits);
    if (!server.Listen(settings.address, settings.port, error)) {
      std::fprintf(stderr, "cellshow: %s\n", error.c_str());
    } else {
      std::fprintf(stderr,
                   "cellshow: serving the show on %s, port %d; watch it with ssh -p %d HOST\n"
                   "cellshow: host key %s%s, fingerprint %s\n",
                   server.where().c_str(), server.port(), server.port(), keyPath.c_str(),
                   key.made ? " (made now)" : "", key.fingerprint.c_str());
      code = server.Run();
      if (settings.stats) PrintStats(server.totals(), figures, logs.get(), reel);
    }
  }
  ssh_bind_free(bind);
  return code;
}

}  // namespace cellshow
