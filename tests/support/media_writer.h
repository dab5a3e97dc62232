#pragma once
// Test media made with FFmpeg's libraries (no program needed): lossless
// video whose every picture is drawn by the test, PNG pictures with alpha,
// WAV sound, and PNG headers of any size.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cellshow::test {

// RGBA pixels (bytes R, G, B, A in memory), row by row.
using Picture = std::vector<uint32_t>;
constexpr uint32_t Rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return uint32_t{r} | uint32_t{g} << 8 | uint32_t{b} << 16 | uint32_t{a} << 24;
}

// `frames` pictures at `fps` in Matroska with FFV1 (lossless RGB); picture n
// is drawn by draw(n, pixels). Throws on failure.
void WriteVideo(const std::string& path, int width, int height, int frames, int fps,
                const std::function<void(int, Picture&)>& draw);

// One PNG picture, RGBA. Throws on failure.
void WritePng(const std::string& path, int width, int height, const Picture& pixels);

// 16-bit mono PCM in a WAV file.
void WriteWave(const std::string& path, const std::vector<int16_t>& samples, int rate);

// A valid PNG of width x height black pixels, compressed (20000x20000 is
// about a megabyte).
std::vector<uint8_t> LargePng(uint32_t width, uint32_t height);

}  // namespace cellshow::test
