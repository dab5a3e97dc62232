#pragma once
// sRGB colour values and linear light, both ways. Averages of colours are
// taken in linear light, where a mix of light adds up as it does on a screen.
#include <cstdint>

namespace cellshow {

namespace srgb_detail {
// Linear light is cut into buckets so fine that no bucket holds more than
// one rounding point: the steepest part of the curve (12.92 * 255 values per
// unit of light, near black) puts 0.2 values in a bucket.
constexpr int Buckets = 16384;
struct Tables {
  float linear[256];                 // the linear light of each 8-bit sRGB value
  float rounding[256];               // [k]: the linear light of sRGB value k + 0.5; [255] past 1
  uint8_t bucketStart[Buckets + 1];  // the sRGB value at linear light b / Buckets
  Tables();
};
extern const Tables tables;
}  // namespace srgb_detail

// Linear light in [0, 1] of an 8-bit sRGB value (IEC 61966-2-1).
inline float SrgbToLinear(uint8_t value) { return srgb_detail::tables.linear[value]; }

// The 8-bit sRGB value nearest to linear light `light` (clamped to [0, 1]):
// exact to the float, found from the bucket and the one rounding point that
// may lie inside it.
inline uint8_t LinearToSrgb(float light) {
  using namespace srgb_detail;
  if (!(light > 0.0f)) return 0;
  if (light >= 1.0f) return 255;
  const int value = tables.bucketStart[static_cast<int>(light * static_cast<float>(Buckets))];
  return static_cast<uint8_t>(value + (light >= tables.rounding[value]));
}

}  // namespace cellshow
