#include "platform/terminal/terminal_modes.h"

#include <cstdio>
#include <cstring>

namespace cellshow {

size_t FormatSizeRequest(TerminalSize size, char* out) {
  const int n =
      std::snprintf(out, 32, "%s8;%d;%d%c", escape::Csi, size.rows, size.columns, escape::WindowOp);
  return n > 0 && n < 32 ? static_cast<size_t>(n) : 0;
}

TerminalSize SizeToRequest(TerminalSize size) {
  return TerminalSize{size.columns < ScreenWidth ? ScreenWidth : size.columns,
                      size.rows < ScreenHeight ? ScreenHeight : size.rows};
}

TerminalSize SizeFromKernel(unsigned columns, unsigned rows) {
  if (columns == 0 || rows == 0) return TerminalSize{};
  return TerminalSize{static_cast<int>(columns), static_cast<int>(rows)};
}

void AddWriterStats(StatsText& stats, const WriterStats& frames) {
  const auto count = [](uint64_t n) { return static_cast<unsigned long long>(n); };
  const uint64_t written = frames.framesWritten;
  stats.Line("frames presented", "%llu", count(frames.presented));
  stats.Line("frames skipped", "%llu (replaced before the terminal took them)",
             count(frames.skipped));
  stats.Line("frames written", "%llu in %llu write calls", count(written),
             count(frames.writeCalls));
  stats.Line("bytes written", "%llu (%llu in frames)", count(frames.bytesWritten),
             count(frames.frameBytes));
  stats.Line("mean bytes per present", "%.1f (per frame written)",
             written ? static_cast<double>(frames.frameBytes) / static_cast<double>(written) : 0.0);
}

}  // namespace cellshow
