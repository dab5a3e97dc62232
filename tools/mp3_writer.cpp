#include "mp3_writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace cellshow {

bool WriteMp3(const std::string& path, const int16_t* samples, size_t frames, int channels,
              int sampleRate, int kilobitsPerSecond, std::string& error) {
  lame_t lame = lame_init();
  if (lame == nullptr) {
    error = "the MP3 encoder could not start";
    return false;
  }
  lame_set_num_channels(lame, channels);
  lame_set_in_samplerate(lame, sampleRate);
  lame_set_out_samplerate(lame, sampleRate);
  lame_set_brate(lame, kilobitsPerSecond);
  lame_set_mode(lame, channels == 2 ? JOINT_STEREO : MONO);
  lame_set_quality(lame, 5);
  // The info frame carries the encoder delay and padding, so that decoders
  // can give back exactly the samples that went in.
  lame_set_bWriteVbrTag(lame, 1);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    error = "the MP3 encoder rejected its settings";
    return false;
  }
  std::vector<unsigned char> mp3;
  constexpr size_t Chunk = 8192;
  std::vector<unsigned char> buffer(Chunk * 5 / 4 + 7200);
  for (size_t at = 0; at < frames; at += Chunk) {
    const int n = static_cast<int>(frames - at < Chunk ? frames - at : Chunk);
    std::vector<short> pcm(samples + at * channels, samples + (at + n) * channels);
    const int got = channels == 2
                        ? lame_encode_buffer_interleaved(lame, pcm.data(), n, buffer.data(),
                                                         static_cast<int>(buffer.size()))
                        : lame_encode_buffer(lame, pcm.data(), nullptr, n, buffer.data(),
                                             static_cast<int>(buffer.size()));
    if (got < 0) {
      lame_close(lame);
      error = "the MP3 encoder failed";
      return false;
    }
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + got);
  }
  const int tail = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
  if (tail > 0) mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + tail);
  // The encoder left room for the info frame at the start of the stream; it
  // is complete only now that the stream's length is known.
  const size_t tag = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
  if (tag == 0 || tag > buffer.size() || tag > mp3.size()) {
    lame_close(lame);
    error = "the MP3 encoder gave no info frame";
    return false;
  }
  std::copy(buffer.begin(), buffer.begin() + tag, mp3.begin());
  lame_close(lame);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    error = "cannot write " + path;
    return false;
  }
  const bool ok = std::fwrite(mp3.data(), 1, mp3.size(), out) == mp3.size();
  if (std::fclose(out) != 0 || !ok) {
    error = "writing " + path + " failed";
    return false;
  }
  return true;
}

}  // namespace cellshow
