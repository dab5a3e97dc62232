#pragma once
// The one way the fuzz targets cut the fuzzer's bytes into the inputs an
// entry point takes: parts separated by a marker that ordinary data seldom
// holds, so that the fuzzer can grow, shrink and move each part by itself.
// Seeds are written the same way (JoinParts).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace cellshow::fuzz {

inline constexpr char PartMarker[] = "\n--cellshow-part--\n";
inline constexpr size_t PartMarkerSize = sizeof PartMarker - 1;

// Exactly `count` parts: the bytes before the first marker, between markers,
// and after the last; parts past the markers there are are empty, and the
// last part keeps any further markers.
inline std::vector<std::span<const uint8_t>> SplitParts(const uint8_t* data, size_t size,
                                                        size_t count) {
  std::vector<std::span<const uint8_t>> parts;
  size_t at = 0;
  while (parts.size() + 1 < count) {
    size_t end = at;
    while (end + PartMarkerSize <= size && std::memcmp(data + end, PartMarker, PartMarkerSize) != 0)
      ++end;
    if (end + PartMarkerSize > size) break;
    parts.emplace_back(data + at, end - at);
    at = end + PartMarkerSize;
  }
  parts.emplace_back(data + at, size - at);
  while (parts.size() < count) parts.emplace_back();
  return parts;
}

// The inverse, for seeds.
inline std::string JoinParts(const std::vector<std::string>& parts) {
  std::string joined;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += PartMarker;
    joined += parts[i];
  }
  return joined;
}

// Takes fixed-size numbers off the front of the bytes; zero once they run out.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  bool empty() const { return at_ >= size_; }
  // The rest, taken whole.
  std::span<const uint8_t> Rest() {
    const std::span<const uint8_t> rest(data_ + at_, size_ - at_);
    at_ = size_;
    return rest;
  }
  // Up to `count` bytes.
  std::span<const uint8_t> Take(size_t count) {
    const size_t n = count < size_ - at_ ? count : size_ - at_;
    const std::span<const uint8_t> taken(data_ + at_, n);
    at_ += n;
    return taken;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace cellshow::fuzz
