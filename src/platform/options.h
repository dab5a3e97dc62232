#pragma once
// Command-line options, shared by the backends.
#include <cstdint>
#include <string>

namespace cellshow {

enum class ColorMode { Auto, Eight, Ansi16, TrueColor };
enum class GlyphMode { Auto, Unicode, Ascii };

struct Options {
  std::string dataDir;  // --data; empty: found as ResolveDataDir says
  bool record = false;
  std::string recordPath;
  int64_t keyAfter = -1;  // the key is seen once this many ticks have run; -1 never
  ColorMode colors = ColorMode::Auto;
  GlyphMode glyphs = GlyphMode::Auto;
  bool mute = false;
  bool stats = false;
};

}  // namespace cellshow

namespace cellshow {

enum class ParseResult { Run, Help, Version, Error };

// Parses the command line. On Error, `error` holds a one-line message.
ParseResult ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

extern const char* const HelpText;

}  // namespace cellshow
