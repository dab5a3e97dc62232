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

// The colour the terminal shows for `color` written at `depth` (with 8
// colours, a foreground in `bold` shows bright); false when it cannot be
// read back (the terminal's default colour) or is not one that depth writes.
bool ShownColor(const VtColor& color, ColorDepth depth, bool bold, Rgb& out);

// "" when the terminal shows `cells` (place.columns x place.rows) at `place`
// on black, with no blink or reverse (and no bold but with 8 colours);
// otherwise the first few differences. Cells are compared by their look. A
// blank (0x00, 0x20, 0xFF), a full block and the half blocks (in UTF-8)
// are compared by the colours of their upper and lower halves, however they
// are drawn: as a blank, a full block, an upper or a lower half block. With
// 8 colours what must show as a background is taken to the nearest normal
// colour (a block in UTF-8 keeps one bright colour, its foreground). With
// ASCII glyphs every other glyph is its stand-in. With `margins` false the
// cells around the grid are not looked at.
std::string ColourGridMismatch(const VtermScreen& terminal, const RgbCell* cells, GridPlace place,
                               const TerminalCapabilities& capabilities, bool margins = true);

}  // namespace cellshow::test
