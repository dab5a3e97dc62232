#include "export/export_run.h"

extern "C" {
#include <libavutil/log.h>
}
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "export/art_export.h"
#include "export/cast_export.h"
#include "export/image_export.h"
#include "export/target_file.h"
#include "export/video_export.h"
#include "platform/headless/headless_run.h"
#include "shell/assets.h"

namespace cellshow {
namespace {

volatile std::sig_atomic_t interruptSignal = 0;

void OnInterrupt(int signal) { interruptSignal = signal; }

// Ctrl-C, SIGTERM and SIGHUP only set a flag while it lives, so that the
// export can end cleanly; a write past a file size limit fails with EFBIG
// instead of killing the process.
class InterruptGuard {
 public:
  InterruptGuard() {
    interruptSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(Signals[i], &action, &saved_[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &saved_[3]);
  }
  ~InterruptGuard() {
    for (int i = 0; i < 3; ++i) sigaction(Signals[i], &saved_[i], nullptr);
    sigaction(SIGXFSZ, &saved_[3], nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  static constexpr int Signals[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction saved_[4]{};
};

// The planning run's sink: where the show ends and when its music starts.
class PlanSink : public ExportSink {
 public:
  explicit PlanSink(std::string musicPath) : musicPath_(std::move(musicPath)) {}
  ExportStatus Begin(const ShowTimeline&, const std::string&) override { return {}; }
  ExportStatus Frame(uint32_t, const ScreenCells&) override { return {}; }
  ExportStatus Media(uint32_t tick, const char* command) override {
    // The show's play command, or, when the export starts later, the same
    // with where the music is by then: "play data\03.mp3 from 7956".
    const size_t length = std::strlen(PlayMusicCommand);
    if (timeline.musicTick >= 0 || std::strncmp(command, PlayMusicCommand, length) != 0) return {};
    const char* from = command + length;
    if (std::strncmp(from, " from ", 6) == 0) {
      timeline.musicFromMs = std::strtoll(from + 6, nullptr, 10);
    } else if (*from != '\0') {
      return {};
    }
    timeline.musicTick = tick;
    timeline.musicPath = musicPath_;
    return {};
  }
  ExportStatus Finish() override { return {}; }

  ShowTimeline timeline;

 private:
  std::string musicPath_;
};

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SecondsText(int64_t ticks) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld s",
                static_cast<long long>(ticks * TickMilliseconds / 1000),
                static_cast<long long>(ticks * TickMilliseconds % 1000));
  return text;
}

std::unique_ptr<ExportSink> MakeSink(ExportKind kind, const ExportSettings& settings) {
  switch (kind) {
    case ExportKind::Mp4:
      return std::make_unique<VideoExport>(VideoFormat::Mp4, settings.mute);
    case ExportKind::Matroska:
      return std::make_unique<VideoExport>(VideoFormat::Matroska, settings.mute);
    case ExportKind::WebM:
      return std::make_unique<VideoExport>(VideoFormat::WebM, settings.mute);
    case ExportKind::Gif:
      return std::make_unique<GifExport>(settings.aspect);
    case ExportKind::Png:
      return std::make_unique<PngExport>(static_cast<uint32_t>(settings.atTick), settings.aspect);
    case ExportKind::Cast:
      return std::make_unique<CastExport>(std::time(nullptr));
    case ExportKind::Ans:
    case ExportKind::Bin:
    case ExportKind::XBin: {
      const ArtFormat format = kind == ExportKind::Ans   ? ArtFormat::Ansi
                               : kind == ExportKind::Bin ? ArtFormat::Bin
                                                         : ArtFormat::XBin;
      return std::make_unique<ArtExport>(format, static_cast<uint32_t>(settings.atTick),
                                         std::time(nullptr));
    }
    case ExportKind::Unknown:
      break;
  }
  return nullptr;
}

// Whether the decimal `seconds` (digits, maybe a point and more digits) is
// exactly `ticks` x 17 ms.
bool IsMoment(const std::string& seconds, int64_t ticks) {
  int64_t milliseconds = 0;
  int decimals = -1;  // digits after the point; -1 before it
  for (const char c : seconds) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
    } else if (c >= '0' && c <= '9' && milliseconds < INT64_MAX / 100) {
      if (decimals >= 3 && c != '0') return false;
      if (decimals < 3) milliseconds = milliseconds * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else {
      return false;
    }
  }
  for (int d = std::max(decimals, 0); d < 3; ++d) milliseconds *= 10;
  return !seconds.empty() && milliseconds == ticks * TickMilliseconds;
}

std::string SizeText(uintmax_t bytes) {
  char text[32];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%ju bytes", bytes);
  } else {
    const double kilo = static_cast<double>(bytes) / 1000;
    std::snprintf(text, sizeof text, kilo < 1000 ? "%.1f kB" : "%.1f MB",
                  kilo < 1000 ? kilo : kilo / 1000);
  }
  return text;
}

// The line that ends an export on a terminal: the file, what of the show it
// holds, and its size, e.g. "cellshow: wrote show.mp4: 64.158 s, 3774 frames,
// 11.3 MB".
void ReportWritten(const ExportSettings& settings, ExportKind kind, const ShowTimeline& timeline,
                   int64_t stopAfter) {
  std::error_code error;
  const uintmax_t bytes = std::filesystem::file_size(settings.path, error);
  std::string held;
  if (IsStill(kind)) {
    held = "the screen at " + SecondsText(stopAfter) + " (frame " + std::to_string(stopAfter) + ")";
  } else {
    const int64_t frames = stopAfter >= 0 ? stopAfter + 1 : timeline.frameCount();
    held = SecondsText(frames) + ", " + std::to_string(frames) + " frames";
  }
  if (kind == ExportKind::Png || kind == ExportKind::Gif) {
    const ImageShape shape = ShapeOf(settings.aspect);
    held += ", " + std::to_string(shape.width) + "x" + std::to_string(shape.height);
  }
  std::fprintf(stderr, "cellshow: wrote %s: %s%s%s\n", settings.path.c_str(), held.c_str(),
               error ? "" : ", ", error ? "" : SizeText(bytes).c_str());
}

int Interrupted(const std::string& target) {
  std::fprintf(stderr, "cellshow: export interrupted; %s was not written\n", target.c_str());
  return 128 + interruptSignal;
}

}  // namespace

ExportKind ExportKindOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return ExportKind::Unknown;
  const std::string extension = Lowercase(name.substr(dot + 1));
  if (extension == "mp4") return ExportKind::Mp4;
  if (extension == "mkv") return ExportKind::Matroska;
  if (extension == "webm") return ExportKind::WebM;
  if (extension == "gif") return ExportKind::Gif;
  if (extension == "png") return ExportKind::Png;
  if (extension == "cast") return ExportKind::Cast;
  if (extension == "ans") return ExportKind::Ans;
  if (extension == "bin") return ExportKind::Bin;
  if (extension == "xb") return ExportKind::XBin;
  return ExportKind::Unknown;
}

