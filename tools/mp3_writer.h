#pragma once
// Encodes 16-bit PCM to an MP3 file with libmp3lame.
#include <cstdint>
#include <string>

namespace cellshow {

// Interleaved samples; channels 1 or 2. Returns false (with `error`) when the
// encoder cannot start or the file cannot be written.
bool WriteMp3(const std::string& path, const int16_t* samples, size_t frames, int channels,
              int sampleRate, int kilobitsPerSecond, std::string& error);

}  // namespace cellshow
