#include "platform/terminal/terminal_modes.h"

#include <langinfo.h>
#include <locale.h>

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

ColorDepth ChooseColorDepth(ColorMode mode, const char* colorterm, const char* term) {
  switch (mode) {
    case ColorMode::TrueColor:
      return ColorDepth::TrueColor;
    case ColorMode::Ansi256:
      return ColorDepth::Xterm256;
    case ColorMode::Ansi16:
      return ColorDepth::Ansi16;
    case ColorMode::Auto:
      break;
  }
  if (colorterm != nullptr &&
      (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0)) {
    return ColorDepth::TrueColor;
  }
  if (term != nullptr && std::strstr(term, "256color") != nullptr) return ColorDepth::Xterm256;
  return ColorDepth::Ansi16;
}

ViewOptions ChooseView(const Options& options, const char* colorterm, const char* term,
                       const char* codeset) {
  ViewOptions view;
  view.depth = ChooseColorDepth(options.colors, colorterm, term);
  view.halfBlocks = codeset != nullptr &&
                    (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  switch (options.fit) {
    case FitChoice::Auto:
      view.fit = FitMode::Auto;
      break;
    case FitChoice::Always:
      view.fit = FitMode::Always;
      break;
    case FitChoice::Never:
      view.fit = FitMode::Never;
      break;
  }
  return view;
}

std::string LocaleCodeset() {
  const locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return "";
  std::string codeset = nl_langinfo_l(CODESET, user);
  freelocale(user);
  return codeset;
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