SinkFeed::SinkFeed(ExportSink& sink, int64_t stopAfter, const volatile std::sig_atomic_t* interrupt,
                   ProgressLine* progress)
    : sink_(sink), stopAfter_(stopAfter), interrupt_(interrupt), progress_(progress) {}

void SinkFeed::Present(uint32_t tick, const ScreenCells& screen) {
  if (stopped_) return;
  std::memcpy(screen_, screen, sizeof screen_);
  screenTick_ = tick;
  hasScreen_ = true;
}

void SinkFeed::Media(uint32_t tick, const char* command) {
  if (stopped_) return;
  const size_t length = command == nullptr ? 0 : std::strlen(command);
  if (commandCount_ == MaxCommands || length >= CommandSize) {
    commandsLost_ = true;
    return;
  }
  std::memcpy(commands_[commandCount_], command, length);
  commands_[commandCount_][length] = '\0';
  commandTicks_[commandCount_++] = tick;
}

void SinkFeed::Deliver() {
  if (commandsLost_ && status_.ok())
    status_ = ExportStatus::Fail("the show sent more media commands in one tick than kept");
  for (int i = 0; i < commandCount_ && status_.ok(); ++i)
    status_ = sink_.Media(commandTicks_[i], commands_[i]);
  commandCount_ = 0;
  if (hasScreen_ && status_.ok()) status_ = sink_.Frame(screenTick_, screen_);
  hasScreen_ = false;
}

bool SinkFeed::BetweenTicks(uint32_t ticksRun) {
  if (stopped_) return true;
  Deliver();
  if (progress_ != nullptr) progress_->Update(ticksRun);
  stopped_ = !status_.ok() || (interrupt_ != nullptr && *interrupt_ != 0) ||
             (stopAfter_ >= 0 && ticksRun >= stopAfter_);
  return stopped_;
}

ExportStatus SinkFeed::Flush() {
  if (!stopped_) Deliver();
  stopped_ = true;
  return status_;
}

