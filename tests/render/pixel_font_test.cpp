// The pixel model's glyph table against the console font it comes from, and
// the glyphs drawn by hand against what their characters must look like.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "psf_font.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/pixels/cp437_font.h"
#include "render/pixels/drawn_glyphs.h"

namespace cellshow {
namespace {

using Rows = std::array<uint8_t, GlyphSize>;

bool IsDrawn(int code) {
  for (const DrawnGlyph& g : DrawnGlyphs)
    if (g.code == code) return true;
  return false;
}

bool IsBlankCode(int code) { return code == 0 || code == 0x20 || code == 0xFF; }

class ConsoleFont : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(font::ReadPsf(CELLSHOW_FONT, font_, error)) << error;
  }
  static font::PsfFont font_;
};
font::PsfFont ConsoleFont::font_;

TEST_F(ConsoleFont, EveryOtherGlyphIsTheFontsOwnGlyphOfTheCharacter) {
  ASSERT_EQ(font_.width, 8);
  ASSERT_EQ(font_.height, 8);
  int fromFont = 0;
  for (int code = 0; code < 256; ++code) {
    if (IsDrawn(code) || IsBlankCode(code)) continue;
    SCOPED_TRACE(code);
    const int glyph = font_.OwnGlyph(Cp437CodePoints[code]);
    ASSERT_GE(glyph, 0);
    const Rows& rows = GlyphRows(static_cast<uint8_t>(code));
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), font_.glyphs[glyph].begin()));
    ++fromFont;
  }
  EXPECT_EQ(fromFont, 256 - 3 - static_cast<int>(DrawnGlyphs.size()));
}

// The drawn glyphs stand where the font has none, or only another
// character's: its triangles are its arrows and its double box lines single.
TEST_F(ConsoleFont, DrawnGlyphsAreWhereTheFontHasNoGlyphOfItsOwn) {
  for (int code : {0x9E, 0xA9, 0xEC, 0xEF, 0xF0}) {
    SCOPED_TRACE(code);
    EXPECT_TRUE(IsDrawn(code));
    EXPECT_LT(font_.AnyGlyph(Cp437CodePoints[code]), 0);
  }
  // The font's triangles (U+25B6 and U+25C0 stand for the pointers of codes
  // 0x10 and 0x11) and double box lines are its arrows and single lines.
  const struct {
    int code;
    char32_t inFont;
  } standIns[] = {{0x10, 0x25B6}, {0x11, 0x25C0}, {0x1E, 0x25B2}, {0x1F, 0x25BC},
                  {0xBA, 0x2551}, {0xC9, 0x2554}, {0xCD, 0x2550}, {0xCE, 0x256C}};
  for (const auto& s : standIns) {
    SCOPED_TRACE(s.code);
    EXPECT_TRUE(IsDrawn(s.code));
    EXPECT_GE(font_.AnyGlyph(s.inFont), 0);
    EXPECT_LT(font_.OwnGlyph(s.inFont), 0);
  }
}

TEST(GlyphTable, DrawnGlyphsAreUsedOnceEachAndNotBlank) {
  std::set<int> codes;
  for (const DrawnGlyph& g : DrawnGlyphs) {
    SCOPED_TRACE(g.code);
    EXPECT_TRUE(codes.insert(g.code).second);
    EXPECT_FALSE(IsBlankCode(g.code));
    EXPECT_EQ(GlyphRows(g.code), g.rows);
    EXPECT_GT(GlyphCoverage(g.code), 4);
  }
}

// Only the blanks share a glyph: no character is shown as another one.
TEST(GlyphTable, EveryCharacterLooksDifferentExceptTheBlanks) {
  std::map<Rows, int> seen;
  for (int code = 0; code < 256; ++code) {
    const Rows& rows = GlyphRows(static_cast<uint8_t>(code));
    if (IsBlankCode(code)) {
      EXPECT_EQ(GlyphCoverage(static_cast<uint8_t>(code)), 0) << code;
      continue;
    }
    EXPECT_GT(GlyphCoverage(static_cast<uint8_t>(code)), 0) << code;
    const auto [at, fresh] = seen.emplace(rows, code);
    EXPECT_TRUE(fresh) << "code " << code << " looks like code " << at->second;
  }
}

// Box lines meet their neighbours: at each edge of the cell a glyph shows
// the arm its character has there (none, single or double), in the places
// that the font's own single-line glyphs use.
TEST(GlyphTable, BoxLinesJoinAtEveryEdge) {
  // Arms up, down, left, right of 0xB3..0xDA: 0 none, 1 single, 2 double.
  const char* const arms[] = {
      "1100", "1110", "1120", "2210", "0210", "0120", "2220", "2200",  // │┤╡╢╖╕╣║
      "0220", "2020", "2010", "1020", "0110", "1001", "1011", "0111",  // ╗╝╜╛┐└┴┬
      "1101", "0011", "1111", "1102", "2201", "2002", "0202", "2022",  // ├─┼╞╟╚╔╩
      "0222", "2202", "0022", "2222", "1022", "2011", "0122", "0211",  // ╦╠═╬╧╨╤╥
      "2001", "1002", "0102", "0201", "2211", "1122", "1010", "0101",  // ╙╘╒╓╫╪┘┌
  };
  // Across a vertical arm: columns 3-4 single, 2-3 and 5-6 double. Along a
  // horizontal arm: row 4 single, rows 2 and 4 double.
  const uint8_t across[3] = {0x00, 0x18, 0x36};
  const uint8_t along[3] = {0x00, 0x10, 0x14};  // bit r: row r
  for (int code = 0xB3; code <= 0xDA; ++code) {
    SCOPED_TRACE(code);
    const Rows& rows = GlyphRows(static_cast<uint8_t>(code));
    const char* a = arms[code - 0xB3];
    uint8_t leftColumn = 0, rightColumn = 0;
    for (int r = 0; r < 8; ++r) {
      leftColumn |= static_cast<uint8_t>((rows[r] >> 7 & 1) << r);
      rightColumn |= static_cast<uint8_t>((rows[r] & 1) << r);
    }
    EXPECT_EQ(rows[0], across[a[0] - '0']) << "up";
    EXPECT_EQ(rows[7], across[a[1] - '0']) << "down";
    EXPECT_EQ(leftColumn, along[a[2] - '0']) << "left";
    EXPECT_EQ(rightColumn, along[a[3] - '0']) << "right";
  }
}

// Shades and blocks cover the share of the cell that their names say.
TEST(GlyphTable, CoverageOfShadesAndBlocks) {
  const struct {
    uint8_t code;
    int coverage;
  } cases[] = {{0xB0, 16}, {0xB1, 32}, {0xB2, 48}, {0xDB, 64},
               {0xDC, 32}, {0xDD, 32}, {0xDE, 32}, {0xDF, 32}};
  for (const auto& c : cases) EXPECT_EQ(GlyphCoverage(c.code), c.coverage) << int{c.code};
  EXPECT_EQ(GlyphRows(0xDF)[0], 0xFF);  // upper half
  EXPECT_EQ(GlyphRows(0xDF)[7], 0x00);
  EXPECT_EQ(GlyphRows(0xDD)[3], 0xF0);  // left half
}

}  // namespace
}  // namespace cellshow
