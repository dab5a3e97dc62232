// ANSI art read into cells: one small hand-made file per feature (each
// escape, SAUCE present and absent, iCE colours, BIN widths, XBin plain and
// compressed with a palette and a font), cells compared exactly; broken
// files give an error; what the writers make reads back as the screen.
#include "render/art/ansi_art.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/art/sauce.h"
#include "support/test_frames.h"

namespace cellshow {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A SAUCE record written field by field, after the EOF byte.
Bytes WithSauce(Bytes data, uint8_t dataType, uint8_t fileType, uint16_t width, uint8_t flags,
                const std::string& title = "") {
  data.push_back(26);
  const std::string head = "SAUCE00" + title + std::string(35 - title.size() + 20 + 20 + 8, ' ');
  data.insert(data.end(), head.begin(), head.end());
  // File size (unknown), data and file type, width, three more words, no comments, flags.
  const auto low = static_cast<uint8_t>(width), high = static_cast<uint8_t>(width >> 8);
  const Bytes tail = {0, 0, 0, 0, dataType, fileType, low, high, 0, 0, 0, 0, 0, 0, 0, flags};
  data.insert(data.end(), tail.begin(), tail.end());
  data.insert(data.end(), 22, 0);
  return data;
}
Bytes AnsiSauce(const std::string& text, uint16_t width, uint8_t flags,
                const std::string& title = "") {
  return WithSauce(B(text), sauce::Character, sauce::AnsiFileType, width, flags, title);
}

ArtImage Read(const Bytes& bytes, ArtFormat byName) {
  ArtImage image;
  const ArtFormat format = ArtFormatOf(bytes.data(), bytes.size(), byName);
  EXPECT_EQ(ReadArt(bytes.data(), bytes.size(), format, image), "");
  return image;
}

Bytes XBin(int width, int height, uint8_t flags, const Bytes& rest) {
  Bytes b = {'X', 'B', 'I',  'N', 26, static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height),
             0,   8,   flags};
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(AnsiArt, ReadsEachFeatureIntoExactlyTheCellsItDraws) {
  Bytes palette(48, 0);
  palette[3] = 42;                                       // entry 1: VGA red, (170, 0, 0) in 6 bits
  palette[12] = 63, palette[13] = 63, palette[14] = 21;  // entry 4: yellow
  Bytes bin(320, 0), sauced(160, 7);
  bin[0] = 'A', bin[1] = 0xF1, bin[160] = 'C', bin[161] = 0x1E;
  sauced[80] = 'Z', sauced[81] = 0xC2;
  struct Expect {
    int row, column, character, attribute;
  };
  auto Check = [](const char* name, const Bytes& bytes, int width, int height,
                  const std::vector<Expect>& cells, ArtFormat format = ArtFormat::Ansi,
                  bool ice = false) {
    SCOPED_TRACE(name);
    const ArtImage image = Read(bytes, format);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.iceColours, ice);
    ASSERT_EQ(image.cells.size(), static_cast<size_t>(image.width) * image.height);
    for (const Expect& e : cells) {
      SCOPED_TRACE("row " + std::to_string(e.row) + " column " + std::to_string(e.column));
      ASSERT_LT(e.row, image.height);
      const Cell& cell = image.cells[e.row * image.width + e.column];
      EXPECT_EQ(cell.Char, e.character);
      EXPECT_EQ(cell.Attributes, e.attribute);
    }
  };
  Check("plain text", B("AB"), 80, 1, {{0, 0, 'A', 7}, {0, 1, 'B', 7}, {0, 2, 32, 7}});
  Check("CR LF", B("A\r\nB"), 80, 2, {{1, 0, 'B', 7}});
  Check("LF returns the carriage", B("AB\nC"), 80, 2, {{1, 0, 'C', 7}});
  Check("a full line wraps at once", B(std::string(80, 'x') + "y"), 80, 2,
        {{0, 79, 'x', 7}, {1, 0, 'y', 7}});
  Check("tab", B("A\tB"), 80, 1, {{0, 8, 'B', 7}});
  Check("SUB ends the text", B("A\x1a\x42"), 80, 1, {{0, 1, 32, 7}});
  Check("code page 437 bytes", B("\xdb\xb1\x01"), 80, 1,
        {{0, 0, 0xDB, 7}, {0, 1, 0xB1, 7}, {0, 2, 1, 7}});
  Check("SGR colours and reset", B("\x1b[31mR\x1b[44mB\x1b[0mN"), 80, 1,
        {{0, 0, 'R', 0x04}, {0, 1, 'B', 0x14}, {0, 2, 'N', 0x07}});
  Check("bold brightens the foreground", B("\x1b[1;32mG\x1b[22mg"), 80, 1,
        {{0, 0, 'G', 0x0A}, {0, 1, 'g', 0x02}});
  Check("blink without iCE stays dark", B("\x1b[5;47mX"), 80, 1, {{0, 0, 'X', 0x77}});
  Check("blink with iCE is a bright background", AnsiSauce("\x1b[5;47mX", 80, sauce::IceColours),
        80, 1, {{0, 0, 'X', 0xF7}}, ArtFormat::Ansi, true);
  Check("aixterm bright colours", B("\x1b[93;104mY"), 80, 1, {{0, 0, 'Y', 0x9E}});
  Check("inverse", B("\x1b[36;41;7mI"), 80, 1, {{0, 0, 'I', 0x34}});
  Check("default colours", B("\x1b[33;42m\x1b[39;49mD"), 80, 1, {{0, 0, 'D', 0x07}});
  Check("cursor forward", B("A\x1b[3CB"), 80, 1, {{0, 4, 'B', 7}});
  Check("cursor position", B("\x1b[3;5HZ\x1b[HW"), 80, 3, {{2, 4, 'Z', 7}, {0, 0, 'W', 7}});
  Check("cursor down, up and back", B("\x1b[2BA\x1b[1AB\x1b[2DC"), 80, 3,
        {{2, 0, 'A', 7}, {1, 0, 'C', 7}, {1, 1, 'B', 7}});
  Check("moves stop at the edges", B("\x1b[5A\x1b[99DA\x1b[200CB"), 80, 1,
        {{0, 0, 'A', 7}, {0, 79, 'B', 7}});
  Check("save and restore", B("A\x1b[sB\x1b[5;5HC\x1b[uD"), 80, 5,
        {{0, 1, 'D', 7}, {4, 4, 'C', 7}});
  Check("clear screen", B("XYZ\x1b[2JA"), 80, 1, {{0, 0, 'A', 7}, {0, 1, 32, 7}});
  Check("erase to the end of the line", B("\x1b[41mABCD\x1b[3D\x1b[K"), 80, 1,
        {{0, 0, 'A', 0x47}, {0, 1, 32, 7}, {0, 3, 32, 7}});
  Check("modes and 24-bit colour do nothing", B("\x1b[?7h\x1b[1;255;0;0tQ\x1b[?33l"), 80, 1,
        {{0, 0, 'Q', 7}});
  Check("SAUCE width", AnsiSauce(std::string(41, 'w'), 40, 0), 40, 2,
        {{0, 39, 'w', 7}, {1, 0, 'w', 7}});
  Check("BIN without SAUCE: 80 columns, blink dropped", bin, 80, 2,
        {{0, 0, 'A', 0x71}, {1, 0, 'C', 0x1E}}, ArtFormat::Bin);
  Check("BIN with SAUCE: width and iCE",
        WithSauce(sauced, sauce::BinaryText, 20, 0, sauce::IceColours), 40, 2,
        {{1, 0, 'Z', 0xC2}, {0, 0, 7, 7}}, ArtFormat::Bin, true);
  Check("XBin plain, palette matched to the VGA colours",
        XBin(2, 1, 1 | 8, Join(palette, {'a', 0x41, 'b', 0x14})), 2, 1,
        {{0, 0, 'a', 0xE4}, {0, 1, 'b', 0x4E}}, ArtFormat::XBin, true);
  Check("XBin compressed, all four kinds of run, own font",
        XBin(8, 2, 1 | 2 | 4,
             Join(Join(palette, Bytes(8 * 256, 0x55)),
                  {0x01, 'p', 0x01, 'q', 0x10,   // plain: 2 cells
                   0x42, 'c', 0x01, 0x10, 0x01,  // same char: 3 cells
                   0x82, 0x10, 'x', 'y', 'z',    // same attribute: 3 cells
                   0xC7, 0xB2, 0x11})),          // the same cell 8 times
        8, 2,
        {{0, 0, 'p', 0x04},
         {0, 1, 'q', 0x40},
         {0, 2, 'c', 0x04},
         {0, 3, 'c', 0x40},
         {0, 4, 'c', 0x04},
         {0, 5, 'x', 0x40},
         {0, 7, 'z', 0x40},
         {1, 0, 0xB2, 0x44},
         {1, 7, 0xB2, 0x44}},
        ArtFormat::XBin);
}

