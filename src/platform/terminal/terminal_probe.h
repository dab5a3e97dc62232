#pragma once
// What the terminal can do, read once before the show takes it: terminfo's
// numbers and flags for the type TERM names (through libtinfo; the show
// writes its own sequences), COLORTERM, the locale's character set and the
// options. Nothing is written to the terminal.
#include <string>

#include "render/ansi/terminal_capabilities.h"

namespace cellshow {

// What terminfo says of a terminal type.
struct TerminfoFacts {
  bool known = false;                 // TERM is set and terminfo has an entry for it
  bool cursorAddress = false;         // cup
  int colors = -1;                    // colors; -1 when absent
  bool backgroundColorErase = false;  // bce
  bool directColor = false;           // the RGB or Tc flag
};

// Reads the entry for `term` (nullptr: TERM unset). `fd` is the terminal;
// -1 when there is none here (a viewer's terminal over the network).
TerminfoFacts ReadTerminfo(const char* term, int fd);

// "" when the show can play in a terminal of this type; otherwise why not, as
// one line without the program's name, ending with `otherWay` (what else the
// user can do: "play it in a window with --window").
std::string Unsuitable(const char* term, const TerminfoFacts& facts, const std::string& otherWay);

// The encoder's capabilities. Colours: the option, else 24-bit when
// COLORTERM is "truecolor" or "24bit" or terminfo has RGB or Tc, else 256
// when terminfo's colors is 256 or more, 16 when it is 16 or more, else 8. Glyphs: the option, else
// Unicode when the locale's character set (`codeset`) is UTF-8, else ASCII.
TerminalCapabilities ChooseCapabilities(const TerminfoFacts& facts, const char* colorterm,
                                        const char* codeset, ColorMode colors, GlyphMode glyphs);

// The character set a locale's name gives: what follows its dot, up to any
// '@' ("en_US.UTF-8" gives "UTF-8"); a name without one ("C", "POSIX")
// gives "ANSI_X3.4-1968".
std::string CodesetOfLocaleName(const char* name);

// The character set of the user's locale (LC_CTYPE from the environment),
// e.g. "UTF-8", "ISO-8859-1" or "ANSI_X3.4-1968". Sets LC_CTYPE: call it on
// the main thread before any other thread starts.
std::string LocaleCodeset();

}  // namespace cellshow
