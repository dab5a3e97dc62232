#include "platform/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

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
    "  --colors=MODE     auto (default), 16 or truecolor\n"
#endif
    "  --mute            play no music\n"
#ifdef _WIN32
    "  --stats           print timing and music figures to stderr at the end\n"
#else
    "  --stats           print timing and output figures to stderr at the end\n"
#endif
    "  --record FILE     play headless, as fast as possible, and write every\n"
    "                    frame and media command to FILE\n"
    "  --key-after N     a key is seen once N ticks have run (0: before the\n"
    "                    first tick)\n"
    "  --help            show this help\n"
    "  --version         show the version\n"
    "\n"
#ifdef _WIN32
    "Keys: any key ends the show (the key is left in the console input).\n"
    "Ctrl-C, Ctrl-Break and closing the window end it too.\n";
#else
    "Keys: any key ends the show (the key is left for the shell). Ctrl-C,\n"
    "Ctrl-\\, SIGTERM, SIGHUP and SIGQUIT end it too; Ctrl-Z gives the terminal\n"
    "back until `fg`. The terminal is always given back as it was.\n";
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
    if (!TakeValue(argc, argv, i, "--colors", value, error, matched)) return ParseResult::Error;
    if (matched) {
      if (value == "auto") {
        options.colors = ColorMode::Auto;
      } else if (value == "16") {
        options.colors = ColorMode::Ansi16;
      } else if (value == "truecolor" || value == "24bit") {
        options.colors = ColorMode::TrueColor;
      } else {
        error = "--colors must be auto, 16 or truecolor, not '" + value + "'";
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
  return ParseResult::Run;
}

}  // namespace cellshow
