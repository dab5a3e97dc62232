// The console font reader on fonts made here: both PSF versions, their
// Unicode tables with sequences, compressed and not, and broken files.
#include "psf_font.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/temp_dir.h"

namespace cellshow {
namespace {

using font::ParsePsf;
using font::PsfFont;

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// 256 glyphs of height 8; glyph g's rows are all g. Glyph 0x41 is 'A' and
// stands in for U+0391 (alpha), glyph 0x42 lists a sequence before U+00DF.
std::vector<uint8_t> Psf1() {
  std::vector<uint8_t> b = {0x36, 0x04, 0x02, 8};
  for (int g = 0; g < 256; ++g)
    for (int r = 0; r < 8; ++r) b.push_back(static_cast<uint8_t>(g));
  for (int g = 0; g < 256; ++g) {
    if (g == 0x41) {
      Put16(b, 'A');
      Put16(b, 0x391);
    } else if (g == 0x42) {
      Put16(b, 0x2500);
      Put16(b, 0xFFFE);
      Put16(b, 'e');
      Put16(b, 0x301);  // a sequence: left out
    } else if (g >= 0x20 && g < 0x7F) {
      Put16(b, static_cast<uint16_t>(g));
    }
    Put16(b, 0xFFFF);
  }
  return b;
}

// Three glyphs 10 pixels wide (two bytes a row) and 4 high, with a header
// longer than the standard one; glyph 2 shows U+2554 (3 bytes of UTF-8) and
// U+1F600 (4 bytes), then a sequence.
std::vector<uint8_t> Psf2() {
  std::vector<uint8_t> b = {0x72, 0xB5, 0x4A, 0x86};
  Put32(b, 0);
  Put32(b, 36);  // header size
  Put32(b, 1);   // has a Unicode table
  Put32(b, 3);
  Put32(b, 8);  // bytes per glyph
  Put32(b, 4);  // height
  Put32(b, 10);
  Put32(b, 0xDEADBEEF);  // header bytes a reader must skip
  for (int g = 0; g < 3; ++g)
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(g * 16 + i));
  const uint8_t table[] = {'a',  0xFF, 0xC3, 0xA9, 'b',  0xFF, 0xE2, 0x95, 0x94,
                           0xF0, 0x9F, 0x98, 0x80, 0xFE, 'x',  'y',  0xFF};
  b.insert(b.end(), std::begin(table), std::end(table));
  return b;
}

TEST(PsfReader, ReadsVersionOneWithItsTable) {
  PsfFont font;
  std::string error;
  ASSERT_TRUE(ParsePsf(Psf1(), font, error)) << error;
  EXPECT_EQ(font.width, 8);
  EXPECT_EQ(font.height, 8);
  ASSERT_EQ(font.glyphs.size(), 256u);
  EXPECT_EQ(font.glyphs[0x7E], std::vector<uint8_t>(8, 0x7E));
  EXPECT_EQ(font.OwnGlyph('~'), 0x7E);
  EXPECT_EQ(font.OwnGlyph(0x391), -1);  // only a stand-in
  EXPECT_EQ(font.AnyGlyph(0x391), 0x41);
  EXPECT_EQ(font.OwnGlyph(0x2500), 0x42);
  EXPECT_EQ(font.AnyGlyph(0x301), -1);  // only in a sequence
  EXPECT_EQ(font.AnyGlyph(0x10), -1);
}

TEST(PsfReader, ReadsVersionTwoWithUtf8TableAndWideGlyphs) {
  PsfFont font;
  std::string error;
  ASSERT_TRUE(ParsePsf(Psf2(), font, error)) << error;
  EXPECT_EQ(font.width, 10);
  EXPECT_EQ(font.height, 4);
  EXPECT_EQ(font.rowBytes, 2);
  ASSERT_EQ(font.glyphs.size(), 3u);
  EXPECT_EQ(font.glyphs[1][0], 16);
  EXPECT_EQ(font.glyphs[2][7], 39);
  EXPECT_EQ(font.OwnGlyph('a'), 0);
  EXPECT_EQ(font.OwnGlyph(0xE9), 1);
  EXPECT_EQ(font.AnyGlyph('b'), 1);
  EXPECT_EQ(font.OwnGlyph(0x2554), 2);
  EXPECT_EQ(font.AnyGlyph(0x1F600), 2);
  EXPECT_EQ(font.AnyGlyph('x'), -1);
}

TEST(PsfReader, ReadsCompressedAndPlainFiles) {
  test::TempDir dir;
  const std::vector<uint8_t> bytes = Psf1();
  dir.Write("plain.psf", bytes);
  const std::string packed = (dir.path() / "packed.psf.gz").string();
  gzFile out = gzopen(packed.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())),
            static_cast<int>(bytes.size()));
  gzclose(out);
  for (const std::string name : {"plain.psf", "packed.psf.gz"}) {
    PsfFont font;
    std::string error;
    ASSERT_TRUE(font::ReadPsf((dir.path() / name).string(), font, error)) << error;
    EXPECT_EQ(font.OwnGlyph('A'), 0x41) << name;
  }
  PsfFont font;
  std::string error;
  EXPECT_FALSE(font::ReadPsf((dir.path() / "missing.psf").string(), font, error));
  EXPECT_NE(error.find("missing.psf"), std::string::npos) << error;
}

// Every prefix of a font, and fonts with a broken table or header, are
// refused with a reason; none is read past its end (the sanitizer build
// would catch it).
TEST(PsfReader, RefusesBrokenFonts) {
  for (const auto& whole : {Psf1(), Psf2()}) {
    for (size_t n = 0; n < whole.size(); ++n) {
      PsfFont font;
      std::string error;
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
      EXPECT_FALSE(ParsePsf(cut, font, error)) << n;
      EXPECT_FALSE(error.empty());
    }
  }
  std::vector<uint8_t> badUtf8 = Psf2();
  badUtf8[badUtf8.size() - 17] = 0x80;  // a continuation byte where a character starts
  std::vector<uint8_t> badSize = Psf2();
  badSize[20] = 9;  // bytes per glyph that do not match 10x4
  std::vector<uint8_t> hugeCount = Psf2();
  hugeCount[19] = 0x7F;
  for (const auto& bytes : {badUtf8, badSize, hugeCount}) {
    PsfFont font;
    std::string error;
    EXPECT_FALSE(ParsePsf(bytes, font, error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace cellshow
