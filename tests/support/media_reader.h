#pragma once
// Reads an exported file back with FFmpeg's libraries: its streams, its
// packets, and its frames and samples decoded.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cellshow::test {

struct PacketCopy {
  int64_t pts = 0, duration = 0;  // in the stream's time base
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> skipSamples;  // AV_PKT_DATA_SKIP_SAMPLES side data, if any
};

class MediaReader {
 public:
  explicit MediaReader(const std::string& path);
  ~MediaReader();
  MediaReader(const MediaReader&) = delete;
  MediaReader& operator=(const MediaReader&) = delete;

  bool ok() const { return context_ != nullptr; }
  const std::string& error() const { return error_; }
  AVFormatContext* context() const { return context_; }
  // The first stream of a type, or nullptr.
  AVStream* Stream(AVMediaType type) const;
  // Every packet of every stream, by stream index, in file order. Reads the
  // file through once: call it once.
  std::vector<std::vector<PacketCopy>> ReadPackets();
  // Decodes `packets` of `stream` in order and calls onFrame for each frame.
  // skip: let the decoder drop what skip side data asks (a player's view).
  static bool Decode(const AVStream* stream, const std::vector<PacketCopy>& packets, bool skip,
                     const std::function<void(const AVFrame&)>& onFrame);

 private:
  AVFormatContext* context_ = nullptr;
  std::string error_;
};

// A decoded picture as packed RGB24, with full chroma interpolation (a chroma
// value for every pixel, SWS_FULL_CHR_H_INT) sampled from the nearest chroma
// sample (SWS_POINT): a 4:2:0 sample then covers exactly its 2x2 block.
std::vector<uint8_t> ToRgb24(const AVFrame& frame);

// Interleaved 16-bit samples of a decoded audio frame (planar or not,
// float or integer), appended to `out`.
void AppendSamples(const AVFrame& frame, std::vector<int16_t>& out);
// Interleaved float samples as they come from the decoder, appended to `out`.
void AppendFloatSamples(const AVFrame& frame, std::vector<float>& out);

// Peak signal-to-noise ratio of two equal-sized byte images, in dB.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace cellshow::test
