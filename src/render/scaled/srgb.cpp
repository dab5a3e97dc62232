#include "render/scaled/srgb.h"

#include <cmath>

namespace cellshow {
namespace srgb_detail {
namespace {

double ToLinear(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

}  // namespace

Tables::Tables() {
  for (int v = 0; v < 256; ++v) linear[v] = static_cast<float>(ToLinear(v / 255.0));
  for (int k = 0; k < 255; ++k) rounding[k] = static_cast<float>(ToLinear((k + 0.5) / 255.0));
  rounding[255] = 2.0f;
  // Each bucket starts at the value of its lower edge.
  int value = 0;
  for (int b = 0; b <= Buckets; ++b) {
    const float light = static_cast<float>(b) / static_cast<float>(Buckets);
    while (value < 255 && light >= rounding[value]) ++value;
    bucketStart[b] = static_cast<uint8_t>(value);
  }
}

const Tables tables;

}  // namespace srgb_detail
}  // namespace cellshow
