#pragma once
// 4x4 fixed-point matrices (1024 stands for one) used as row vector times
// matrix, with the translation in the fourth row. Products and sums wrap in
// 32 bits.
#include <cstdint>

namespace cellshow {

struct Mat4 {
  int32_t m[16];  // row after row: element [r][k] is m[4 * r + k]
  constexpr int32_t at(int r, int k) const { return m[4 * r + k]; }
};

struct Vec4 {
  int32_t v[4];
};

// Two's-complement wrapping arithmetic, done on unsigned values so that no
// signed overflow can occur.
constexpr int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// out = v x M; each out[i] is written before out[i + 1] is computed.
void VecMatMul(const int32_t* v, const Mat4& M, int32_t* out);
inline void VecMatMul(const Vec4& v, const Mat4& M, Vec4& out) { VecMatMul(v.v, M, out.v); }
// product = left x right, row by row. product must differ from both operands.
void MatMul(const Mat4& left, const Mat4& right, Mat4& product);
// Adds 1024 where the value, divided by 1024 with an arithmetic shift, should
// round up: halves away from zero.
int32_t RoundFixed(int32_t value);
// RoundFixed followed by the arithmetic shift right by 10.
inline int32_t RoundToUnits(int32_t value) { return RoundFixed(value) >> 10; }

// The initialised matrices.
constexpr Mat4 RotateYPlus{{1008, 0, 178, 0, 0, 1024, 0, 0, -178, 0, 1008, 0, 0, 0, 0, 1024}};
constexpr Mat4 RotateYMinus{{1008, 0, -178, 0, 0, 1024, 0, 0, 178, 0, 1008, 0, 0, 0, 0, 1024}};
constexpr Mat4 RotateXPlus{{1024, 0, 0, 0, 0, 1008, 178, 0, 0, -178, 1008, 0, 0, 0, 0, 1024}};
constexpr Mat4 PivotAIn{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1}};
constexpr Mat4 PivotAOut{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1}};
constexpr Mat4 PivotBIn{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -65, 0, 0, 1}};
constexpr Mat4 PivotBOut{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 65, 0, 0, 1}};
constexpr Mat4 PivotCIn{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -60, -10, 1}};
constexpr Mat4 PivotCOut{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 60, 10, 1}};
constexpr Mat4 InitialFlightMatrix{
    {1024, 0, 0, 0, 0, 1024, 0, 0, 0, 0, 1024, 0, 0, -9216, -1024, 1024}};

// The matrices that change: composed at start-up, or moved by the fly-off.
struct Matrices {
  Mat4 SpinA{}, SpinB{}, SpinC{}, MatScratch{};
  Mat4 FlightMatrix = InitialFlightMatrix;
  Vec4 VecIn{}, VecOut{};
};

// SpinA, SpinB and SpinC, each pivot-in x rotation x pivot-out through MatScratch.
void ComposeSpinMatrices(Matrices& matrices);

}  // namespace cellshow
