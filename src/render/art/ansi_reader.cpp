// .ANS: code page 437 text with ECMA-48 control sequences, interpreted on a
// grid as wide as SAUCE says (80 without it) and as tall as the art.
#include <algorithm>
#include <string>

#include "render/art/art_codecs.h"

namespace cellshow::art {
namespace {

constexpr uint8_t Tab = 9, LineFeed = 10, CarriageReturn = 13, Escape = 27;
// A longer sequence is not art but garbage (real ones are under 20 bytes).
constexpr size_t LongestSequence = 64;
constexpr int LargestParameter = 9999;

// ANSI colour numbers (1 red, 4 blue) as console colours (1 blue, 4 red).
constexpr uint8_t ConsoleColour(int ansi) {
  return static_cast<uint8_t>((ansi & 2) | (ansi & 1) << 2 | (ansi & 4) >> 2);
}

class AnsiScreen {
 public:
  AnsiScreen(int width, bool ice) : width_(width), ice_(ice) {}

  // False when the art would grow past MaxArtRows.
  bool Put(uint8_t character) {
    if (!Reach(row_)) return false;
    cells_[static_cast<size_t>(row_) * width_ + column_] = {character, Attribute()};
    height_ = std::max(height_, row_ + 1);
    if (++column_ == width_) NewLine();
    return true;
  }
  void NewLine() {
    column_ = 0;
    row_ = std::min(row_ + 1, MaxArtRows);
  }
  void Return() { column_ = 0; }
  void Tabulate() {
    column_ = (column_ / 8 + 1) * 8;
    if (column_ >= width_) NewLine();
  }
  // One control sequence: its parameters and final byte.
  void Control(const int* p, int count, uint8_t final) {
    const int first = count > 0 ? p[0] : 0;
    const int steps = std::max(first, 1);
    switch (final) {
      case 'A':
        row_ = std::max(row_ - steps, 0);
        break;
      case 'B':
        row_ = std::min(row_ + steps, MaxArtRows);
        break;
      case 'C':
        column_ = std::min(column_ + steps, width_ - 1);
        break;
      case 'D':
        column_ = std::max(column_ - steps, 0);
        break;
      case 'H':
      case 'f':
        row_ = std::min(std::max(first, 1) - 1, MaxArtRows);
        column_ = std::min(std::max(count > 1 ? p[1] : 1, 1) - 1, width_ - 1);
        break;
      case 'J':
        if (first == 2) {  // the whole screen, and home, as ANSI.SYS does
          std::fill(cells_.begin(), cells_.end(), BlankCell);
          row_ = column_ = 0;
        }
        break;
      case 'K':
        if (first == 0 && row_ < Rows())
          for (int x = column_; x < width_; ++x)
            cells_[static_cast<size_t>(row_) * width_ + x] = BlankCell;
        break;
      case 's':
        savedRow_ = row_, savedColumn_ = column_;
        break;
      case 'u':
        row_ = savedRow_, column_ = savedColumn_;
        break;
      case 'm':
        if (count == 0) Graphic(0);
        for (int i = 0; i < count; ++i) Graphic(p[i]);
        break;
      default:
        break;  // modes (h, l), 24-bit colour (t) and the rest: no effect on cells
    }
  }

  void Finish(ArtImage& out) {
    cells_.resize(static_cast<size_t>(height_) * width_);
    out.width = width_;
    out.height = height_;
    out.cells = std::move(cells_);
  }

