#pragma once
// The command line. The launcher turns it into each host's own settings.
#include <cstdint>
#include <string>

#include "render/ansi/terminal_capabilities.h"
#include "render/pixels/image_aspect.h"

namespace cellshow {

// Auto: the terminal when it shows the whole grid, else a window when there
// is a display, else the terminal (scaled, or its notice).
enum class OutputChoice { Auto, Terminal, Window };

struct Options {
  std::string dataDir;        // --data; empty: found as ResolveDataDir says
  bool dataSearched = false;  // no --data: dataDir is what the lookup found
  bool record = false;
  std::string recordPath;
  std::string exportPath;  // --export; empty: none
  // --at: the export shows the screen after this tick, floor(seconds x 1000 /
  // 17); -1 when not given. atText is the value as written.
  int64_t atTick = -1;
  std::string atText;
  ImageAspect aspect = ImageAspect::Square;  // --aspect, for a .png or .gif export
  bool aspectGiven = false;
  int64_t keyAfter = -1;  // the key is seen once this many ticks have run; -1 never
  ColorMode colors = ColorMode::Auto;
  GlyphMode glyphs = GlyphMode::Auto;
  FitMode fit = FitMode::Auto;  // --fit
  bool mute = false;
  bool stats = false;
  OutputChoice output = OutputChoice::Auto;  // --output, --window
  bool fullscreen = false;                   // the window starts fullscreen
  // The player's options: --loop, --start (the ticks run silently before
  // the show plays, floor(seconds x 1000 / 17), below the show's 3773) and
  // --volume (0 to 100; -1 not given).
  bool loop = false;
  int64_t startTick = 0;
  int volume = -1;
  // --serve [ADDR:]PORT: the show over SSH to anyone who connects.
  bool serve = false;
  std::string serveAddress;  // empty: every address
  int servePort = 2222;
  std::string hostKey;  // --host-key; empty: the default place
  int maxViewers = 1000;
  int maxPerAddress = 8;
};

enum class ParseResult { Run, Help, Version, Error };

// Parses the command line. On Error, `error` holds a one-line message.
ParseResult ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// The tick whose screen is shown at `seconds` (a decimal number such as
// "22.032"; no sign, exponent or more than nine decimals):
// floor(seconds x 1000 / 17), computed exactly. -1 when the text is not such
// a number or the time is past a million seconds.
int64_t TickAtSeconds(const std::string& seconds);

// "[ADDR:]PORT" as --serve takes it: "2222", "127.0.0.1:2222",
// "[::1]:2222" or "localhost:2222"; the port from 0 (one the system picks)
// to 65535. False with `error` set otherwise.
bool ParseServeAddress(const std::string& value, std::string& address, int& port,
                       std::string& error);

extern const char* const HelpText;

}  // namespace cellshow
