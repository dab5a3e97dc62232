#pragma once
// The pixel size of a still picture, read from the first bytes of its file
// (PNG, GIF, JPEG, WebP, BMP), so that a huge one is refused before any
// decoder allocates it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::convert {

// How much of a file is looked at: a JPEG's size may come after its
// metadata.
constexpr size_t HeaderBytes = 65536;

// True with the size when the file starts as one of those formats.
bool ReadPictureHeader(const std::string& path, int& width, int& height);
// The same from the file's first bytes (up to HeaderBytes of them).
bool PictureSizeOf(const std::vector<uint8_t>& firstBytes, int& width, int& height);

}  // namespace cellshow::convert
