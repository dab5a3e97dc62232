// cellshow-font FONT OUT: writes the 8x8 code page 437 glyph table of the
// pixel model as a C++ source file. Each code's glyph is the console font's
// glyph of the code's character (the character as the terminal encoder shows
// it), when the font has a glyph of its own for it; the glyphs in
// DrawnGlyphs are used instead where the font has none or a wrong one; codes
// 0, 32 and 255 are blank. Fails, naming the code, when a glyph is missing.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "psf_font.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/pixels/drawn_glyphs.h"

namespace {

using cellshow::font::PsfFont;

const cellshow::DrawnGlyph* FindDrawn(int code) {
  for (const auto& glyph : cellshow::DrawnGlyphs)
    if (glyph.code == code) return &glyph;
  return nullptr;
}

bool MakeTable(const PsfFont& font, const std::string& fontPath, uint8_t (&table)[256][8],
               std::string& error) {
  if (font.width != 8 || font.height != 8) {
    error = fontPath + " is " + std::to_string(font.width) + "x" + std::to_string(font.height) +
            ", not an 8x8 font";
    return false;
  }
  for (int code = 0; code < 256; ++code) {
    uint8_t* rows = table[code];
    if (code == 0 || code == 0x20 || code == 0xFF) {
      std::fill(rows, rows + 8, 0);
    } else if (const auto* drawn = FindDrawn(code)) {
      std::copy(drawn->rows.begin(), drawn->rows.end(), rows);
    } else {
      const char32_t c = cellshow::Cp437CodePoints[code];
      const int glyph = font.OwnGlyph(c);
      if (glyph < 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%s has no glyph of its own for code 0x%02X (U+%04X); draw it in "
                      "src/render/pixels/drawn_glyphs.h",
                      fontPath.c_str(), code, static_cast<unsigned>(c));
        error = text;
        return false;
      }
      std::copy(font.glyphs[glyph].begin(), font.glyphs[glyph].end(), rows);
    }
  }
  return true;
}

std::string Source(const uint8_t (&table)[256][8], const std::string& fontPath) {
  std::ostringstream out;
  out << "// Made by cellshow-font from " << fontPath << "; do not edit.\n"
      << "#include \"render/pixels/cp437_font.h\"\n\n"
      << "namespace cellshow {\n\n"
      << "const std::array<std::array<uint8_t, GlyphSize>, 256> Cp437Font = {{\n";
  char line[96];
  for (int code = 0; code < 256; ++code) {
    const uint8_t* r = table[code];
    std::snprintf(line, sizeof line,
                  "    {{0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X}},  "
                  "// 0x%02X\n",
                  r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], code);
    out << line;
  }
  out << "}};\n\n}  // namespace cellshow\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: cellshow-font FONT.psf[.gz] OUT.cpp\n", stderr);
    return 2;
  }
  const std::string fontPath = argv[1], outPath = argv[2];
  PsfFont font;
  std::string error;
  uint8_t table[256][8];
  if (!cellshow::font::ReadPsf(fontPath, font, error) || !MakeTable(font, fontPath, table, error)) {
    std::fprintf(stderr, "cellshow-font: %s\n", error.c_str());
    return 1;
  }
  const std::string source = Source(table, fontPath);
  std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
  out << source;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cellshow-font: cannot write %s\n", outPath.c_str());
    return 1;
  }
  return 0;
}
