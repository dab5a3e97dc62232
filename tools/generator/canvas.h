#pragma once
// Drawing helpers for the generator: integer trigonometry (so that the output
// does not depend on the C library), a small random generator, the names of
// the console colours and glyphs it uses, and a small bitmap font.
#include <cstdint>

#include "show_data.h"

namespace cellshow::datagen {

constexpr int Columns = 80;
constexpr int Rows = 50;

// Code page 437 characters used by the animations.
enum Glyph : uint8_t {
  Space = 32,
  LightShade = 176,
  MediumShade = 177,
  DarkShade = 178,
  FullBlock = 219,
  LowerHalf = 220,
  UpperHalf = 223,
  SmallDot = 250,
  MiddleDot = 249,
  SmallSquare = 254,
  HorizontalLine = 196,
  VerticalLine = 179,
  Sun = 15,
};

// Console colours.
enum Colour : uint8_t {
  Black = 0,
  Blue = 1,
  Green = 2,
  Cyan = 3,
  Red = 4,
  Magenta = 5,
  Brown = 6,
  LightGrey = 7,
  DarkGrey = 8,
  LightBlue = 9,
  LightGreen = 10,
  LightCyan = 11,
  LightRed = 12,
  LightMagenta = 13,
  Yellow = 14,
  White = 15,
};

constexpr uint8_t Attr(uint8_t foreground, uint8_t background) {
  return static_cast<uint8_t>((background << 4) | (foreground & 15));
}

// Angles are in 1/65536 of a turn; sines and cosines are in 1/65536.
constexpr int32_t FullTurn = 65536;
constexpr int32_t Unit = 65536;
int32_t Sin(int32_t angle);
int32_t Cos(int32_t angle);
// The angle of (x, y) from the x axis, 0 to 65535, counter-clockwise when y
// grows upwards. (0, 0) gives 0.
int32_t Atan2(int64_t y, int64_t x);
int64_t ISqrt(int64_t value);
// value * Sin(angle) / Unit, rounded toward minus infinity.
inline int64_t MulSin(int64_t value, int32_t angle) { return (value * Sin(angle)) >> 16; }
inline int64_t MulCos(int64_t value, int32_t angle) { return (value * Cos(angle)) >> 16; }

// A 32-bit xorshift generator: the same sequence on every machine.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed != 0 ? seed : 0x9e3779b9u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // 0 to n - 1.
  int32_t Below(int32_t n) { return static_cast<int32_t>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint32_t state_;
};

// A 5x7 bitmap font for the letters, digits and signs that the pictures
// use; unknown characters are blank.
constexpr int FontWidth = 5;
constexpr int FontHeight = 7;
bool FontPixel(char c, int column, int row);

}  // namespace cellshow::datagen
