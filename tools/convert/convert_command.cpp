#include "convert_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

extern "C" {
#include <libavutil/log.h>
}

#include "art_frames.h"
#include "data_files.h"
#include "export/target_file.h"
#include "music_file.h"
#include "obj_model.h"
#include "picture_frames.h"
#include "show_data.h"

namespace cellshow::convert {
namespace {

struct Request {
  std::string source, dest;
  double start = 0;
  bool startGiven = false;
  Fit fit = Fit::Contain;
  bool fitGiven = false;
  int row = 0;
  bool rowGiven = false;
};

int Usage(const std::string& message) {
  std::fprintf(stderr, "cellshow-data convert: %s (try --help)\n", message.c_str());
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "cellshow-data: %s\n", message.c_str());
  return 1;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "--name VALUE" or "--name=VALUE".
bool Value(int argc, char** argv, int& i, const char* name, std::string& value, bool& bad) {
  const size_t n = std::strlen(name);
  if (std::strncmp(argv[i], name, n) != 0) return false;
  if (argv[i][n] == '=') {
    value = argv[i] + n + 1;
  } else if (argv[i][n] == '\0' && i + 1 < argc) {
    value = argv[++i];
  } else {
    bad = argv[i][n] == '\0';
    return bad;
  }
  return true;
}

int Parse(int argc, char** argv, Request& r) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    bool bad = false;
    if (arg == "-h" || arg == "--help") {
      std::fputs(ConvertUsage, stdout);
      return 0;
    }
    if (Value(argc, argv, i, "--start", value, bad)) {
      if (bad) return Usage("--start needs a time in seconds");
      char* end = nullptr;
      r.start = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !std::isfinite(r.start) || r.start < 0 || r.start > 1e6)
        return Usage("--start needs a time in seconds such as 12.5, not '" + value + "'");
      r.startGiven = true;
    } else if (Value(argc, argv, i, "--fit", value, bad)) {
      if (bad) return Usage("--fit needs contain, cover or stretch");
      if (value == "contain")
        r.fit = Fit::Contain;
      else if (value == "cover")
        r.fit = Fit::Cover;
      else if (value == "stretch")
        r.fit = Fit::Stretch;
      else
        return Usage("--fit must be contain, cover or stretch, not '" + value + "'");
      r.fitGiven = true;
    } else if (Value(argc, argv, i, "--row", value, bad)) {
      char* end = nullptr;
      const long row = bad ? -1 : std::strtol(value.c_str(), &end, 10);
      if (bad || value.empty() || *end != '\0' || row < 0 || row >= MaxArtRows)
        return Usage("--row needs a row number from 0, not '" + value + "'");
      r.row = static_cast<int>(row);
      r.rowGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option '" + arg + "'");
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() != 2)
    return Usage(words.size() < 2 ? "needs SRC and DEST" : "takes one SRC and one DEST");
  r.source = words[0];
  r.dest = words[1];
  return -1;
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", s);
  return text;
}

// Progress on a terminal, one line rewritten; nothing otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(std::string name)
      : name_(std::move(name)), shown_(isatty(STDERR_FILENO) == 1) {}
  ~ProgressLine() {
    if (shown_ && written_) std::fputs("\r\x1b[K", stderr);
  }
  void Frames(int done, int total) {
    if (shown_)
      std::fprintf(stderr, "\r%s: frame %d of %d", name_.c_str(), done, total), written_ = true;
  }
  void Seconds(double s) {
    if (shown_ && s - last_ >= 1) {
      std::fprintf(stderr, "\r%s: %.0f s encoded", name_.c_str(), s);
      written_ = true;
      last_ = s;
    }
  }

 private:
  std::string name_;
  bool shown_, written_ = false;
  double last_ = -1;
};

