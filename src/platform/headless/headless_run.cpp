#include "platform/headless/headless_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/headless/headless_platform.h"
#include "platform/headless/recording.h"
#include "platform/stats/stats_text.h"
#include "show/show.h"

namespace cellshow {

uint32_t PlayHeadless(const std::string& dataDir, int64_t keyAfter, HeadlessSink& sink,
                      HeadlessFigures* figures, HeadlessStart start) {
  const uint32_t startTick = start.tick < ShowTicks ? start.tick : ShowTicks - 1;
  HeadlessPlatform host(dataDir, sink, keyAfter, start.renumbered ? 0 : startTick);
  auto show = std::make_unique<Show>(host);
  show->play.StartTick = startTick;
  Start(*show);
  if (figures != nullptr) {
    figures->ticks = host.ticksRun();
    figures->presents = host.presents();
    figures->mediaCommands = host.mediaCommands();
    figures->exitCode = host.exitCode();
  }
  return host.ticks();
}

int RunRecord(const RecordSettings& settings) {
  std::FILE* out = std::fopen(settings.path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "cellshow: cannot write %s: %s\n", settings.path.c_str(),
                 std::strerror(errno));
    return 1;
  }
  static char buffer[1 << 16];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  RecordingWriter writer(out);
  HeadlessFigures figures;
  PlayHeadless(settings.dataDir, settings.keyAfter, writer, &figures,
               HeadlessStart{settings.startTick, false});
  const bool closed = std::fclose(out) == 0;
  if (writer.failed() || !closed) {
    std::fprintf(stderr, "cellshow: writing %s failed: %s\n", settings.path.c_str(),
                 std::strerror(errno));
    return 1;
  }
  if (settings.stats) {
    StatsText stats("cellshow stats (virtual clock)");
    stats.Line("ticks run", "%u", figures.ticks);
    stats.Line("frames presented", "%llu", static_cast<unsigned long long>(figures.presents));
    stats.Line("media commands", "%llu", static_cast<unsigned long long>(figures.mediaCommands));
    std::fwrite(stats.text(), 1, stats.size(), stderr);
  }
  return figures.exitCode;
}

bool RecordWholeShow(const std::string& dataDir, int64_t keyAfter, std::vector<Record>& records,
                     std::string& error) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) {
    error = std::string("no temporary file: ") + std::strerror(errno);
    return false;
  }
  RecordingWriter writer(file);
  PlayHeadless(dataDir, keyAfter, writer);
  std::vector<uint8_t> bytes;
  std::rewind(file);
  char chunk[1 << 16];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + n);
  const bool failed = writer.failed() || std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = "the recording could not be written or read back";
    return false;
  }
  return ParseRecording(bytes, records, error);
}

}  // namespace cellshow
