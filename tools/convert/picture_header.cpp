#include "picture_header.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cellshow::convert {
namespace {

uint32_t Big(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}
uint32_t Little(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// JPEG: the first start-of-frame marker (C0..CF but C4, C8 and CC) after
// the segments before it.
bool JpegSize(const std::vector<uint8_t>& b, int& width, int& height) {
  size_t at = 2;
  while (at + 9 < b.size()) {
    if (b[at] != 0xFF) return false;
    const uint8_t marker = b[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    const size_t length = Big(&b[at + 2], 2);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      height = static_cast<int>(Big(&b[at + 5], 2));
      width = static_cast<int>(Big(&b[at + 7], 2));
      return true;
    }
    at += 2 + length;
  }
  return false;
}

}  // namespace

bool ReadPictureHeader(const std::string& path, int& width, int& height) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::vector<uint8_t> b(HeaderBytes);
  b.resize(std::fread(b.data(), 1, b.size(), file));
  std::fclose(file);
  return PictureSizeOf(b, width, height);
}

bool PictureSizeOf(const std::vector<uint8_t>& b, int& width, int& height) {
  if (b.size() >= 24 && std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) == 0 &&
      std::memcmp(&b[12], "IHDR", 4) == 0) {
    width = static_cast<int>(std::min<uint32_t>(Big(&b[16], 4), INT32_MAX));
    height = static_cast<int>(std::min<uint32_t>(Big(&b[20], 4), INT32_MAX));
    return true;
  }
  if (b.size() >= 10 &&
      (std::memcmp(b.data(), "GIF87a", 6) == 0 || std::memcmp(b.data(), "GIF89a", 6) == 0)) {
    width = static_cast<int>(Little(&b[6], 2));
    height = static_cast<int>(Little(&b[8], 2));
    return true;
  }
  if (b.size() >= 4 && b[0] == 0xFF && b[1] == 0xD8) return JpegSize(b, width, height);
  if (b.size() >= 30 && std::memcmp(b.data(), "RIFF", 4) == 0 &&
      std::memcmp(&b[8], "WEBP", 4) == 0) {
    if (std::memcmp(&b[12], "VP8X", 4) == 0) {
      width = static_cast<int>(Little(&b[24], 3)) + 1;
      height = static_cast<int>(Little(&b[27], 3)) + 1;
      return true;
    }
    if (std::memcmp(&b[12], "VP8L", 4) == 0 && b.size() >= 25) {
      const uint32_t bits = Little(&b[21], 4);
      width = static_cast<int>(bits & 0x3FFF) + 1;
      height = static_cast<int>(bits >> 14 & 0x3FFF) + 1;
      return true;
    }
    if (std::memcmp(&b[12], "VP8 ", 4) == 0) {
      width = static_cast<int>(Little(&b[26], 2) & 0x3FFF);
      height = static_cast<int>(Little(&b[28], 2) & 0x3FFF);
      return true;
    }
    return false;
  }
  if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
    width = static_cast<int>(Little(&b[18], 4));
    const auto h = static_cast<int32_t>(Little(&b[22], 4));  // negative: top-down rows
    height = h == INT32_MIN ? INT32_MAX : (h < 0 ? -h : h);
    return true;
  }
  return false;
}

}  // namespace cellshow::convert
