#include "platform/terminal/terminal_modes.h"

#include <cstdio>
#include <cstring>

namespace cellshow {

termios MakeShowModes(const termios& saved) {
  termios modes = saved;
  modes.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF);
  modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | IEXTEN);
  modes.c_lflag |= ISIG | NOFLSH;
  modes.c_cc[VMIN] = 1;
  modes.c_cc[VTIME] = 0;
  return modes;
}

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

size_t FormatRunStats(const TickStats& ticks, const WriterStats& frames, char* out, size_t room) {
  const size_t head = FormatTickStats(ticks, out, room);
  if (head + 1 >= room) return head;
  const uint64_t written = frames.framesWritten;
  const double perFrame =
      written ? static_cast<double>(frames.frameBytes) / static_cast<double>(written) : 0.0;
  const int n =
      std::snprintf(out + head, room - head,
                    "  frames presented       %llu\n"
                    "  frames skipped         %llu (replaced before the terminal took them)\n"
                    "  frames written         %llu in %llu write calls\n"
                    "  bytes written          %llu (%llu in frames)\n"
                    "  mean bytes per present %.1f (per frame written)\n",
                    static_cast<unsigned long long>(frames.presented),
                    static_cast<unsigned long long>(frames.skipped),
                    static_cast<unsigned long long>(frames.framesWritten),
                    static_cast<unsigned long long>(frames.writeCalls),
                    static_cast<unsigned long long>(frames.bytesWritten),
                    static_cast<unsigned long long>(frames.frameBytes), perFrame);
  if (n < 0) return head;
  const size_t total = head + static_cast<size_t>(n);
  return total < room ? total : room - 1;
}

}  // namespace cellshow
