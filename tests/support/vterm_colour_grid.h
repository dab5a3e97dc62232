#pragma once
// Checks what an emulated terminal shows against a grid of colour cells (the
// scaled view's), by appearance: the glyph, and each colour where it can be
// seen, read back in the colour depth and glyph set the bytes were written
// for.
#include <string>

#include "render/ansi/grid_encoder.h"
#include "render/ansi/terminal_capabilities.h"
#include "render/scaled/rgb_cell.h"
#include "support/vterm_screen.h"

namespace cellshow::test {

// The colour the terminal shows for `color` written at `depth`; false when
// it cannot be read back (the terminal's default colour) or is not one that
// depth writes.
bool ShownColor(const VtColor& color, ColorDepth depth, Rgb& out);

// "" when the terminal shows `cells` (place.columns x place.rows) at `place`
// on black, with no bold, blink or reverse; otherwise the first few
// differences. A blank (0x00, 0x20, 0xFF) shows its background, a full block
// its foreground as a blank, an upper half block its two colours, or a blank
// when they are alike. With ASCII glyphs every other glyph is its stand-in.
// With `margins` false the cells around the grid are not looked at.
std::string ColourGridMismatch(const VtermScreen& terminal, const RgbCell* cells, GridPlace place,
                               const TerminalCapabilities& capabilities, bool margins = true);

}  // namespace cellshow::test
