#pragma once
// Writes an RGB PNG with libpng: no time stamp or other chunk that would
// change from one run to the next, so the same pixels give the same file.
#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::icon {

// `pixels` are PackRgba values, row-major, width x height; alpha is dropped
// (the icon is opaque). Returns false with `error` set when the file cannot
// be written.
bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
              std::string& error);

}  // namespace cellshow::icon
