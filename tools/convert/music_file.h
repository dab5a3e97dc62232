#pragma once
// The show's music from any sound FFmpeg's libraries decode (a song, or
// the sound track of a video): from `start` seconds to its end, at
// 44100 Hz in stereo, encoded as MP3 at 192 kbit/s by FFmpeg's encoder
// (libmp3lame) into `path`.
#include <functional>
#include <string>

namespace cellshow::convert {

// `progress` is told the seconds encoded so far. False with `error` set to
// a phrase ("has no sound").
bool ConvertMusic(const std::string& source, double start, const std::string& path,
                  const std::function<void(double)>& progress, std::string& error);

}  // namespace cellshow::convert
