#pragma once
// Checks what an emulated terminal shows against a frame of the cell grid.
#include <string>

#include "shell/screen.h"
#include "support/vterm_screen.h"

namespace cellshow::test {

// How the emulator reads back a console colour: an index in 16-colour mode
// (console order mapped to ANSI order), the console palette in 24-bit mode.
VtColor ExpectedColor(int consoleColor, bool trueColor);

// "" when the terminal shows `screen` centred (as the encoder places it) on
// black, with every glyph and every colour that can be seen as the grid says
// and no bold, blink or reverse anywhere; otherwise the first few differences.
std::string GridMismatch(const VtermScreen& terminal, const ScreenCells& screen, bool trueColor);

// "" when the two terminals look the same: equal glyphs, equal backgrounds
// except under a full block, equal foregrounds except on a blank.
std::string AppearanceMismatch(const VtermScreen& a, const VtermScreen& b);

}  // namespace cellshow::test
