// MP3 in MP4 or Matroska: the file's packets copied unchanged. Neither
// container carries the LAME tag's gapless information, so a player first
// plays the decoder delay (1105 samples, 25 ms, for the default music); the
// track starts that much earlier, so that the music itself is heard from its
// moment. The track ends with the last packet that fits in the video.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "export/audio_track.h"

namespace cellshow {
namespace {

constexpr int DecoderFilterDelay = 529;  // 528 samples of synthesis filter, plus one

uint32_t BigEndian(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

int Mp3DecoderDelay(const uint8_t* bytes, size_t size) {
  size_t at = 0;
  if (size >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
    // ID3v2: ten header bytes, then a size in four 7-bit bytes.
    const size_t tag = size_t{bytes[6] & 0x7Fu} << 21 | size_t{bytes[7] & 0x7Fu} << 14 |
                       size_t{bytes[8] & 0x7Fu} << 7 | (bytes[9] & 0x7Fu);
    at = 10 + tag + (bytes[5] & 0x10 ? 10 : 0);  // and a footer, when flagged
  }
  // The first frame header: 11 sync bits, a version, layer III.
  for (; at + 4 <= size; ++at)
    if (bytes[at] == 0xFF && (bytes[at + 1] & 0xE0) == 0xE0 && (bytes[at + 1] & 0x18) != 0x08 &&
        (bytes[at + 1] & 0x06) == 0x02)
      break;
  if (at + 4 > size) return -1;
  const bool mpeg1 = (bytes[at + 1] & 0x18) == 0x18;
  const bool mono = (bytes[at + 3] & 0xC0) == 0xC0;
  const size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  size_t info = at + 4 + sideInfo;
  if (info + 8 > size ||
      (std::memcmp(bytes + info, "Xing", 4) != 0 && std::memcmp(bytes + info, "Info", 4) != 0))
    return DecoderFilterDelay;
  const uint32_t flags = BigEndian(bytes + info + 4);
  size_t lame = info + 8;
  if (flags & 1) lame += 4;    // frame count
  if (flags & 2) lame += 4;    // byte count
  if (flags & 4) lame += 100;  // seek table
  if (flags & 8) lame += 4;    // quality
  // The LAME extension: a 9-byte encoder name, then revision, lowpass, replay
  // gain (8), flags, bitrate, and 12 bits of delay and 12 of padding.
  if (lame + 24 > size || std::memcmp(bytes + lame, "LAME", 4) != 0) return DecoderFilterDelay;
  const uint8_t* d = bytes + lame + 21;
  const int encoderDelay = d[0] << 4 | d[1] >> 4;
  return encoderDelay + DecoderFilterDelay;
}

namespace {

class Mp3CopyTrack : public AudioTrack {
 public:
  std::string AddStream(const std::string& musicPath, AVFormatContext* output, int64_t startMs,
                        int64_t endMs) override {
    std::vector<uint8_t> head(64 * 1024);
    std::FILE* file = std::fopen(musicPath.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    const int delay = Mp3DecoderDelay(head.data(), head.size());
    if (delay < 0) return "not an MP3 file";

    int result = av::OpenInput(musicPath, input_);
    if (result < 0) return av::ErrorText(result);
    const int index = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0 || input_->streams[index]->codecpar->codec_id != AV_CODEC_ID_MP3)
      return "not an MP3 file";
    in_ = input_->streams[index];
    rate_ = in_->codecpar->sample_rate;
    if (rate_ <= 0) return "not an MP3 file";
    out_ = avformat_new_stream(output, nullptr);
    packet_.reset(av_packet_alloc());
    if (out_ == nullptr || !packet_) return av::ErrorText(AVERROR(ENOMEM));
    result = avcodec_parameters_copy(out_->codecpar, in_->codecpar);
    if (result < 0) return av::ErrorText(result);
    out_->codecpar->codec_tag = 0;
    out_->time_base = AVRational{1, rate_};
    startSample_ = startMs * rate_ / 1000 - delay;
    endSample_ = endMs * rate_ / 1000;
    return "";
  }

  int OpenCodec() override { return 0; }

  int WriteUntil(AVFormatContext* output, int64_t untilMs) override {
    const int64_t until = untilMs * rate_ / 1000;
    while (!done_) {
      if (!held_) {
        const int result = ReadPacket();
        if (result < 0) return result;
        if (done_) break;
      }
      if (position_ >= until) return 0;
      held_ = false;
      const int result = WriteHeld(output);
      if (result < 0) return result;
    }
    return 0;
  }

  int Finish(AVFormatContext* output) override { return WriteUntil(output, INT64_MAX / 1000000); }

 private:
  // Reads the next packet of the music into packet_ (held_), with its place
  // on the video's clock in position_; done_ once past the end.
  int ReadPacket() {
    for (;;) {
      av_packet_unref(packet_.get());
      const int result = av_read_frame(input_.get(), packet_.get());
      if (result == AVERROR_EOF) {
        done_ = true;
        return 0;
      }
      if (result < 0) return result;
      if (packet_->stream_index != in_->index) continue;
      if (firstPts_ == AV_NOPTS_VALUE) firstPts_ = packet_->pts;
      position_ = packet_->pts == AV_NOPTS_VALUE
                      ? nextPosition_
                      : startSample_ + av_rescale_q(packet_->pts - firstPts_, in_->time_base,
                                                    AVRational{1, rate_});
      duration_ = av_rescale_q(packet_->duration, in_->time_base, AVRational{1, rate_});
      nextPosition_ = position_ + duration_;
      // Whole packets only: MP4 keeps every packet's full length, so the
      // track ends with the last packet that ends within the video.
      if (position_ + duration_ > endSample_) {
        done_ = true;
        return 0;
      }
      // A track that would start before the video cannot: its first packets go.
      if (position_ < 0) continue;
      held_ = true;
      return 0;
    }
  }

  int WriteHeld(AVFormatContext* output) {
    AVPacket* p = packet_.get();
    // No gapless or skip information goes along: a player decodes every sample.
    av_packet_free_side_data(p);
    p->stream_index = out_->index;
    p->pts = p->dts = position_;
    p->duration = duration_;
    p->pos = -1;
    av_packet_rescale_ts(p, AVRational{1, rate_}, out_->time_base);
    return av_interleaved_write_frame(output, p);
  }

  av::InputPtr input_;
  av::PacketPtr packet_;
  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  int rate_ = 0;
  int64_t startSample_ = 0, endSample_ = 0;
  int64_t firstPts_ = AV_NOPTS_VALUE;
  int64_t position_ = 0, duration_ = 0, nextPosition_ = 0;
  bool held_ = false, done_ = false;
};

}  // namespace

std::unique_ptr<AudioTrack> MakeMp3CopyTrack() { return std::make_unique<Mp3CopyTrack>(); }

}  // namespace cellshow
