// WebM: the music decoded (gaplessly: the demuxer passes the LAME tag's
// delay and padding to the decoder), resampled to Opus's 48 kHz and encoded
// again. The encoder's own delay (its pre-skip, in the stream header) is
// dropped by the decoder, and a reader takes a packet's time as that of its
// first sample after the drop; so frames are stamped that much later than
// the time they are heard, which puts the first packet at the music's start.
extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "export/audio_track.h"

namespace cellshow {
namespace {

constexpr int OpusRate = 48000;
constexpr int64_t OpusBitRate = 160000;

struct FifoDeleter {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

class OpusTrack : public AudioTrack {
 public:
  std::string AddStream(const std::string& musicPath, AVFormatContext* output, int64_t startMs,
                        int64_t endMs) override {
    int result = av::OpenInput(musicPath, input_);
    if (result < 0) return av::ErrorText(result);
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (index < 0 || decoder == nullptr) return "no sound in it";
    in_ = input_->streams[index];
    decoder_.reset(avcodec_alloc_context3(decoder));
    if (!decoder_) return av::ErrorText(AVERROR(ENOMEM));
    if ((result = avcodec_parameters_to_context(decoder_.get(), in_->codecpar)) < 0 ||
        (result = avcodec_open2(decoder_.get(), decoder, nullptr)) < 0)
      return av::ErrorText(result);

    if ((result = av::StartStream(output, "libopus", out_)) < 0) return av::ErrorText(result);
    AVCodecContext* c = out_.codec.get();
    c->sample_rate = OpusRate;
    c->sample_fmt = AV_SAMPLE_FMT_FLT;
    c->bit_rate = OpusBitRate;
    c->time_base = AVRational{1, OpusRate};
    const int channels = std::min(decoder_->ch_layout.nb_channels, 2);
    av_channel_layout_default(&c->ch_layout, channels);
    startSample_ = startMs * OpusRate / 1000;
    endSample_ = endMs * OpusRate / 1000;
    leadIn_ = startSample_ < 0 ? -startSample_ : 0;
    out_.nextPts = startSample_ + leadIn_;
    decoded_.reset(av_frame_alloc());
    readPacket_.reset(av_packet_alloc());
    if (!decoded_ || !readPacket_) return av::ErrorText(AVERROR(ENOMEM));
    return "";
  }

  int OpenCodec() override {
    AVCodecContext* c = out_.codec.get();
    int result = av::OpenEncoder(out_, nullptr);
    if (result < 0) return result;
    out_.nextPts += c->initial_padding;
    endSample_ += c->initial_padding;
    SwrContext* swr = nullptr;
    result = swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate,
                                 &decoder_->ch_layout, decoder_->sample_fmt, decoder_->sample_rate,
                                 0, nullptr);
    resampler_.reset(swr);
    if (result < 0 || (result = swr_init(swr)) < 0) return result;
    fifo_.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, c->frame_size));
    if (!fifo_) return AVERROR(ENOMEM);
    AVFrame* f = out_.frame.get();
    f->format = c->sample_fmt;
    f->sample_rate = c->sample_rate;
    f->nb_samples = c->frame_size;
    if ((result = av_channel_layout_copy(&f->ch_layout, &c->ch_layout)) < 0) return result;
    return av_frame_get_buffer(f, 0);
  }

