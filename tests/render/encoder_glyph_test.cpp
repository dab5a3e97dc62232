// The code page 437 glyph table and the console colour mapping.
#include <gtest/gtest.h>

#include <string>

#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/ansi/frame_encoder.h"

namespace cellshow {
namespace {

TEST(Cp437Glyphs, SpotChecks) {
  const struct {
    int byte;
    char16_t codePoint;
    const char* utf8;
  } cases[] = {
      {0x00, u' ', " "},
      {0x01, u'\u263A', "\u263A"},  // blank, smiling face
      {0x02, u'\u263B', "\u263B"},
      {0x07, u'\u2022', "\u2022"},  // bullet
      {0x0A, u'\u25D9', "\u25D9"},
      {0x0D, u'\u266A', "\u266A"},
      {0x1B, u'\u2190', "\u2190"},
      {0x1F, u'\u25BC', "\u25BC"},
      {0x20, u' ', " "},
      {'A', u'A', "A"},
      {'~', u'~', "~"},
      {0x7F, u'\u2302', "\u2302"},  // house
      {0x80, u'\u00C7', "\u00C7"},
      {0x9E, u'\u20A7', "\u20A7"},
      {0xB0, u'\u2591', "\u2591"},
      {0xB3, u'\u2502', "\u2502"},  // light shade, box line
      {0xC9, u'\u2554', "\u2554"},
      {0xDB, u'\u2588', "\u2588"},  // full block
      {0xDF, u'\u2580', "\u2580"},
      {0xE0, u'\u03B1', "\u03B1"},
      {0xE3, u'\u03C0', "\u03C0"},
      {0xF8, u'\u00B0', "\u00B0"},
      {0xFE, u'\u25A0', "\u25A0"},
      {0xFF, u'\u00A0', "\u00A0"},  // no-break space
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.byte);
    EXPECT_EQ(Cp437CodePoints[c.byte], c.codePoint);
    const Utf8Glyph& g = Cp437Utf8[c.byte];
    EXPECT_EQ(std::string(g.bytes, g.size), c.utf8);
  }
}

TEST(Cp437Glyphs, EveryByteHasItsOwnPrintableGlyph) {
  for (int a = 0; a < 256; ++a) {
    EXPECT_GE(Cp437CodePoints[a], 0x20) << a;  // no control characters
    EXPECT_FALSE(Cp437CodePoints[a] >= 0x7F && Cp437CodePoints[a] < 0xA0) << a;
    for (int b = a + 1; b < 256; ++b) {
      if (a == 0 && b == 0x20) continue;  // 0 shows as a blank, like the space
      EXPECT_NE(Cp437CodePoints[a], Cp437CodePoints[b]) << a << " " << b;
    }
  }
}

TEST(ConsoleColours, ConsoleOrderIsNotAnsiOrder) {
  const struct {
    int console, ansi;
    const char *fg, *bg, *trueFg, *trueBg;
  } cases[] = {
      {0, 0, "30", "40", "38;2;0;0;0", "48;2;0;0;0"},
      {1, 4, "34", "44", "38;2;0;0;170", "48;2;0;0;170"},      // blue
      {2, 2, "32", "42", "38;2;0;170;0", "48;2;0;170;0"},      // green
      {3, 6, "36", "46", "38;2;0;170;170", "48;2;0;170;170"},  // cyan
      {4, 1, "31", "41", "38;2;170;0;0", "48;2;170;0;0"},      // red
      {6, 3, "33", "43", "38;2;170;85;0", "48;2;170;85;0"},    // brown
      {7, 7, "37", "47", "38;2;170;170;170", "48;2;170;170;170"},
      {8, 8, "90", "100", "38;2;85;85;85", "48;2;85;85;85"},
      {9, 12, "94", "104", "38;2;85;85;255", "48;2;85;85;255"},
      {12, 9, "91", "101", "38;2;255;85;85", "48;2;255;85;85"},
      {14, 11, "93", "103", "38;2;255;255;85", "48;2;255;255;85"},
      {15, 15, "97", "107", "38;2;255;255;255", "48;2;255;255;255"},
  };
  auto text = [](const SgrParameter& p) { return std::string(p.text, p.size); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.console);
    EXPECT_EQ(AnsiColor(c.console), c.ansi);
    EXPECT_EQ(text(AnsiForeground[c.console]), c.fg);
    EXPECT_EQ(text(AnsiBackground[c.console]), c.bg);
    EXPECT_EQ(text(TrueForeground[c.console]), c.trueFg);
    EXPECT_EQ(text(TrueBackground[c.console]), c.trueBg);
  }
}

// Two cells with the same key look the same; the key keeps everything else.
TEST(VisibleKey, LeavesOutOnlyWhatCannotBeSeen) {
  const struct {
    Cell a, b;
    bool same;
  } cases[] = {
      {{0, 0x41}, {32, 0x4E}, true},  // blanks: only the background shows
      {{0xFF, 0x17}, {0xFF, 0x1C}, true},   {{0, 0x41}, {32, 0x51}, false},
      {{0xFF, 0x10}, {32, 0x10}, false},   // a no-break space is its own glyph
      {{0xDB, 0x0C}, {0xDB, 0xFC}, true},  // full block: only the foreground shows
      {{0xDB, 0x0C}, {0xDB, 0x0D}, false},  {{'A', 0x1F}, {'A', 0x2F}, false},
      {{'A', 0x1F}, {'A', 0x1E}, false},    {{0xB2, 0x1F}, {0xB1, 0x1F}, false},
      {{0x141, 0x11F}, {0x41, 0x1F}, true},  // only the low bytes count
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VisibleKey(c.a) == VisibleKey(c.b), c.same)
        << c.a.Char << "/" << c.a.Attributes << " vs " << c.b.Char << "/" << c.b.Attributes;
  }
}

}  // namespace
}  // namespace cellshow
