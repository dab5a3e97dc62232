#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace cellshow {

#ifdef __EMSCRIPTEN__
// The WebAssembly build under node records the show; the page plays it.
const char* const HelpText =
    "Usage: node cellshow.js --record FILE [--data DIR] [--key-after N]\n"
    "Plays the show headless, as fast as possible, and writes every frame and\n"
    "media command to FILE, as `cellshow --record` does. To watch the show, serve\n"
    "this folder (python3 -m http.server) and open index.html in a browser.\n"
    "\n"
    "Options:\n"
    "  --data DIR        read the show's files from DIR (default: ./data when it\n"
    "                    exists, else the data beside cellshow.js)\n"
    "  --record FILE     the recording to write\n"
    "  --key-after N     a key is seen once N ticks have run (0: before the\n"
    "                    first tick)\n"
    "  --help            show this help\n"
    "  --version         show the version\n";
#else
const char* const HelpText =
    "Usage: cellshow [OPTIONS]\n"
    "Plays a self-running text-mode show on an 80x50 grid of character cells,\n"
    "with music. Any key ends it.\n"
    "\n"
    "Options:\n"
    "  --data DIR        read the show's files from DIR (default: ./data when it\n"
    "                    exists, else the data installed with cellshow)\n"
#ifndef _WIN32
    "  --colors=MODE     auto (default: as terminfo and COLORTERM say), 8, 16,\n"
    "                    256 or truecolor\n"
    "  --glyphs=SET      auto (default: UTF-8 glyphs when the locale is UTF-8,\n"
    "                    else ASCII), unicode or ascii\n"
    "  --fit=WHEN        scale the whole show into a terminal smaller than\n"
    "                    80x50 (from 40x12 up): auto (default, when it is\n"
    "                    smaller), always, or never (a notice instead)\n"
    "  --window          play in a window (640x400 at 4:3, as the VGA text mode\n"
    "                    showed it); Alt+Enter or F11 toggles fullscreen\n"
    "  --fullscreen      play in a window that starts fullscreen\n"
    "  --output=WHERE    auto (default: the terminal when it has 80x50 cells, else\n"
    "                    a window when there is a display, else the terminal,\n"
    "                    scaled), terminal or window\n"
#endif
    "  --mute            play no music\n"
#ifdef _WIN32
    "  --stats           print timing and music figures to stderr at the end\n"
#else
    "  --stats           print timing and output figures to stderr at the end\n"
#endif
    "                    (with --record: ticks, frames and media commands)\n"
    "  --record FILE     play headless, as fast as possible, and write every\n"
    "                    frame and media command to FILE\n"
    "  --key-after N     a key is seen once N ticks have run (0: before the\n"
    "                    first tick)\n"
#ifndef _WIN32
    "  --export FILE     play headless and write the show to FILE, by its\n"
    "                    extension: .mp4 or .mkv (H.264 with the music), .webm\n"
    "                    (VP9 and Opus), .gif, .png (one frame, needs --at) or\n"
    "                    .cast (asciicast terminal recording); with --mute a\n"
    "                    video has no sound\n"
    "  --at SECONDS      the moment of the show a .png export shows\n"
    "  --aspect=RATIO    the shape of a .png or .gif export: 16:10 (default:\n"
    "                    640x400, the pixels as they are) or 4:3 (1280x960,\n"
    "                    as a display showed them, in whole pixels)\n"
#endif
    "  --help            show this help\n"
    "  --version         show the version\n"
    "\n"
#ifdef _WIN32
    "Keys: any key ends the show (the key is left in the console input).\n"
    "Ctrl-C, Ctrl-Break and closing the window end it too.\n"
    "This Windows build plays in the console; it has no window output.\n";
#else
    "Keys: any key ends the show; it is discarded with anything typed during the\n"
    "show, and so is anything typed before it started. Ctrl-C, Ctrl-\\ and the\n"
    "signals that end a program (SIGTERM, SIGHUP, ...) end it too, and it then\n"
    "dies by that signal (exit status 128+n, so a shell loop stops). Ctrl-Z gives\n"
    "the terminal back until `fg`. The terminal is always given back as it was.\n"
    "In the window, any key but Alt+Enter and F11, a mouse click or closing it\n"
    "ends the show.\n"
    "\n"
    "Exit status: 0 when the show ends or a key ends it, 1 when an output file\n"
    "cannot be written, 2 for a usage error, no display for --window, or a\n"
    "terminal that cannot show it (TERM unset, or no cursor addressing).\n";