  int WriteUntil(AVFormatContext* output, int64_t untilMs) override {
    const int64_t until = std::min(untilMs * OpusRate / 1000, endSample_);
    const int frameSize = out_.codec->frame_size;
    // The music from before the video's start is decoded and dropped.
    while (leadIn_ > 0 && !(drained_ && av_audio_fifo_size(fifo_.get()) == 0)) {
      const int queued = av_audio_fifo_size(fifo_.get());
      if (queued == 0) {
        const int result = DecodeMore();
        if (result < 0) return result;
        continue;
      }
      const int n = static_cast<int>(std::min<int64_t>(leadIn_, queued));
      av_audio_fifo_drain(fifo_.get(), n);
      leadIn_ -= n;
    }
    while (!flushed_ && out_.nextPts < until) {
      // Fill the queue with a whole frame, unless the music runs out first.
      while (!drained_ && av_audio_fifo_size(fifo_.get()) < frameSize) {
        const int result = DecodeMore();
        if (result < 0) return result;
      }
      const int64_t room = endSample_ - out_.nextPts;
      const int n =
          static_cast<int>(std::min<int64_t>({frameSize, av_audio_fifo_size(fifo_.get()), room}));
      if (n > 0) {
        AVFrame* f = out_.frame.get();
        int result = av_frame_make_writable(f);
        if (result < 0) return result;
        f->nb_samples = n;
        if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), n) != n)
          return AVERROR_BUG;
        f->pts = out_.nextPts;
        out_.nextPts += n;
        if ((result = av::EncodeAndWrite(output, out_, f)) < 0) return result;
      }
      // Only the last frame may be short; after it the encoder is flushed.
      if (n < frameSize) {
        flushed_ = true;
        return av::EncodeAndWrite(output, out_, nullptr);
      }
    }
    return 0;
  }

  int Finish(AVFormatContext* output) override {
    const int result = WriteUntil(output, endSample_ * 1000 / OpusRate + 1);
    if (result < 0 || flushed_) return result;
    flushed_ = true;
    return av::EncodeAndWrite(output, out_, nullptr);
  }

 private:
  // Decodes the next packet (or flushes the decoder and the resampler at the
  // end of the file) into the queue; drained_ once nothing more will come.
  int DecodeMore() {
    int result = 0;
    if (!inputEnded_) {
      av_packet_unref(readPacket_.get());
      result = av_read_frame(input_.get(), readPacket_.get());
      if (result == AVERROR_EOF) {
        inputEnded_ = true;
        result = avcodec_send_packet(decoder_.get(), nullptr);
      } else if (result < 0) {
        return result;
      } else if (readPacket_->stream_index != in_->index) {
        return 0;
      } else {
        result = avcodec_send_packet(decoder_.get(), readPacket_.get());
      }
      if (result < 0 && result != AVERROR_EOF) return result;
    }
    for (;;) {
      result = avcodec_receive_frame(decoder_.get(), decoded_.get());
      if (result == AVERROR(EAGAIN)) return 0;
      if (result == AVERROR_EOF) return Resample(nullptr, 0);
      if (result < 0) return result;
      result = Resample(decoded_->extended_data, decoded_->nb_samples);
      av_frame_unref(decoded_.get());
      if (result < 0) return result;
    }
  }

  // Resamples `count` samples (none: the resampler's tail) into the queue.
  int Resample(uint8_t** samples, int count) {
    SwrContext* swr = resampler_.get();
    const int room = swr_get_out_samples(swr, count);
    if (room < 0) return room;
    if (room > 0) {
      const int channels = out_.codec->ch_layout.nb_channels;
      uint8_t* buffer = nullptr;
      int result = av_samples_alloc(&buffer, nullptr, channels, room, out_.codec->sample_fmt, 0);
      if (result < 0) return result;
      const int got = swr_convert(swr, &buffer, room, const_cast<const uint8_t**>(samples), count);
      result =
          got < 0 ? got : av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(&buffer), got);
      av_freep(&buffer);
      if (result < 0) return result;
    }
    if (samples == nullptr) drained_ = true;
    return 0;
  }

  av::InputPtr input_;
  AVStream* in_ = nullptr;
  av::CodecContextPtr decoder_;
  av::FramePtr decoded_;
  av::PacketPtr readPacket_;
  av::ResamplerPtr resampler_;
  std::unique_ptr<AVAudioFifo, FifoDeleter> fifo_;
  av::OutputStream out_;
  int64_t startSample_ = 0, endSample_ = 0;
  int64_t leadIn_ = 0;  // samples of the music still to drop before the video's start
  bool inputEnded_ = false, drained_ = false, flushed_ = false;
};

}  // namespace

std::unique_ptr<AudioTrack> MakeOpusTrack() { return std::make_unique<OpusTrack>(); }

}  // namespace cellshow