int CheckExportUsage(const ExportSettings& settings) {
  const ExportKind kind = ExportKindOf(settings.path);
  if (kind == ExportKind::Unknown) {
    std::fprintf(stderr,
                 "cellshow: --export: cannot tell the format of '%s'; name it .mp4, .mkv, "
                 ".webm, .gif, .png, .cast, .ans, .bin or .xb\n",
                 settings.path.c_str());
    return 2;
  }
  if (IsStill(kind) && settings.atTick < 0) {
    std::fputs(
        "cellshow: a .png, .ans, .bin or .xb export needs --at SECONDS, the moment it shows\n",
        stderr);
    return 2;
  }
  if (!IsStill(kind) && settings.atTick >= 0) {
    std::fputs("cellshow: --at goes with a .png, .ans, .bin or .xb export only\n", stderr);
    return 2;
  }
  if (IsStill(kind) && settings.startTick > 0) {
    const std::string name = NameOf(settings.path);
    std::fprintf(stderr, "cellshow: a %s export shows the moment --at names; leave out --start\n",
                 Lowercase(name.substr(name.rfind('.'))).c_str());
    return 2;
  }
  if (kind != ExportKind::Png && kind != ExportKind::Gif &&
      settings.aspect != ImageAspect::Square) {
    std::fputs("cellshow: --aspect goes with a .png or .gif export (a video is shown at 4:3)\n",
               stderr);
    return 2;
  }
  return 0;
}

namespace {

// The planning run: where the show ends and when its music starts.
ShowTimeline Plan(const ExportSettings& settings) {
  PlanSink plan(settings.musicPath);
  SinkFeed feed(plan, -1, &interruptSignal);
  const uint32_t lastTick = PlayHeadless(settings.dataDir, settings.keyAfter, feed, nullptr,
                                         HeadlessStart{settings.startTick, true});
  (void)feed.Flush();
  ShowTimeline timeline = plan.timeline;
  timeline.lastTick = lastTick;
  return timeline;
}

// Begin, the run (up to stopAfter) and Finish, with the progress line.
ExportStatus Write(ExportSink& sink, const ShowTimeline& timeline, const ExportSettings& settings,
                   const std::string& path, int64_t stopAfter) {
  ExportStatus status = sink.Begin(timeline, path);
  for (const std::string& line : sink.notices())
    std::fprintf(stderr, "cellshow: %s\n", line.c_str());
  if (!status.ok()) return status;
  const uint32_t frames =
      stopAfter >= 0 ? static_cast<uint32_t>(stopAfter) + 1 : timeline.frameCount();
  ProgressLine progress(NameOf(settings.path), frames, isatty(STDERR_FILENO) == 1);
  SinkFeed feed(sink, stopAfter, &interruptSignal, &progress);
  PlayHeadless(settings.dataDir, settings.keyAfter, feed, nullptr,
               HeadlessStart{settings.startTick, true});
  status = feed.Flush();
  if (!status.ok() || interruptSignal != 0) return status;
  return sink.Finish();
}

}  // namespace

int RunExport(const ExportSettings& settings) {
  const std::string& target = settings.path;
  const ExportKind kind = ExportKindOf(target);
  if (const int usage = CheckExportUsage(settings)) return usage;
  // Errors come back as values and are reported here, once.
  av_log_set_level(AV_LOG_QUIET);
  InterruptGuard guard;

  const ShowTimeline timeline = Plan(settings);
  if (interruptSignal != 0) return Interrupted(target);
  int64_t stopAfter = -1;
  if (IsStill(kind)) {
    // The show's end itself (its length, as said below) shows the last frame.
    const bool atEnd = IsMoment(settings.atText, timeline.frameCount());
    if (settings.atTick > timeline.lastTick && !atEnd) {
      std::fprintf(stderr, "cellshow: --at %s is past the end of the show (%s)\n",
                   settings.atText.c_str(), SecondsText(timeline.frameCount()).c_str());
      return 2;
    }
    stopAfter = atEnd ? timeline.lastTick : settings.atTick;
  }

  TargetFile file;
  std::string error;
  if (!file.Create(target, error)) {
    std::fprintf(stderr, "cellshow: cannot write %s: %s\n", target.c_str(), error.c_str());
    return 1;
  }
  std::unique_ptr<ExportSink> sink = MakeSink(kind, settings);
  ExportStatus status = Write(*sink, timeline, settings, file.writePath(), stopAfter);
  sink.reset();  // closes whatever is still open before the file goes
  if (interruptSignal != 0) {
    file.Discard();
    return Interrupted(target);
  }
  if (status.ok() && !file.Commit(error)) status = ExportStatus::Fail(error);
  if (!status.ok()) {
    file.Discard();
    std::fprintf(stderr, "cellshow: writing %s failed: %s\n", target.c_str(), status.error.c_str());
    return 1;
  }
  if (isatty(STDERR_FILENO) == 1) ReportWritten(settings, kind, timeline, stopAfter);
  return 0;
}

}  // namespace cellshow