#endif
#endif

namespace {

// Accepts "--name VALUE" and "--name=VALUE"; advances i past the value.
bool TakeValue(int argc, const char* const* argv, int& i, const char* name, std::string& value,
               std::string& error, bool& matched) {
  const size_t n = std::strlen(name);
  const char* arg = argv[i];
  matched = false;
  if (std::strncmp(arg, name, n) != 0) return true;
  if (arg[n] == '=') {
    matched = true;
    value = arg + n + 1;
  } else if (arg[n] == '\0') {
    matched = true;
    if (i + 1 >= argc) {
      error = std::string(name) + " needs a value";
      return false;
    }
    // A following option is not a value: "--colors --mute" lacks one (a
    // negative number is a value, and refused as such).
    const char* next = argv[i + 1];
    if (next[0] == '-' && next[1] != '\0' && !(next[1] >= '0' && next[1] <= '9')) {
      error = std::string(name) + " needs a value";
      return false;
    }
    value = argv[++i];
  } else {
    return true;
  }
  if (value.empty()) {
    error = std::string(name) + " needs a value";
    return false;
  }
  return true;
}

template <typename T>
struct Choice {
  const char* word;
  T setting;
};

// Sets `out` to the setting of the word `value` names; otherwise an error
// that lists the words (`words`, as the user reads them).
template <typename T>
bool Pick(const std::string& value, const char* name, const char* words,
          std::initializer_list<Choice<T>> choices, T& out, std::string& error) {
  for (const Choice<T>& choice : choices) {
    if (value == choice.word) {
      out = choice.setting;
      return true;
    }
  }
  error = std::string(name) + " must be " + words + ", not '" + value + "'";
  return false;
}

}  // namespace

ParseResult ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    bool matched = false;
    if (arg == "--help" || arg == "-h") return ParseResult::Help;
    if (arg == "--version") return ParseResult::Version;
    if (arg == "--mute") {
      options.mute = true;
      continue;
    }
    if (arg == "--stats") {
      options.stats = true;
      continue;
    }
    if (arg == "--window") {
      options.output = OutputChoice::Window;
      continue;
    }
    if (arg == "--fullscreen") {
      options.fullscreen = true;
      continue;
    }
    if (!TakeValue(argc, argv, i, "--output", value, error, matched)) return ParseResult::Error;
    if (matched) {
      if (!Pick(value, "--output", "auto, terminal or window",
                {{"auto", OutputChoice::Auto},
                 {"terminal", OutputChoice::Terminal},
                 {"window", OutputChoice::Window}},
                options.output, error)) {
        return ParseResult::Error;
      }
      continue;
    }
    if (!TakeValue(argc, argv, i, "--data", value, error, matched)) return ParseResult::Error;
    if (matched) {
      options.dataDir = value;
      continue;
    }
    if (!TakeValue(argc, argv, i, "--record", value, error, matched)) return ParseResult::Error;
    if (matched) {
      options.record = true;
      options.recordPath = value;
      continue;
    }
#ifndef _WIN32
    if (!TakeValue(argc, argv, i, "--export", value, error, matched)) return ParseResult::Error;
    if (matched) {
      options.exportPath = value;
      continue;
    }
    if (!TakeValue(argc, argv, i, "--at", value, error, matched)) return ParseResult::Error;
    if (matched) {
      options.atText = value;
      options.atTick = TickAtSeconds(value);
      if (options.atTick < 0) {
        error = "--at needs a time in seconds such as 22.5, not '" + value + "'";
        return ParseResult::Error;
      }
      continue;
    }
    if (!TakeValue(argc, argv, i, "--aspect", value, error, matched)) return ParseResult::Error;
    if (matched) {
      if (!Pick(value, "--aspect", "16:10 or 4:3",
                {{"16:10", ImageAspect::Square}, {"4:3", ImageAspect::FourThree}}, options.aspect,
                error)) {
        return ParseResult::Error;
      }
      options.aspectGiven = true;
      continue;
    }
