#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "show/playback.h"

namespace cellshow {

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
#ifndef __EMSCRIPTEN__
    if (arg == "--loop") {
      options.loop = true;
      continue;
    }
#endif
    if (!TakeValue(argc, argv, i, "--start", value, error, matched)) return ParseResult::Error;
    if (matched) {
      options.startTick = TickAtSeconds(value);
      // The show's last tick (64.141 s) shuts it down: the start is before it.
      static_assert(ShowTicks * 17 == 64141);
      if (options.startTick < 0 || options.startTick >= ShowTicks) {
        error = "--start needs a moment of the show in seconds, from 0 to below 64.141, not '" +
                value + "'";
        return ParseResult::Error;
      }
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
    if (arg == "--serve" || arg.rfind("--serve=", 0) == 0) {
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
      error = "this build has no server (--serve); serve the show from a Linux build";
      return ParseResult::Error;
#else
      options.serve = true;
      // The address is optional: "--serve" alone serves on the usual port.
      const bool next = arg == "--serve" && i + 1 < argc && argv[i + 1][0] != '-';
      if (arg != "--serve" || next) {
        value = next ? argv[++i] : arg.substr(8);
        if (!ParseServeAddress(value, options.serveAddress, options.servePort, error))
          return ParseResult::Error;
      }
      continue;
#endif
    }
#ifndef _WIN32
    if (!TakeValue(argc, argv, i, "--host-key", value, error, matched)) return ParseResult::Error;
    if (matched) {
      options.hostKey = value;
      continue;
    }
    for (auto [name, count] : {std::pair{"--max-viewers", &options.maxViewers},
                               std::pair{"--max-per-address", &options.maxPerAddress}}) {
      if (!TakeValue(argc, argv, i, name, value, error, matched)) return ParseResult::Error;
      if (!matched) continue;
      char* end = nullptr;
      errno = 0;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (errno != 0 || end == value.c_str() || *end != '\0' || n < 1 || n > 100000) {
        error = std::string(name) + " needs a count from 1 to 100000, not '" + value + "'";
        return ParseResult::Error;
      }
      *count = static_cast<int>(n);
      break;
    }
    if (matched) continue;
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
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
    if (!TakeValue(argc, argv, i, "--volume", value, error, matched)) return ParseResult::Error;
    if (matched) {
      char* end = nullptr;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (end == value.c_str() || *end != '\0' || n < 0 || n > 100) {
        error = "--volume needs a number from 0 to 100, not '" + value + "'";
        return ParseResult::Error;
      }
      options.volume = static_cast<int>(n);
      continue;
    }
#endif
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
  if (options.serve) {
    const char* other = options.record                             ? "--record"
                        : !options.exportPath.empty()              ? "--export"
                        : options.output == OutputChoice::Window   ? "--window"
                        : options.output == OutputChoice::Terminal ? "--output"
                                                                   : nullptr;
    if (other != nullptr) {
      error = std::string("--serve plays to viewers over SSH; leave out ") + other;
      return ParseResult::Error;
    }
    // Each viewer is shown the show once from its first tick, without sound.
    const char* player = options.loop            ? "--loop"
                         : options.startTick > 0 ? "--start"
                         : options.volume >= 0   ? "--volume"
                                                 : nullptr;
    if (player != nullptr) {
      error = std::string(player) +
              " does not go with --serve: each viewer sees the show once from its start, "
              "without sound";
      return ParseResult::Error;
    }
  } else {
    const char* serverOnly = !options.hostKey.empty()     ? "--host-key"
                             : options.maxViewers != 1000 ? "--max-viewers"
                             : options.maxPerAddress != 8 ? "--max-per-address"
                                                          : nullptr;
    if (serverOnly != nullptr) {
      error = std::string(serverOnly) + " goes with --serve";
      return ParseResult::Error;
    }
  }
  if (options.atTick >= 0 && options.exportPath.empty()) {
    error = "--at goes with --export";
    return ParseResult::Error;
  }
  // A recording or an export is a file of the show once through, made
  // without playing the music.
  const char* file = options.record ? "--record" : !options.exportPath.empty() ? "--export" : "";
  if (*file != '\0' && (options.loop || options.volume >= 0)) {
    error =
        std::string(options.loop ? "--loop" : "--volume") + " is for playing the show, not " + file;
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
