#include "canvas.h"

#include <array>

namespace cellshow::datagen {
namespace {

constexpr int32_t QuarterTurn = FullTurn / 4;

// sin over a quarter turn, 0 to QuarterTurn inclusive, in 1/65536. Each entry
// is a Taylor series summed in 2^-30 fixed point, exact to well below the
// last bit kept.
const std::array<int32_t, QuarterTurn + 1>& QuarterSine() {
  static const std::array<int32_t, QuarterTurn + 1> table = [] {
    std::array<int32_t, QuarterTurn + 1> t{};
    constexpr int64_t HalfPiQ30 = 1686629713;  // pi / 2 * 2^30
    for (int32_t i = 0; i <= QuarterTurn; ++i) {
      const int64_t x = HalfPiQ30 * i / QuarterTurn;
      int64_t term = x;
      int64_t sum = x;
      for (int64_t n = 1; n <= 10; ++n) {
        term = -(((term * x) >> 30) * x >> 30) / ((2 * n) * (2 * n + 1));
        sum += term;
      }
      t[i] = static_cast<int32_t>((sum + (1 << 13)) >> 14);
    }
    return t;
  }();
  return table;
}

}  // namespace

int32_t Sin(int32_t angle) {
  const auto& q = QuarterSine();
  const int32_t a = angle & (FullTurn - 1);
  const int32_t r = a & (QuarterTurn - 1);
  switch (a / QuarterTurn) {
    case 0:
      return q[r];
    case 1:
      return q[QuarterTurn - r];
    case 2:
      return -q[r];
    default:
      return -q[QuarterTurn - r];
  }
}

int32_t Cos(int32_t angle) { return Sin(angle + QuarterTurn); }

int32_t Atan2(int64_t y, int64_t x) {
  if (x == 0 && y == 0) return 0;
  const int64_t ax = x < 0 ? -x : x;
  const int64_t ay = y < 0 ? -y : y;
  const auto& q = QuarterSine();
  // The largest angle in the first quadrant whose tangent is at most ay / ax.
  int32_t lo = 0, hi = QuarterTurn;
  while (lo < hi) {
    const int32_t mid = (lo + hi + 1) / 2;
    if (q[mid] * ax <= q[QuarterTurn - mid] * ay)
      lo = mid;
    else
      hi = mid - 1;
  }
  int32_t angle = lo;
  if (x < 0) angle = FullTurn / 2 - angle;
  if (y < 0) angle = FullTurn - angle;
  return angle & (FullTurn - 1);
}

int64_t ISqrt(int64_t value) {
  if (value <= 0) return 0;
  int64_t root = 0;
  int64_t bit = int64_t{1} << 62;
  while (bit > value) bit >>= 2;
  while (bit != 0) {
    if (value >= root + bit) {
      value -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return root;
}

namespace {

struct FontEntry {
  char c;
  const char* rows[FontHeight];
};

constexpr FontEntry Font[] = {
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"}},
    {'x', {"     ", "     ", "#   #", " # # ", "  #  ", " # # ", "#   #"}},
};

}  // namespace

bool FontPixel(char c, int column, int row) {
  if (column < 0 || column >= FontWidth || row < 0 || row >= FontHeight) return false;
  for (const FontEntry& e : Font)
    if (e.c == c) return e.rows[row][column] == '#';
  return false;
}

}  // namespace cellshow::datagen
