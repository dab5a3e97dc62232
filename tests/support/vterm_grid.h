#pragma once
// Checks what an emulated terminal shows against a frame of the cell grid.
#include <string>

#include "render/ansi/terminal_capabilities.h"
#include "shell/screen.h"
#include "support/vterm_screen.h"

namespace cellshow::test {

// How the emulator reads back a console colour: an index in 16-colour mode
// (console order mapped to ANSI order), the console palette in 24-bit mode.
VtColor ExpectedColor(int consoleColor, bool trueColor);
// The same on a terminal of `depth`: with 8 colours a foreground is its
// normal colour's index (bold shows the bright ones) and a background the
// index of the nearest normal colour.
VtColor ExpectedColor(int consoleColor, ColorDepth depth, bool foreground);

// "" when the terminal shows `screen` centred (as the encoder places it) on
// black, with every glyph and every colour that can be seen as the grid says
// and no blink or reverse anywhere (bold only where 8 colours need it for a
// bright foreground); otherwise the first few differences. With ASCII glyphs
// each glyph is its stand-in, and a full block a blank in the block's colour.
std::string GridMismatch(const VtermScreen& terminal, const ScreenCells& screen,
                         const TerminalCapabilities& capabilities);
std::string GridMismatch(const VtermScreen& terminal, const ScreenCells& screen, bool trueColor);

// "" when the two terminals look the same: equal glyphs, equal backgrounds
// except under a full block, equal foregrounds except on a blank.
std::string AppearanceMismatch(const VtermScreen& a, const VtermScreen& b);

}  // namespace cellshow::test
