// Fixed-point matrices: the composed step matrices, rounding, wrapping.
#include "math3d/fixed_point.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace cellshow {
namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

std::vector<int32_t> Entries(const Mat4& m) { return {m.m, m.m + 16}; }

TEST(FixedPoint, ComposesTheStepMatrices) {
  Matrices mx;
  EXPECT_EQ(Entries(mx.SpinA), std::vector<int32_t>(16, 0));
  EXPECT_EQ(Entries(mx.FlightMatrix), Entries(InitialFlightMatrix));
  ComposeSpinMatrices(mx);
  EXPECT_EQ(Entries(mx.SpinA), (std::vector<int32_t>{1008, 0, 178, 0, 0, 1024, 0, 0, -178, 0, 1008,
                                                     0, 1780, 0, 160, 1024}));
  EXPECT_EQ(Entries(mx.SpinB), (std::vector<int32_t>{1008, 0, -178, 0, 0, 1024, 0, 0, 178, 0, 1008,
                                                     0, 1040, 0, 11570, 1024}));
  EXPECT_EQ(Entries(mx.SpinC), (std::vector<int32_t>{1024, 0, 0, 0, 0, 1008, 178, 0, 0, -178, 1008,
                                                     0, 0, 2740, -10520, 1024}));
  EXPECT_EQ(Entries(mx.FlightMatrix), Entries(InitialFlightMatrix));

  Mat4 product{};
  MatMul(PivotAIn, PivotAOut, product);
  EXPECT_EQ(Entries(product),
            (std::vector<int32_t>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  MatMul(PivotAIn, RotateYPlus, product);
  EXPECT_EQ(Entries(product), (std::vector<int32_t>{1008, 0, 178, 0, 0, 1024, 0, 0, -178, 0, 1008,
                                                    0, 1780, 0, -10080, 1024}));
}

TEST(FixedPoint, TransformsAndRoundsVertices) {
  Matrices mx;
  ComposeSpinMatrices(mx);
  struct Case {
    Vec4 in;
    const Mat4* matrix;
    std::array<int32_t, 4> out;
    std::array<int32_t, 3> units;
  };
  const Case cases[] = {
      {{{0, 0, 0, 1024}}, &mx.SpinA, {1822720, 0, 163840, 1048576}, {1780, 0, 160}},
      {{{1024, 0, 0, 1024}}, &mx.SpinA, {2854912, 0, 346112, 1048576}, {2788, 0, 338}},
      {{{0, 0, 0, 1024}},
       &InitialFlightMatrix,
       {0, -9437184, -1048576, 1048576},
       {0, -9216, -1024}},
  };
  for (const Case& c : cases) {
    Vec4 out{};
    VecMatMul(c.in, *c.matrix, out);
    EXPECT_EQ(std::to_array(out.v), c.out);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(RoundToUnits(out.v[i]), c.units[i]) << i;
  }
}

TEST(FixedPoint, RoundsHalvesAwayFromZeroAndWrapsAtTheTop) {
  struct Case {
    int32_t value, rounded, units;
  };
  const Case cases[] = {
      {1535, 1535, 1},
      {1536, 2560, 2},
      {511, 511, 0},
      {512, 1536, 1},
      {0, 0, 0},
      {-1, 1023, 0},
      {-511, -511 + 1024, 0},
      {-512, -512, -1},
      {-513, -513, -1},
      {-1535, -1535 + 1024, -1},
      {-1536, -1536, -2},
      {kMin, kMin, -(1 << 21)},
      {kMin + 513, kMin + 513 + 1024, -(1 << 21) + 1},
      {kMax - 1023, kMax - 1023, (1 << 21) - 1},  // low bits 0
      {kMax - 511, kMin + 512, -(1 << 21)},       // the add wraps
      {kMax, kMin + 1023, -(1 << 21)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoundFixed(c.value), c.rounded) << c.value;
    EXPECT_EQ(RoundToUnits(c.value), c.units) << c.value;
  }
}

// Every product and sum keeps its low 32 bits: compare with 64-bit arithmetic
// cut to 32 bits, on extreme and random values.
TEST(FixedPoint, VecMatMulAndMatMulWrapLikeTwosComplement) {
  Vec4 out{};
  VecMatMul(Vec4{{2097152, 0, 0, 0}}, RotateXPlus, out);
  EXPECT_EQ(out.v[0], kMin);

  std::mt19937 random(12345);
  const int32_t extremes[] = {kMin, kMin + 1, -1, 0, 1, 1024, kMax - 1, kMax};
  auto pick = [&] {
    return random() % 2 ? extremes[random() % 8] : static_cast<int32_t>(random());
  };
  // Row `row` of `a` times column `i` of `b`, in 64 bits, cut to 32.
  auto reference = [](const int32_t* row, const Mat4& b, int i) {
    uint64_t sum = 0;
    for (int k = 0; k < 4; ++k) sum += static_cast<uint64_t>(int64_t{row[k]} * b.at(k, i));
    return static_cast<int32_t>(static_cast<uint32_t>(sum));
  };
  for (int round = 0; round < 2000; ++round) {
    Vec4 v;
    Mat4 a, b;
    for (auto& x : v.v) x = pick();
    for (auto& x : a.m) x = pick();
    for (auto& x : b.m) x = pick();
    VecMatMul(v, b, out);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(out.v[i], reference(v.v, b, i)) << round << " " << i;
    Mat4 product{};
    MatMul(a, b, product);
    for (int r = 0; r < 4; ++r)
      for (int i = 0; i < 4; ++i)
        ASSERT_EQ(product.at(r, i), reference(a.m + 4 * r, b, i)) << round << " " << r << i;
  }
}

}  // namespace
}  // namespace cellshow
