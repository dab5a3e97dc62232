#include "platform/headless/headless_platform.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/headless/recording.h"
#include "show/show.h"

namespace cellshow {

HeadlessPlatform::HeadlessPlatform(std::string dataDir, HeadlessSink& sink, int64_t keyAfter)
    : NativeFilePlatform(std::move(dataDir)), sink_(sink), keyAfter_(keyAfter) {}

void HeadlessPlatform::PresentScreen(const ScreenCells& screen) {
  sink_.Present(ticks_, screen);
  ++presents_;
}

void HeadlessPlatform::SendMediaCommand(const char* command) {
  sink_.Media(ticks_, command);
  ++mediaCommands_;
}

uint32_t HeadlessPlatform::StartTimer(int32_t, int32_t, TickCallback tick, void* context) {
  tick_ = tick;
  context_ = context;
  return 1;
}

void HeadlessPlatform::KillTimer(uint32_t) { tick_ = nullptr; }

int32_t HeadlessPlatform::KeyHit() {
  if (ended_) return 1;
  if (keyAfter_ >= 0 && ticks_ >= keyAfter_) return 1;
  if (sink_.BetweenTicks(ticks_)) return 1;
  if (tick_ == nullptr || !ticksAllowed_) return ended_ ? 1 : 0;
  ++ticks_;
  tick_(context_);
  return ended_ ? 1 : 0;
}

void HeadlessPlatform::ExitProcess(int code) {
  ended_ = true;
  exitCode_ = code;
}

int RunHeadlessShow(const Options& options) {
  std::FILE* out = std::fopen(options.recordPath.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "cellshow: cannot write %s: %s\n", options.recordPath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  static char buffer[1 << 16];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  RecordingWriter writer(out);
  HeadlessPlatform host(options.dataDir, writer, options.keyAfter);
  static Show show;
  show.Host = &host;
  Start(show);
  const bool closed = std::fclose(out) == 0;
  if (writer.failed() || !closed) {
    std::fprintf(stderr, "cellshow: writing %s failed: %s\n", options.recordPath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  if (options.stats) {
    std::fprintf(stderr,
                 "cellshow stats (virtual clock)\n"
                 "  ticks run              %u\n"
                 "  frames presented       %llu\n"
                 "  media commands         %llu\n",
                 host.ticks(), static_cast<unsigned long long>(host.presents()),
                 static_cast<unsigned long long>(host.mediaCommands()));
  }
  return host.exitCode();
}

uint32_t PlayHeadless(const std::string& dataDir, int64_t keyAfter, HeadlessSink& sink) {
  HeadlessPlatform host(dataDir, sink, keyAfter);
  auto show = std::make_unique<Show>(host);
  Start(*show);
  return host.ticks();
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
