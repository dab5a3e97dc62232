#include "export/cast_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <vector>

#include "render/ansi/console_palette.h"
#include "render/ansi/frame_encoder.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {
namespace {

std::string Hex(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
  return text;
}

double Seconds(int64_t tick) { return static_cast<double>(tick * TickMilliseconds) / 1000.0; }

}  // namespace

struct CastExport::Impl {
  std::time_t timestamp;
  uint32_t lastTick = 0;
  int64_t lastEvent = -1;  // the tick of the last event written
  std::FILE* file = nullptr;
  FrameEncoder encoder{true};
  std::vector<char> bytes = std::vector<char>(FrameEncoder::MaxFrameBytes);
  std::string line;

  ~Impl() {
    if (file != nullptr) std::fclose(file);
  }

  template <typename Json>
  ExportStatus WriteLine(const Json& value) {
    try {
      line = value.dump();
    } catch (const nlohmann::json::exception& e) {
      return ExportStatus::Fail(e.what());
    }
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size())
      return ExportStatus::Fail(std::strerror(errno));
    return {};
  }
};

CastExport::CastExport(std::time_t timestamp) : impl_(std::make_unique<Impl>()) {
  impl_->timestamp = timestamp;
}
CastExport::~CastExport() = default;

ExportStatus CastExport::Begin(const ShowTimeline& timeline, const std::string& path) {
  Impl& m = *impl_;
  m.lastTick = timeline.lastTick;
  m.file = std::fopen(path.c_str(), "wb");
  if (m.file == nullptr) return ExportStatus::Fail(std::strerror(errno));
  // A player's palette is indexed by ANSI colour; the console numbers red and
  // blue the other way round.
  std::string palette;
  for (int ansi = 0; ansi < 16; ++ansi) {
    int console = 0;
    while (AnsiColor(console) != ansi) ++console;
    palette += (ansi ? ":" : "") + Hex(VgaPalette[console]);
  }
  nlohmann::ordered_json header = {
      {"version", 2},
      {"width", ScreenWidth},
      {"height", ScreenHeight},
      {"timestamp", static_cast<int64_t>(m.timestamp)},
      {"duration", Seconds(timeline.frameCount())},
      {"title", "cellshow"},
      {"env", {{"TERM", "xterm-256color"}}},
      {"theme", {{"fg", Hex(VgaPalette[7])}, {"bg", Hex(VgaPalette[0])}, {"palette", palette}}},
  };
  return m.WriteLine(header);
}

ExportStatus CastExport::Frame(uint32_t tick, const ScreenCells& cells) {
  Impl& m = *impl_;
  const size_t size =
      m.encoder.Encode(cells, TerminalSize{ScreenWidth, ScreenHeight}, m.bytes.data());
  if (size == 0) return {};  // the terminal shows this already
  m.lastEvent = tick;
  return m.WriteLine(
      nlohmann::json::array({Seconds(tick), "o", std::string_view(m.bytes.data(), size)}));
}

ExportStatus CastExport::Finish() {
  Impl& m = *impl_;
  // Players end a recording at its last event: when the last frames showed
  // nothing new (the show ends on the black it had), an empty event keeps
  // the recording's end on the show's last tick.
  if (m.lastEvent < int64_t{m.lastTick}) {
    const ExportStatus status = m.WriteLine(nlohmann::json::array({Seconds(m.lastTick), "o", ""}));
    if (!status.ok()) return status;
  }
  const bool flushed = std::fflush(m.file) == 0;
  const int saved = errno;
  const bool closed = std::fclose(m.file) == 0;
  m.file = nullptr;
  if (!flushed || !closed) return ExportStatus::Fail(std::strerror(flushed ? errno : saved));
  return {};
}

}  // namespace cellshow