TEST(AnsiArt, SauceGivesTheTitleAndItsAbsenceNothing) {
  const ArtImage with = Read(AnsiSauce("hi", 80, 0, "A Title"), ArtFormat::Ansi);
  EXPECT_TRUE(with.hasSauce);
  EXPECT_EQ(with.title, "A Title");
  const ArtImage without = Read(B("hi"), ArtFormat::Ansi);
  EXPECT_FALSE(without.hasSauce);
  EXPECT_EQ(without.title, "");
  // The record's data type outranks the file's name.
  const Bytes bin = WithSauce(Bytes(160, 'b'), sauce::BinaryText, 40, 0, 0);
  EXPECT_EQ(ArtFormatOf(bin.data(), bin.size(), ArtFormat::Ansi), ArtFormat::Bin);
}

TEST(AnsiArt, BrokenFilesGiveAnErrorThatSaysWhat) {
  auto Fails = [](const char* name, const Bytes& bytes, const char* want,
                  ArtFormat format = ArtFormat::Ansi) {
    ArtImage image;
    const std::string error = ReadArt(bytes.data(), bytes.size(), format, image);
    EXPECT_NE(error.find(want), std::string::npos) << name << ": " << error;
  };
  Fails("ESC without [", B("ab\x1bXcd"), "a broken escape sequence at byte 2");
  Fails("a control byte inside", B("\x1b[1\x01m"), "a broken escape sequence at byte 0");
  Fails("unfinished", B("x\x1b[12;3"), "an unfinished escape sequence at byte 1");
  Fails("overlong", B("\x1b[" + std::string(100, '1') + "m"), "an overlong escape sequence");
  Fails("empty", B(""), "no cells");
  Fails("too tall", B("\x1b[9999BX"), "more than 2500 rows");
  Fails("truncated XBin", XBin(4, 2, 0, Bytes(10, 1)), "it ends after 5 of its 8 cells (truncated)",
        ArtFormat::XBin);
  Fails("truncated compressed XBin", XBin(4, 2, 4, {0xC3, 'a', 1, 0x03, 'b'}),
        "it ends after 4 of its 8 cells (truncated)", ArtFormat::XBin);
  Fails("XBin cut in its palette", XBin(4, 2, 1, Bytes(20, 0)), "it ends inside its palette",
        ArtFormat::XBin);
  Fails("XBin of no cells", XBin(0, 2, 0, {}), "no cells", ArtFormat::XBin);
  Fails("XBin header cut", B("XBIN\x1a\x01"), "no XBin header", ArtFormat::XBin);
}

