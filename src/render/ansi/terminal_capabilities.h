#pragma once
// What the encoders may rely on in the terminal they write to: how many
// colours it shows, which glyphs it can print, and what its erases fill with. The
// terminal backend reads this from terminfo and the locale; the defaults are
// the common case (UTF-8, 16 colours, background colour erase), for which the
// encoder's bytes are those of a terminal that was never asked.
#include <cstdint>

namespace cellshow {

enum class ColorDepth : uint8_t {
  // SGR 30-37 and 40-47 only: a bright foreground is its normal colour in
  // bold, a background the nearest of the 8 normal colours.
  Eight,
  // SGR 30-37, 40-47 and the bright 90-97, 100-107.
  Sixteen,
  // xterm's 256 colours (SGR 38;5 and 48;5): the scaled view takes the
  // nearest of the 6x6x6 cube and the grey ramp; the glyph grid, whose 16
  // colours are all it needs, is written as at Sixteen.
  Xterm256,
  // SGR 38;2 and 48;2 with the console palette's values.
  TrueColor,
};

enum class GlyphSet : uint8_t {
  Unicode,  // code page 437 as UTF-8
  Ascii,    // every byte below 0x80: stand-ins chosen for how they look
};

struct TerminalCapabilities {
  ColorDepth colors = ColorDepth::Sixteen;
  GlyphSet glyphs = GlyphSet::Unicode;
  // Erases and inserted or deleted characters fill with the current
  // background colour (terminfo's `bce`). Without it they fill with the
  // terminal's own default background, so every cell that must show a colour
  // is written.
  bool backgroundColorErase = true;

  friend constexpr bool operator==(const TerminalCapabilities&,
                                   const TerminalCapabilities&) = default;
};

// What the user asks for (--colors, --glyphs); Auto: what the terminal says.
enum class ColorMode { Auto, Eight, Ansi16, Ansi256, TrueColor };
enum class GlyphMode { Auto, Unicode, Ascii };

// When a terminal smaller than the 80x50 grid gets the whole show scaled
// (--fit): auto below 80x50, always at any size from 40x12 up, never (a
// notice instead).
enum class FitMode : uint8_t { Auto, Always, Never };

}  // namespace cellshow
