// The clipped tracer against the straightforward trace that visits every
// major position of the segment, on seeded random segments of every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "list_reader.h"
#include "raster/clipped_tracer.h"

namespace cellshow {
namespace {

constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax = std::numeric_limits<int32_t>::max();

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kScale = 4;  // sanitized builds run a quarter of the segments
#else
constexpr int kScale = 1;
#endif

// Makes x the major axis and (x0, y0) the end with the smaller major
// coordinate; returns whether the segment is steep (the axes were swapped).
bool Orient(int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) {
  const bool steep = (y1 > y0 ? y1 - y0 : y0 - y1) >= (x1 > x0 ? x1 - x0 : x0 - x1);
  if (steep) {
    std::swap(x0, y0);
    std::swap(x1, y1);
  }
  if (x0 >= x1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  return steep;
}

// The reference: every position from one end to the other, each point
// tested against the grid.
std::vector<uint16_t> ReferenceTrace(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const bool steep = Orient(x0, y0, x1, y1);
  const int64_t major = x1 - x0, minorSpan = y1 > y0 ? y1 - y0 : y0 - y1;
  const int64_t step = y0 < y1 ? 1 : -1;
  int64_t minor = y0, error = 0;
  std::vector<uint16_t> cells;
  for (int64_t pos = x0; pos <= x1; ++pos) {
    const int64_t row = steep ? pos : minor, column = steep ? minor : pos;
    if (row >= 0 && row < 50 && column >= 0 && column < 80)
      cells.push_back(static_cast<uint16_t>(80 * row + column));
    error += minorSpan;
    if (error >= 0 && 2 * error >= major) {
      minor += step;
      error -= major;
    }
  }
  return cells;
}

__extension__ typedef __int128 Int128;

// The trace in closed form at each major position on the grid: after k
// steps from the first end the minor coordinate has moved by k * e / d
// rounded half up (e the minor span, d the major span), computed in 128 bits.
std::vector<uint16_t> ClosedFormTrace(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const bool steep = Orient(x0, y0, x1, y1);
  const Int128 d = x1 - x0, e = y1 > y0 ? y1 - y0 : y0 - y1, step = y0 < y1 ? 1 : -1;
  std::vector<uint16_t> cells;
  for (int64_t pos = std::max<int64_t>(x0, 0); pos <= std::min<int64_t>(x1, steep ? 49 : 79);
       ++pos) {
    const Int128 k = pos - x0;
    const Int128 minor = y0 + (d == 0 ? 0 : step * ((2 * k * e + d) / (2 * d)));
    const Int128 row = steep ? pos : minor, column = steep ? minor : pos;
    if (row >= 0 && row < 50 && column >= 0 && column < 80)
      cells.push_back(static_cast<uint16_t>(80 * row + column));
  }
  return cells;
}

class Segments {
 public:
  explicit Segments(uint32_t seed) : random_(seed) {}

  int64_t Uniform(int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi)(random_);
  }
  int32_t Clamp(int64_t v) { return static_cast<int32_t>(v < kMin ? kMin : v > kMax ? kMax : v); }
  // A point within `reach` of a centre, clamped to int32.
  std::pair<int32_t, int32_t> Near(int64_t cx, int64_t cy, int64_t reach) {
    return {Clamp(cx + Uniform(-reach, reach)), Clamp(cy + Uniform(-reach, reach))};
  }

 private:
  std::mt19937_64 random_;
};

struct Kind {
  const char* what;
  int count;
  // Makes one segment's end points.
  std::function<std::array<int32_t, 4>(Segments&)> make;
};

TEST(ClippedTracerDifferential, MatchesThePerPositionTrace) {
  const int64_t extremes[] = {kMin, kMin + 1, -1, 0, 1, 49, 50, 79, 80, kMax - 1, kMax};
  const std::vector<Kind> kinds = {
      {"short, around the grid", 2'000'000,
       [](Segments& s) {
         auto [x0, y0] = s.Near(40, 25, 70);
         auto [x1, y1] = s.Near(x0, y0, s.Uniform(0, 1) ? 3 : 40);
         return std::array{x0, y0, x1, y1};
       }},
      {"medium, near the grid", 400'000,
       [](Segments& s) {
         auto [x0, y0] = s.Near(40, 25, 250);
         auto [x1, y1] = s.Near(40, 25, 250);
         return std::array{x0, y0, x1, y1};
       }},
      {"long, crossing the grid", 2'000,
       [](Segments& s) {
         const int64_t reach = int64_t{1} << s.Uniform(10, 18);
         auto [x0, y0] = s.Near(40, 25, reach);
         // the far end mirrored through a grid cell, so the line passes near it
         auto [cx, cy] = s.Near(40, 25, 45);
         return std::array{x0, y0, s.Clamp(2 * cx - x0), s.Clamp(2 * cy - y0)};
       }},
      {"short, far away", 500'000,
       [&](Segments& s) {
         auto [x0, y0] = s.Near(s.Uniform(kMin, kMax), s.Uniform(kMin, kMax), 0);
         auto [x1, y1] = s.Near(x0, y0, 50);
         return std::array{x0, y0, x1, y1};
       }},
      {"short, at the int32 extremes", 500'000,
       [&](Segments& s) {
         auto [x0, y0] = s.Near(extremes[s.Uniform(0, 10)], extremes[s.Uniform(0, 10)], 2);
         auto [x1, y1] = s.Near(s.Uniform(0, 3) ? x0 : extremes[s.Uniform(0, 10)],
                                s.Uniform(0, 3) ? y0 : extremes[s.Uniform(0, 10)], 60);
         if (std::abs(int64_t{x1} - x0) > 1000 || std::abs(int64_t{y1} - y0) > 1000)
           x1 = s.Clamp(x0 + s.Uniform(-60, 60));  // keep the reference loop short
         if (std::abs(int64_t{y1} - y0) > 1000) y1 = s.Clamp(y0 + s.Uniform(-60, 60));
         return std::array{x0, y0, x1, y1};
       }},
  };

  auto points = std::make_unique<Points>();
  int64_t total = 0;
  for (const Kind& kind : kinds) {
    Segments segments(static_cast<uint32_t>(total + 2024));
    const int count = kind.count / kScale;
    const auto begin = std::chrono::steady_clock::now();
    int64_t onGrid = 0;
    for (int i = 0; i < count; ++i) {
      const auto [x0, y0, x1, y1] = kind.make(segments);
      ResetPointList(*points);
      TraceClippedLine(*points, x0, y0, x1, y1);
      const std::vector<uint16_t> expected = ReferenceTrace(x0, y0, x1, y1);
      ASSERT_EQ(test::LineAt(*points, 0), expected)
          << kind.what << ": (" << x0 << ", " << y0 << ") to (" << x1 << ", " << y1 << ")";
      onGrid += !expected.empty();
      if (i % 64 == 0) {
        ASSERT_EQ(ClosedFormTrace(x0, y0, x1, y1), expected);
      }
    }
    total += count;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - begin)
                        .count();
    std::cout << kind.what << ": " << count << " segments (" << onGrid << " touch the grid), " << ms
              << " ms\n";
  }
  std::cout << "compared " << total << " random segments\n";
  RecordProperty("segments", std::to_string(total));
}

// Segments too long for the per-position loop (end points anywhere in int32,
// INT32_MIN and INT32_MAX included) against the closed form, which the test
// above checks against the loop.
TEST(ClippedTracerDifferential, FullRangeSegmentsMatchTheClosedForm) {
  struct Case {
    int32_t x0, y0, x1, y1;
    std::vector<uint16_t> cells;
  };
  std::vector<uint16_t> diagonal, row, column;
  for (int i = 0; i < 50; ++i) diagonal.push_back(test::Cell(i, i));
  for (int i = 0; i < 80; ++i) row.push_back(test::Cell(i, 7));
  for (int i = 0; i < 50; ++i) column.push_back(test::Cell(79, i));
  const int32_t lo = kMin, hi = kMax;
  const Case cases[] = {
      {lo, lo, hi, hi, diagonal}, {hi, hi, lo, lo, diagonal}, {lo, 7, hi, 7, row},
      {79, hi, 79, lo, column},   {lo, hi, hi, lo, {}},       {lo, lo, lo, hi, {}},
      {hi, lo, hi, hi, {}},       {lo, lo, lo, lo, {}},       {hi, hi, hi, hi, {}},
  };
  auto points = std::make_unique<Points>();
  for (const Case& c : cases) {
    ResetPointList(*points);
    TraceClippedLine(*points, c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(test::LineAt(*points, 0), c.cells)
        << "(" << c.x0 << ", " << c.y0 << ") to (" << c.x1 << ", " << c.y1 << ")";
  }

  const int64_t extremes[] = {kMin, kMin + 1, kMax - 1, kMax};
  Segments segments(99);
  const int count = 300'000 / kScale;
  int onGrid = 0;
  for (int i = 0; i < count; ++i) {
    auto coordinate = [&] {
      return segments.Uniform(0, 2) ? segments.Clamp(segments.Uniform(kMin, kMax))
                                    : static_cast<int32_t>(extremes[segments.Uniform(0, 3)]);
    };
    const int32_t x0 = coordinate(), y0 = coordinate();
    // Half of them aimed through a cell of the grid, so that they cross it.
    const bool aimed = segments.Uniform(0, 1);
    const auto [cx, cy] = segments.Near(40, 25, 45);
    const int32_t x1 = aimed ? segments.Clamp(2 * int64_t{cx} - x0) : coordinate();
    const int32_t y1 = aimed ? segments.Clamp(2 * int64_t{cy} - y0) : coordinate();
    ResetPointList(*points);
    TraceClippedLine(*points, x0, y0, x1, y1);
    const std::vector<uint16_t> expected = ClosedFormTrace(x0, y0, x1, y1);
    ASSERT_EQ(test::LineAt(*points, 0), expected)
        << "(" << x0 << ", " << y0 << ") to (" << x1 << ", " << y1 << ")";
    onGrid += !expected.empty();
  }
  std::cout << "full range: " << count << " segments (" << onGrid << " touch the grid)\n";
  RecordProperty("segments", std::to_string(count));
}

}  // namespace
}  // namespace cellshow