// Random screens through each writer and back; the record describes an
// 80x50 picture in iCE colours and the VGA 8x8 font. Damaged copies (cut
// short, bytes changed) give an error or a picture, never a crash (the
// sanitizer build watches), and never more rows than the limit.
TEST(AnsiArt, WrittenScreensReadBackExactlyAndDamagedCopiesNeverCrash) {
  std::mt19937 random(11);
  auto frame = std::make_unique<test::Frame>();
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < ScreenCellCount; ++i) {
      // Runs of repeats, so that every kind of XBin run is used.
      frame->cells[i] = random() % 3 == 0 && i > 0 ? frame->cells[i - 1]
                                                   : Cell{static_cast<uint16_t>(random() & 0xFF),
                                                          static_cast<uint16_t>(random() & 0xFF)};
    }
    for (const ArtFormat format : {ArtFormat::Ansi, ArtFormat::Bin, ArtFormat::XBin}) {
      SCOPED_TRACE(static_cast<int>(format));
      const Bytes bytes = WriteArt(format, frame->cells, {"cellshow at 1.000 s", "20240101"});
      const sauce::Record record = sauce::Read(bytes.data(), bytes.size());
      EXPECT_TRUE(record.present);
      EXPECT_EQ(record.title, "cellshow at 1.000 s");
      EXPECT_EQ(record.fontName, "IBM VGA50");
      EXPECT_EQ(record.flags & sauce::IceColours, sauce::IceColours);
      const ArtImage image = Read(bytes, ArtFormat::Ansi);  // the bytes say what they are
      ASSERT_EQ(image.width, 80);
      ASSERT_EQ(image.height, 50);
      int substituted = 0;
      for (int i = 0; i < ScreenCellCount; ++i) {
        const int ch = frame->cells[i].Char;
        const bool control = ch == 9 || ch == 10 || ch == 13 || ch == 26 || ch == 27;
        EXPECT_EQ(image.cells[i].Attributes, frame->cells[i].Attributes) << i;
        if (format == ArtFormat::Ansi && control) {
          ++substituted;
          EXPECT_NE(image.cells[i].Char, ch);
        } else {
          EXPECT_EQ(image.cells[i].Char, ch) << i;
        }
      }
      EXPECT_TRUE(format != ArtFormat::Ansi || substituted > 0);
      for (int damaged = 0; damaged < 100; ++damaged) {
        Bytes copy(bytes.begin(), bytes.begin() + random() % (bytes.size() + 1));
        for (int k = 0; k < 8 && !copy.empty(); ++k)
          copy[random() % copy.size()] = static_cast<uint8_t>(random());
        ArtImage got;
        if (ReadArt(copy.data(), copy.size(), format, got).empty()) {
          EXPECT_LE(got.height, MaxArtRows);
          EXPECT_EQ(got.cells.size(), static_cast<size_t>(got.width) * got.height);
        }
      }
    }
  }
}

}  // namespace
}  // namespace cellshow
