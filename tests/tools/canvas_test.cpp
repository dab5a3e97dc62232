// The generator's integer trigonometry: its output must not depend on the
// C library, so these are checked against known values.
#include "canvas.h"

#include <gtest/gtest.h>

namespace cellshow {
namespace {

using namespace cellshow::datagen;

TEST(Trigonometry, SineAndCosineOfKnownAngles) {
  struct Case {
    int32_t angle;  // 1/65536 turn
    int32_t sine;   // 1/65536
  };
  const Case cases[] = {
      {0, 0},
      {16384, 65536},
      {32768, 0},
      {49152, -65536},
      {65536, 0},
      {8192, 46341},
      {5461, 32768},
      {-5461, -32768},
      {32768 + 5461, -32768},
      {65536 + 16384, 65536},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.angle);
    EXPECT_NEAR(Sin(c.angle), c.sine, 2);
    EXPECT_NEAR(Cos(c.angle - 16384), c.sine, 2);
  }
}

TEST(Trigonometry, Atan2FindsTheAngleInEveryQuadrant) {
  struct Case {
    int64_t y, x;
    int32_t angle;
  };
  const Case cases[] = {
      {0, 1, 0},
      {1, 1, 8192},
      {1, 0, 16384},
      {1, -1, 24576},
      {0, -5, 32768},
      {-1, -1, 40960},
      {-7, 0, 49152},
      {-1, 1, 57344},
      {0, 0, 0},
      {1000, 1732, 5461},
      {-1000000, 1732051, 65536 - 5461},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << ", " << c.x);
    EXPECT_NEAR(Atan2(c.y, c.x), c.angle, 2);
  }
  // Atan2 undoes Sin and Cos all the way round.
  for (int32_t a = 0; a < 65536; a += 997) {
    const int32_t back = Atan2(Sin(a), Cos(a));
    EXPECT_NEAR(back, a, 3) << a;
  }
}

TEST(Trigonometry, IntegerSquareRootRoundsDown) {
  const int64_t cases[][2] = {{0, 0},
                              {1, 1},
                              {3, 1},
                              {4, 2},
                              {15, 3},
                              {16, 4},
                              {1000000000000, 1000000},
                              {-9, 0},
                              {999999999999, 999999}};
  for (const auto& c : cases) EXPECT_EQ(ISqrt(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace cellshow