 private:
  int Rows() const { return static_cast<int>(cells_.size() / width_); }
  bool Reach(int row) {
    if (row >= MaxArtRows) return false;
    if (row >= Rows()) cells_.resize(static_cast<size_t>(row + 1) * width_, BlankCell);
    return true;
  }
  void Graphic(int code) {
    if (code == 0) {
      foreground_ = 7, background_ = 0, bold_ = blink_ = inverse_ = false;
    } else if (code == 1) {
      bold_ = true;
    } else if (code == 5 || code == 6) {
      blink_ = true;
    } else if (code == 7) {
      inverse_ = true;
    } else if (code == 22) {
      bold_ = false;
    } else if (code == 25) {
      blink_ = false;
    } else if (code == 27) {
      inverse_ = false;
    } else if (code >= 30 && code <= 37) {
      foreground_ = ConsoleColour(code - 30);
    } else if (code == 39) {
      foreground_ = 7;
    } else if (code >= 40 && code <= 47) {
      background_ = ConsoleColour(code - 40);
    } else if (code == 49) {
      background_ = 0;
    } else if (code >= 90 && code <= 97) {
      foreground_ = static_cast<uint8_t>(ConsoleColour(code - 90) | 8);
    } else if (code >= 100 && code <= 107) {
      background_ = static_cast<uint8_t>(ConsoleColour(code - 100) | 8);
    }
  }
  uint16_t Attribute() const {
    uint8_t fg = static_cast<uint8_t>(foreground_ | (bold_ ? 8 : 0));
    uint8_t bg = static_cast<uint8_t>(background_ | (blink_ && ice_ ? 8 : 0));
    if (inverse_) std::swap(fg, bg);
    return static_cast<uint16_t>(bg << 4 | fg);
  }

  int width_;
  bool ice_;
  std::vector<Cell> cells_;
  int row_ = 0, column_ = 0, height_ = 0;
  int savedRow_ = 0, savedColumn_ = 0;
  uint8_t foreground_ = 7, background_ = 0;
  bool bold_ = false, blink_ = false, inverse_ = false;
};

std::string At(const char* what, size_t offset) {
  return std::string(what) + " at byte " + std::to_string(offset);
}

}  // namespace

std::string ReadAnsi(const uint8_t* bytes, size_t size, const sauce::Record& record,
                     ArtImage& out) {
  int width = 80;
  if (record.present && record.dataType == sauce::Character && record.info[0] != 0)
    width = record.info[0];
  if (width > MaxArtColumns) return "SAUCE gives a width of " + std::to_string(width) + " columns";
  const bool ice = record.present && (record.flags & sauce::IceColours) != 0;
  AnsiScreen screen(width, ice);
  const std::string tooTall = "more than " + std::to_string(MaxArtRows) + " rows";
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = bytes[i];
    if (byte == sauce::EndOfFile) break;
    if (byte == LineFeed) {
      screen.NewLine();
    } else if (byte == CarriageReturn) {
      screen.Return();
    } else if (byte == Tab) {
      screen.Tabulate();
    } else if (byte != Escape) {
      if (!screen.Put(byte)) return tooTall;
    } else {
      const size_t start = i;
      if (i + 1 >= size || bytes[i + 1] != '[') return At("a broken escape sequence", start);
      i += 2;
      int parameters[16];
      int count = 0, value = -1;
      for (;; ++i) {
        if (i >= size) return At("an unfinished escape sequence", start);
        if (i - start > LongestSequence) return At("an overlong escape sequence", start);
        const uint8_t b = bytes[i];
        if (b >= '0' && b <= '9') {
          value = std::min((value < 0 ? 0 : value) * 10 + (b - '0'), LargestParameter);
        } else if (b == ';') {
          if (count < 16) parameters[count++] = value < 0 ? 0 : value;
          value = -1;
        } else if (b >= 0x3C && b <= 0x3F) {
          // private markers (<=>?): kept in the sequence, no meaning here
        } else if (b >= 0x20 && b <= 0x2F) {
          // intermediate bytes
        } else if (b >= 0x40 && b <= 0x7E) {
          if (value >= 0 && count < 16) parameters[count++] = value;
          screen.Control(parameters, count, b);
          break;
        } else {
          return At("a broken escape sequence", start);
        }
      }
    }
  }
  screen.Finish(out);
  out.iceColours = ice;
  return {};
}

}  // namespace cellshow::art
