// .BIN (cells only) and XBin (a header, palette, font and cells, plain or
// compressed in runs).
#include <cstring>
#include <string>

#include "render/art/art_codecs.h"
#include "render/match/lab_colour.h"
#include "render/pixels/cp437_font.h"
#include "render/pixels/vga_palette.h"

namespace cellshow::art {
namespace {

constexpr uint8_t XBinSignature[5] = {'X', 'B', 'I', 'N', 26};
constexpr size_t XBinHeaderSize = 11;
enum : uint8_t {
  HasPalette = 1,
  HasFont = 2,
  Compressed = 4,
  NonBlink = 8,
  FiveTwelveChars = 16,
};
// A compressed run: 2 bits of kind, 6 bits of length - 1.
enum : uint8_t { Plain = 0, SameChar = 1, SameAttribute = 2, SameCell = 3 };
constexpr int LongestRun = 64;

std::string CheckSize(int width, int height) {
  if (width <= 0 || height <= 0) return "no cells (a width or height of 0)";
  if (width > MaxArtColumns) return std::to_string(width) + " columns, too wide";
  if (height > MaxArtRows) return "more than " + std::to_string(MaxArtRows) + " rows";
  return {};
}

// Without iCE colours attribute bit 7 blinks, which the show cannot: the
// background stays dark.
void DropBlink(ArtImage& image) {
  for (Cell& c : image.cells) c.Attributes &= 0x7F;
}

}  // namespace

std::string ReadBin(const uint8_t* bytes, size_t size, const sauce::Record& record, ArtImage& out) {
  int width = 80;
  size_t length = size;
  if (record.present && record.dataType == sauce::BinaryText) {
    if (record.fileType != 0) width = 2 * record.fileType;
    if (record.fileSize != 0 && record.fileSize < length) length = record.fileSize;
  }
  const size_t rowBytes = 2 * static_cast<size_t>(width);
  // A last row cut short is kept, blank where it ends.
  const size_t rows = (length + rowBytes - 1) / rowBytes;
  if (const std::string bad =
          CheckSize(width, rows > MaxArtRows ? MaxArtRows + 1 : static_cast<int>(rows));
      !bad.empty())
    return bad;
  out.width = width;
  out.height = static_cast<int>(rows);
  out.cells.assign(rows * width, BlankCell);
  for (size_t i = 0; i + 1 < length; i += 2) out.cells[i / 2] = {bytes[i], bytes[i + 1]};
  out.iceColours = record.present && (record.flags & sauce::IceColours) != 0;
  if (!out.iceColours) DropBlink(out);
  return {};
}

std::string ReadXBin(const uint8_t* bytes, size_t size, ArtImage& out) {
  if (size < XBinHeaderSize || std::memcmp(bytes, XBinSignature, 5) != 0) return "no XBin header";
  const int width = bytes[5] | bytes[6] << 8;
  const int height = bytes[7] | bytes[8] << 8;
  const int fontHeight = bytes[9];
  const uint8_t flags = bytes[10];
  if (const std::string bad = CheckSize(width, height); !bad.empty()) return bad;
  size_t at = XBinHeaderSize;
  uint8_t colourOf[16];
  for (int i = 0; i < 16; ++i) colourOf[i] = static_cast<uint8_t>(i);
  if (flags & HasPalette) {
    if (size - at < 48) return "it ends inside its palette (truncated)";
    for (int i = 0; i < 16; ++i) {
      const uint8_t* rgb = bytes + at + 3 * i;  // 6 bits a channel
      auto eight = [](uint8_t six) { return static_cast<uint8_t>((six & 63) * 255 / 63); };
      colourOf[i] =
          static_cast<uint8_t>(NearestVgaColour({eight(rgb[0]), eight(rgb[1]), eight(rgb[2])}));
    }
    at += 48;
    out.ownPalette = true;
  }
  if (flags & HasFont) {
    const size_t fontBytes = static_cast<size_t>(fontHeight == 0 ? 16 : fontHeight) *
                             (flags & FiveTwelveChars ? 512 : 256);
    if (size - at < fontBytes) return "it ends inside its font (truncated)";
    at += fontBytes;
    out.ownFont = true;
  }
  const size_t count = static_cast<size_t>(width) * height;
  std::vector<Cell> cells;
  cells.reserve(count);
  auto shortBy = [&] {
    return "it ends after " + std::to_string(cells.size()) + " of its " + std::to_string(count) +
           " cells (truncated)";
  };
  if (flags & Compressed) {
    while (cells.size() < count) {
      if (at >= size) return shortBy();
      const uint8_t head = bytes[at++];
      const int kind = head >> 6;
      const size_t run = std::min<size_t>((head & 63) + 1, count - cells.size());
      const size_t need = kind == Plain ? 2 * run : kind == SameCell ? 2 : 1 + run;
      if (size - at < need) return shortBy();
      for (size_t k = 0; k < run; ++k) {
        switch (kind) {
          case Plain:
            cells.push_back({bytes[at + 2 * k], bytes[at + 2 * k + 1]});
            break;
          case SameChar:
            cells.push_back({bytes[at], bytes[at + 1 + k]});
            break;
          case SameAttribute:
            cells.push_back({bytes[at + 1 + k], bytes[at]});
            break;
          default:
            cells.push_back({bytes[at], bytes[at + 1]});
            break;
        }
      }
      at += need;
    }
  } else {
    if (size - at < 2 * count) {
      for (size_t i = at; i + 1 < size; i += 2) cells.push_back({bytes[i], bytes[i + 1]});
      return shortBy();
    }
    for (size_t i = 0; i < count; ++i) cells.push_back({bytes[at + 2 * i], bytes[at + 2 * i + 1]});
  }
  for (Cell& c : cells) {
    const unsigned a = c.Attributes;
    // With 512 characters, foreground bit 3 picks the half of the font.
    const unsigned fg = flags & FiveTwelveChars ? a & 7 : a & 15;
    c.Attributes = static_cast<uint16_t>(colourOf[(a >> 4) & 15] << 4 | colourOf[fg]);
  }
  out.width = width;
  out.height = height;
  out.cells = std::move(cells);
  out.iceColours = (flags & NonBlink) != 0;
  if (!out.iceColours) DropBlink(out);
  return {};
}

std::vector<uint8_t> WriteBin(const ScreenCells& cells) {
  std::vector<uint8_t> out;
  out.reserve(2 * ScreenCellCount);
  for (const Cell& c : cells) {
    out.push_back(static_cast<uint8_t>(c.Char));
    out.push_back(static_cast<uint8_t>(c.Attributes));
  }
  return out;
}

std::vector<uint8_t> WriteXBin(const ScreenCells& cells) {
  std::vector<uint8_t> out(XBinSignature, XBinSignature + 5);
  for (const int v : {ScreenWidth, ScreenHeight}) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  out.push_back(GlyphSize);
  out.push_back(HasPalette | HasFont | Compressed | NonBlink);
  for (const Rgb& c : VgaPalette)
    for (const uint8_t v : {c.r, c.g, c.b}) out.push_back(static_cast<uint8_t>(v >> 2));
  for (int code = 0; code < 256; ++code) {
    const auto& rows = GlyphRows(static_cast<uint8_t>(code));
    out.insert(out.end(), rows.begin(), rows.end());
  }
  // Runs stay within a row. Greedy: a run of equal cells, else of one
  // attribute or one character (three or more), else plain cells up to
  // where such a run starts.
  auto ch = [&](int i) { return static_cast<uint8_t>(cells[i].Char); };
  auto at = [&](int i) { return static_cast<uint8_t>(cells[i].Attributes); };
  for (int row = 0; row < ScreenHeight; ++row) {
    const int end = (row + 1) * ScreenWidth;
    int i = row * ScreenWidth;
    auto runOf = [&](int from, auto same) {
      int n = 1;
      while (from + n < end && n < LongestRun && same(from, from + n)) ++n;
      return n;
    };
    auto sameCell = [&](int a, int b) { return ch(a) == ch(b) && at(a) == at(b); };
    auto sameChar = [&](int a, int b) { return ch(a) == ch(b); };
    auto sameAttribute = [&](int a, int b) { return at(a) == at(b); };
    while (i < end) {
      const int cellsRun = runOf(i, sameCell);
      const int attributeRun = runOf(i, sameAttribute);
      const int charRun = runOf(i, sameChar);
      if (cellsRun >= 2) {
        out.push_back(static_cast<uint8_t>(SameCell << 6 | (cellsRun - 1)));
        out.push_back(ch(i));
        out.push_back(at(i));
        i += cellsRun;
      } else if (attributeRun >= 3 && attributeRun >= charRun) {
        out.push_back(static_cast<uint8_t>(SameAttribute << 6 | (attributeRun - 1)));
        out.push_back(at(i));
        for (int k = 0; k < attributeRun; ++k) out.push_back(ch(i + k));
        i += attributeRun;
      } else if (charRun >= 3) {
        out.push_back(static_cast<uint8_t>(SameChar << 6 | (charRun - 1)));
        out.push_back(ch(i));
        for (int k = 0; k < charRun; ++k) out.push_back(at(i + k));
        i += charRun;
      } else {
        int n = 1;
        while (i + n < end && n < LongestRun && runOf(i + n, sameCell) < 2 &&
               runOf(i + n, sameAttribute) < 3 && runOf(i + n, sameChar) < 3)
          ++n;
        out.push_back(static_cast<uint8_t>(Plain << 6 | (n - 1)));
        for (int k = 0; k < n; ++k) {
          out.push_back(ch(i + k));
          out.push_back(at(i + k));
        }
        i += n;
      }
    }
  }
  return out;
}

}  // namespace cellshow::art
