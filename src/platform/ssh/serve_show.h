#pragma once
// `cellshow --serve`: the server as the launcher sees it. It plays the show
// headless once, loads (or makes) the host key, prints where it listens and
// the key's fingerprint, and serves every viewer until a stop signal.
#include <cstdint>
#include <string>

#include "platform/ssh/admission.h"
#include "render/ansi/terminal_capabilities.h"

namespace cellshow {

constexpr int DefaultServePort = 2222;

struct ServeSettings {
  std::string dataDir;  // the show's files
  std::string address;  // "" for every address
  int port = DefaultServePort;
  std::string hostKeyPath;  // "": the default place (host_key.h)
  ServeLimits limits;
  int64_t keyAfter = -1;  // each viewer's show ends after this many ticks; -1 at its end
  bool stats = false;     // the server's figures on stderr at the end
  // For every viewer's terminal; Auto: what its terminal type and locale say.
  ColorMode colors = ColorMode::Auto;
  GlyphMode glyphs = GlyphMode::Auto;
  FitMode fit = FitMode::Auto;
  // Viewers with alike terminals share their frames' bytes (frame_logs.h);
  // off, each viewer encodes its own (CELLSHOW_SERVE_SHARED=0, for the
  // benchmark that weighs the two).
  bool shareFrames = true;
};

// Serves until SIGINT, SIGTERM or SIGHUP. Returns the exit code: 0, or 1
// when it cannot start (the host key, the port), after one line on stderr.
int RunServe(const ServeSettings& settings);

}  // namespace cellshow
