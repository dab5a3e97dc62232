#include "math3d/fixed_point.h"

namespace cellshow {

void VecMatMul(const int32_t* v, const Mat4& M, int32_t* out) {
  for (int i = 0; i < 4; ++i) {
    int32_t sum = WrapMul(v[0], M.at(0, i));
    sum = WrapAdd(sum, WrapMul(v[1], M.at(1, i)));
    sum = WrapAdd(sum, WrapMul(v[2], M.at(2, i)));
    sum = WrapAdd(sum, WrapMul(v[3], M.at(3, i)));
    out[i] = sum;
  }
}

void MatMul(const Mat4& left, const Mat4& right, Mat4& product) {
  for (int r = 0; r < 4; ++r) VecMatMul(left.m + 4 * r, right, product.m + 4 * r);
}

int32_t RoundFixed(int32_t value) {
  const int32_t f = value & 1023;
  if ((value > 0 && f >= 512) || (value <= 0 && f > 512)) return WrapAdd(value, 1024);
  return value;
}

void ComposeSpinMatrices(Matrices& mx) {
  MatMul(PivotAIn, RotateYPlus, mx.MatScratch);
  MatMul(mx.MatScratch, PivotAOut, mx.SpinA);
  MatMul(PivotBIn, RotateYMinus, mx.MatScratch);
  MatMul(mx.MatScratch, PivotBOut, mx.SpinB);
  MatMul(PivotCIn, RotateXPlus, mx.MatScratch);
  MatMul(mx.MatScratch, PivotCOut, mx.SpinC);
}

}  // namespace cellshow
