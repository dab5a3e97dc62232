#pragma once
// The pixel size of a still picture, read from the first bytes of its file
// (PNG, GIF, JPEG, WebP, BMP), so that a huge one is refused before any
// decoder allocates it.
#include <string>

namespace cellshow::convert {

// True with the size when the file starts as one of those formats.
bool ReadPictureHeader(const std::string& path, int& width, int& height);

}  // namespace cellshow::convert
