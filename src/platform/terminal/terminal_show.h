#pragma once
// The terminal host as the launcher sees it: its settings, and opening it
// for a show on the controlling terminal, with the real 17 ms timer and
// music.
#include <cstdint>
#include <string>

#include "render/ansi/terminal_capabilities.h"
#include "shell/host.h"

namespace cellshow {

struct TerminalSettings {
  std::string dataDir;    // the show's files
  int64_t keyAfter = -1;  // a key is seen once this many ticks have run; -1 never
  bool mute = false;
  bool stats = false;  // figures on stderr at the end
  ColorMode colors = ColorMode::Auto;
  GlyphMode glyphs = GlyphMode::Auto;
  FitMode fit = FitMode::Auto;
  int volume = 100;  // the music's, 0 to 100
  // A window could play the show instead: messages and the size notice
  // name --window; otherwise a video (--export show.mp4).
  bool windowOffered = false;
};

// The terminal host, ready for Start (it ends the process in the show's
// shutdown). nullptr, with `error` set to one line, when the show cannot
// play here: standard output is not a terminal, TERM names none that can
// place the cursor, or the terminal cannot be opened. Nothing has been
// written to the terminal then. Once per process.
Host* OpenTerminalHost(const TerminalSettings& settings, std::string& error);

// Standard output is a terminal of at least 80x50 cells.
bool TerminalShowsWholeGrid();

}  // namespace cellshow
