#pragma once
// Reads a Linux console font: PSF version 1 or 2, plain or gzip-compressed,
// with its Unicode table. Build-time tool code (the font table generator and
// its tests); not part of the program.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::font {

struct PsfFont {
  int width = 0;   // pixels
  int height = 0;  // rows
  int rowBytes = 0;
  // Each glyph's rows, top first, height * rowBytes bytes; the leftmost pixel
  // is the high bit of a row's first byte.
  std::vector<std::vector<uint8_t>> glyphs;
  // The single code points each glyph shows, in the order of the font's
  // table (the first is the glyph's own character; the rest are characters
  // it stands in for). Sequences of code points are left out.
  std::vector<std::vector<char32_t>> codePoints;

  // The glyph that lists `codePoint` first among its characters, or -1.
  int OwnGlyph(char32_t codePoint) const;
  // The first glyph that lists `codePoint` at all, or -1.
  int AnyGlyph(char32_t codePoint) const;
};

// Parses the bytes of an uncompressed font. False with `error` set on a bad
// magic number, a truncated file or a broken Unicode table.
bool ParsePsf(const std::vector<uint8_t>& bytes, PsfFont& font, std::string& error);
// Parses the bytes of a font file, gzip-compressed or not. A compressed font
// larger than MaxFontBytes once inflated is refused (console fonts are a
// few KB), so a small file cannot make the reader take all memory.
constexpr size_t MaxFontBytes = size_t{1} << 22;
bool DecodePsf(const std::vector<uint8_t>& fileBytes, PsfFont& font, std::string& error);
// Reads a font file, gzip-compressed or not.
bool ReadPsf(const std::string& path, PsfFont& font, std::string& error);

}  // namespace cellshow::font