// Ctrl-C, SIGTERM or SIGHUP during a conversion remove the temporary file
// (only unlink, which a signal handler may call) and then end the program
// by the same signal.
char pendingFile[4096];
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
void RemovePending(int signal) {
  if (pendingFile[0] != '\0') unlink(pendingFile);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Holds SIGINT, SIGTERM and SIGHUP back while it lives; one that comes
// meanwhile is delivered when it ends.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int s : StopSignals) sigaddset(&held, s);
    sigprocmask(SIG_BLOCK, &held, &old_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// DEST's temporary file together with the handler that removes it: both
// come and go with the signals held back, so that no signal ever finds the
// file without its remover.
class PendingTarget {
 public:
  PendingTarget() = default;
  ~PendingTarget() {
    const SignalsHeld held;
    file_.Discard();
    for (const int s : StopSignals) std::signal(s, SIG_DFL);
    pendingFile[0] = '\0';
  }
  PendingTarget(const PendingTarget&) = delete;
  PendingTarget& operator=(const PendingTarget&) = delete;

  bool Create(const std::string& dest, std::string& error) {
    const SignalsHeld held;
    if (!file_.Create(dest, error)) return false;
    const std::string& path = file_.writePath();
    if (path != dest && path.size() < sizeof pendingFile) {
      std::memcpy(pendingFile, path.c_str(), path.size() + 1);
      for (const int s : StopSignals) std::signal(s, RemovePending);
    }
    return true;
  }
  const std::string& writePath() const { return file_.writePath(); }
  bool Commit(std::string& error) { return file_.Commit(error); }

 private:
  TargetFile file_;
};

std::vector<uint8_t> Bytes(const std::vector<datagen::Frame>& frames) {
  return datagen::FrameFileBytes(frames);
}

// The default model a converted one takes its size and place from.
std::vector<Vertex> DefaultModel(const std::string& name) {
  if (name == "lc1.txt") return datagen::MakeModelA();
  if (name == "lc2.txt") return datagen::MakeModelB();
  return datagen::MakeModelC();
}

// Makes DEST's bytes; false with `error` set to a phrase about SRC.
bool Make(const Request& r, const DataFile& file, std::vector<uint8_t>& bytes, std::string& summary,
          std::string& error) {
  const bool art = IsArtFile(r.source);
  std::vector<std::string> notices;
  ArtImage image;
  if (art && !ReadArtFile(r.source, image, notices, error)) return false;
  for (const std::string& line : notices)
    std::printf("%s: %s\n", NameOf(r.source).c_str(), line.c_str());
  const CellMatcher matcher;
  if (file.kind == DataKind::Animation) {
    std::vector<datagen::Frame> frames;
    ProgressLine progress(file.name);
    const Timing timing{file.frames, file.cadenceMs / 1000.0, r.start};
    if (art ? !ArtToFrames(image, r.row, file.frames, frames, error)
            : !PicturesToFrames(
                  r.source, timing, r.fit, matcher,
                  [&](int done, int total) { progress.Frames(done, total); }, frames, error))
      return false;
    bytes = Bytes(frames);
    summary = std::to_string(file.frames) + " frames" +
              (art ? ", from row " + std::to_string(r.row)
                   : ", " + Seconds(r.start) + " to " +
                         Seconds(r.start + (file.frames - 1) * timing.cadence) + " by " +
                         std::to_string(file.cadenceMs) + " ms");
    return true;
  }
  if (file.kind == DataKind::Overlay) {
    datagen::Frame overlay{};
    if (art ? !ArtToOverlay(image, r.row, overlay, error)
            : !PictureToOverlay(r.source, r.start, r.fit, matcher, overlay, error))
      return false;
    bytes.assign(overlay.begin(), overlay.end());
    int drawn = 0;
    for (int i = 0; i < 640; ++i) drawn += overlay[2 * i] != 32;
    summary = "an overlay of " + std::to_string(drawn) + " cells drawn (of 80x8)";
    return true;
  }
  // A model.
  std::ifstream in(r.source, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    error = "cannot be read";
    return false;
  }
  ObjModel model;
  std::vector<Vertex> table;
  if (!ReadObj(text, model, error) ||
      !ModelTable(model, DefaultModel(file.name), file.vertices, table, error))
    return false;
  bytes = datagen::VertexTableBytes(table);
  summary = std::to_string(model.edges.size()) + " of its " + std::to_string(file.vertices / 2) +
            " edges";
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const int saved = errno;
  if (std::fclose(out) != 0 || !written) {
    error = std::strerror(written ? errno : saved);
    return false;
  }
  return true;
}

}  // namespace

int RunConvert(int argc, char** argv) {
  Request r;
  if (const int parsed = Parse(argc, argv, r); parsed >= 0) return parsed;
  const DataFile* file = FindDataFile(r.dest);
  if (file == nullptr)
    return Usage("cannot tell what to make of '" + NameOf(r.dest) + "': name DEST " +
                 DataFileNames());
  const bool art = IsArtFile(r.source);
  if (r.rowGiven && !art) return Usage("--row goes with ANSI art (.ans, .bin, .xb)");
  if (r.fitGiven && (art || file->kind == DataKind::Model || file->kind == DataKind::Music))
    return Usage("--fit goes with pictures and video made into animations or overlays");
  if (r.startGiven && (art || file->kind == DataKind::Model))
    return Usage("--start goes with video and sound");
  if (art && (file->kind == DataKind::Model || file->kind == DataKind::Music))
    return Usage("ANSI art makes animations and overlays, not " + std::string(file->name));

  struct stat st {};
  if (stat(r.source.c_str(), &st) != 0) return Fail(r.source + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return Fail(r.source + " is a folder, not a file");
  if (access(r.source.c_str(), R_OK) != 0) return Fail(r.source + ": " + std::strerror(errno));
  av_log_set_level(AV_LOG_QUIET);  // errors come back as values, told once

  PendingTarget target;
  std::string error;
  if (!target.Create(r.dest, error)) return Fail("cannot write " + r.dest + ": " + error);
  std::string summary;
  if (file->kind == DataKind::Music) {
    ProgressLine progress(file->name);
    if (!ConvertMusic(
            r.source, r.start, target.writePath(), [&](double s) { progress.Seconds(s); }, error))
      return Fail(r.source + " " + error);
    summary = "music from " + Seconds(r.start);
  } else {
    std::vector<uint8_t> bytes;
    if (!Make(r, *file, bytes, summary, error)) return Fail(r.source + " " + error);
    if (!WriteFile(target.writePath(), bytes, error))
      return Fail("cannot write " + r.dest + ": " + error);
  }
  if (!target.Commit(error)) return Fail("cannot write " + r.dest + ": " + error);
  std::printf("%s: %s, from %s\n", r.dest.c_str(), summary.c_str(), NameOf(r.source).c_str());
  return 0;
}

}  // namespace cellshow::convert