#endif
    if (!TakeValue(argc, argv, i, "--colors", value, error, matched)) return ParseResult::Error;
    if (matched) {
      if (!Pick(value, "--colors", "auto, 8, 16, 256 or truecolor",
                {{"auto", ColorMode::Auto},
                 {"8", ColorMode::Eight},
                 {"16", ColorMode::Ansi16},
                 {"256", ColorMode::Ansi256},
                 {"truecolor", ColorMode::TrueColor},
                 {"24bit", ColorMode::TrueColor}},
                options.colors, error)) {
        return ParseResult::Error;
      }
      continue;
    }
    if (!TakeValue(argc, argv, i, "--fit", value, error, matched)) return ParseResult::Error;
    if (matched) {
      if (!Pick(value, "--fit", "auto, always or never",
                {{"auto", FitMode::Auto}, {"always", FitMode::Always}, {"never", FitMode::Never}},
                options.fit, error)) {
        return ParseResult::Error;
      }
      continue;
    }
    if (!TakeValue(argc, argv, i, "--glyphs", value, error, matched)) return ParseResult::Error;
    if (matched) {
      if (!Pick(value, "--glyphs", "auto, unicode or ascii",
                {{"auto", GlyphMode::Auto},
                 {"unicode", GlyphMode::Unicode},
                 {"ascii", GlyphMode::Ascii}},
                options.glyphs, error)) {
        return ParseResult::Error;
      }
      continue;
    }
    if (!TakeValue(argc, argv, i, "--key-after", value, error, matched)) return ParseResult::Error;
    if (matched) {
      char* end = nullptr;
      errno = 0;
      const long long n = std::strtoll(value.c_str(), &end, 10);
      if (errno != 0 || end == value.c_str() || *end != '\0' || n < 0 || n > 0xFFFFFFFFLL) {
        error = "--key-after needs a tick count from 0 to 4294967295, not '" + value + "'";
        return ParseResult::Error;
      }
      options.keyAfter = n;
      continue;
    }
    error = "unknown option '" + arg + "'";
    return ParseResult::Error;
  }
  if (options.fullscreen) {
    if (options.output == OutputChoice::Terminal) {
      error = "--fullscreen is for the window, not --output=terminal";
      return ParseResult::Error;
    }
    options.output = OutputChoice::Window;
  }
  if (options.record && options.output == OutputChoice::Window) {
    error = "--record plays without a window; leave out --window and --fullscreen";
    return ParseResult::Error;
  }
  if (!options.exportPath.empty() && options.output == OutputChoice::Window) {
    error = "--export writes a file; leave out --window and --fullscreen";
    return ParseResult::Error;
  }
  if (options.record && !options.exportPath.empty()) {
    error = "--record and --export cannot be used together";
    return ParseResult::Error;
  }
  if (options.atTick >= 0 && options.exportPath.empty()) {
    error = "--at goes with --export";
    return ParseResult::Error;
  }
  if (options.aspectGiven && options.exportPath.empty()) {
    error = "--aspect goes with --export";
    return ParseResult::Error;
  }
  return ParseResult::Run;
}

int64_t TickAtSeconds(const std::string& seconds) {
  // value = digits / 10^decimals; tick = floor(value * 1000 / 17), in
  // integers so that 22.032 is tick 1296 and not 1295.99...
  constexpr uint64_t MaxWhole = 1000000;
  uint64_t digits = 0, scale = 1;
  size_t at = 0;
  bool any = false;
  for (; at < seconds.size() && seconds[at] >= '0' && seconds[at] <= '9'; ++at) {
    digits = digits * 10 + static_cast<uint64_t>(seconds[at] - '0');
    if (digits > MaxWhole) return -1;
    any = true;
  }
  if (at < seconds.size() && seconds[at] == '.') {
    ++at;
    for (int decimals = 0; at < seconds.size() && seconds[at] >= '0' && seconds[at] <= '9';
         ++at, ++decimals) {
      if (decimals == 9) return -1;
      digits = digits * 10 + static_cast<uint64_t>(seconds[at] - '0');
      scale *= 10;
      any = true;
    }
  }
  if (!any || at != seconds.size()) return -1;
  // At most 10^6 * 10^9 * 1000 = 10^18: fits.
  return static_cast<int64_t>(digits * 1000 / (17 * scale));
}

}  // namespace cellshow
