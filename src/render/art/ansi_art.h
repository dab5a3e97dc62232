#pragma once
// ANSI art, the files of the art packs drawn in our own grid (code page 437
// glyphs, 16 colours, usually 80 columns), read into cells exactly and
// written from them:
//   .ANS  text with ANSI escape sequences (ECMA-48 CSI: cursor moves,
//         erases, save and restore, SGR colours), as DOS's ANSI.SYS and
//         the art viewers show it: a line wraps as soon as its last column
//         is written, LF also returns the carriage, SUB (26) ends the text;
//   .BIN  character and attribute bytes, row by row, nothing else;
//   .XB   XBin: a header, an optional palette and font, then the cells,
//         plain or run-length compressed.
// Each may end with a SAUCE record (the art world's metadata: title,
// author, width, the iCE-colour flag, font name), itself after an EOF byte
// (26) and optional comment lines.
//
// Colours: attribute bit 7 is blink unless iCE colours are on, when it
// brightens the background instead. The show cannot blink, so without iCE
// the bit is dropped. An XBin's own palette is matched to the nearest VGA
// colours; its own font is not used (the show draws code page 437).
//
// Pure transforms of bytes, for any thread. The readers take any bytes:
// malformed input gives an error, never a crash or a huge allocation (the
// fuzzing entry point is ReadArt).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/screen.h"

namespace cellshow {

enum class ArtFormat { Ansi, Bin, XBin };

// The tallest art read: 200,000 cells of 80 columns.
constexpr int MaxArtRows = 2500;
constexpr int MaxArtColumns = 1000;

struct ArtImage {
  int width = 0, height = 0;
  std::vector<Cell> cells;  // width x height, row by row
  bool iceColours = false;
  bool hasSauce = false;
  std::string title;        // SAUCE's, trailing blanks removed
  bool ownFont = false;     // an XBin that carries a font of its own (not used)
  bool ownPalette = false;  // an XBin palette, matched to the VGA colours
};

// The format of `bytes`: XBin's signature or SAUCE's data type when there
// is one, otherwise `byName` (from the file's extension).
ArtFormat ArtFormatOf(const uint8_t* bytes, size_t size, ArtFormat byName);

// Reads art in `format`. Returns an empty string, or what is wrong with the
// bytes as a phrase ("a broken escape sequence at byte 123").
std::string ReadArt(const uint8_t* bytes, size_t size, ArtFormat format, ArtImage& out);

// What a written SAUCE record says besides the picture's size.
struct ArtLabel {
  std::string title;  // at most 35 characters are kept
  std::string date;   // CCYYMMDD
};

// An 80x50 screen as a file in `format`, with a SAUCE record: iCE colours,
// 8-pixel letters with the legacy (4:3) aspect, font "IBM VGA50" (the VGA
// 8x8 font). An XBin also carries the VGA palette and the 8x8 font, and is
// compressed. In .ANS the five bytes that are controls there (9, 10, 13,
// 26, 27) cannot be written as glyphs: each is written as the glyph whose
// 8x8 picture differs from it in the fewest pixels.
std::vector<uint8_t> WriteArt(ArtFormat format, const ScreenCells& cells, const ArtLabel& label);

}  // namespace cellshow
