#include "music_file.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

#include <memory>

#include "export/av_util.h"

namespace cellshow::convert {
namespace {

constexpr int SampleRate = 44100;
constexpr int64_t BitRate = 192000;

struct FifoDeleter {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

struct Encoder {
  av::OutputPtr output;
  av::OutputStream stream;
  std::unique_ptr<AVAudioFifo, FifoDeleter> fifo;

  // Encodes whole frames from the FIFO; with `all`, the rest too (the last
  // frame padded with silence when the encoder needs whole frames).
  int Drain(bool all) {
    AVCodecContext* c = stream.codec.get();
    AVFrame* f = stream.frame.get();
    const int size = c->frame_size;
    while (av_audio_fifo_size(fifo.get()) >= size || (all && av_audio_fifo_size(fifo.get()) > 0)) {
      int result = av_frame_make_writable(f);
      if (result < 0) return result;
      const int take = std::min(size, av_audio_fifo_size(fifo.get()));
      av_samples_set_silence(f->data, 0, size, c->ch_layout.nb_channels, c->sample_fmt);
      if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(f->data), take) < take)
        return AVERROR(EIO);
      f->pts = stream.nextPts;
      stream.nextPts += size;
      if ((result = av::EncodeAndWrite(output.get(), stream, f)) < 0) return result;
    }
    return 0;
  }
};

std::string Failed(const char* what, int code) {
  return std::string(what) + ": " + av::ErrorText(code);
}

}  // namespace

bool ConvertMusic(const std::string& source, double start, const std::string& path,
                  const std::function<void(double)>& progress, std::string& error) {
  av::InputPtr input;
  int result = av::OpenInput(source, input);
  if (result < 0) {
    error = "cannot be read: " + av::ErrorText(result);
    return false;
  }
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (index < 0 || codec == nullptr) {
    error = index == AVERROR_DECODER_NOT_FOUND ? "has sound no decoder here reads" : "has no sound";
    return false;
  }
  AVStream* in = input->streams[index];
  av::CodecContextPtr decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), in->codecpar);
  if ((result = avcodec_open2(decoder.get(), codec, nullptr)) < 0) {
    error = Failed("its sound cannot be decoded", result);
    return false;
  }
  if (start > 0)
    avformat_seek_file(input.get(), -1, INT64_MIN, static_cast<int64_t>(start * AV_TIME_BASE),
                       static_cast<int64_t>(start * AV_TIME_BASE), 0);

  Encoder e;
  AVFormatContext* context = nullptr;
  const std::string url = av::FileUrl(path);
  if ((result = avformat_alloc_output_context2(&context, nullptr, "mp3", url.c_str())) < 0) {
    error = Failed("no MP3 writer", result);
    return false;
  }
  e.output.reset(context);
  if ((result = av::StartStream(context, "libmp3lame", e.stream)) < 0) {
    error = Failed("no MP3 encoder (FFmpeg built without libmp3lame)", result);
    return false;
  }
  AVCodecContext* c = e.stream.codec.get();
  const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  av_channel_layout_copy(&c->ch_layout, &stereo);
  c->sample_rate = SampleRate;
  c->sample_fmt = c->codec->sample_fmts[0];
  c->bit_rate = BitRate;
  c->time_base = AVRational{1, SampleRate};
  if ((result = av::OpenEncoder(e.stream, nullptr)) < 0) {
    error = Failed("the MP3 encoder", result);
    return false;
  }
  AVFrame* out = e.stream.frame.get();
  out->format = c->sample_fmt;
  out->nb_samples = c->frame_size;
  out->sample_rate = SampleRate;
  av_channel_layout_copy(&out->ch_layout, &c->ch_layout);
  e.fifo.reset(av_audio_fifo_alloc(c->sample_fmt, 2, c->frame_size * 4));
  if ((result = av_frame_get_buffer(out, 0)) < 0 || !e.fifo) {
    error = Failed("no memory", result < 0 ? result : AVERROR(ENOMEM));
    return false;
  }

  AVChannelLayout inLayout{};
  if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&inLayout, decoder->ch_layout.nb_channels);
  else
    av_channel_layout_copy(&inLayout, &decoder->ch_layout);
  SwrContext* swr = nullptr;
  result = swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, SampleRate, &inLayout,
                               decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  av::ResamplerPtr resampler(swr);
  if (result < 0 || (result = swr_init(swr)) < 0) {
    error = Failed("its sound cannot be resampled", result);
    return false;
  }
  if ((result = avio_open(&context->pb, url.c_str(), AVIO_FLAG_WRITE)) < 0 ||
      (result = avformat_write_header(context, nullptr)) < 0) {
    error = av::ErrorText(result);
    return false;
  }

  av::PacketPtr packet(av_packet_alloc());
  av::FramePtr frame(av_frame_alloc());
  int64_t samples = 0;
  // Resamples `f` (nullptr: what the resampler holds) into the FIFO.
  auto take = [&](const AVFrame* f) {
    const int room = swr_get_out_samples(swr, f != nullptr ? f->nb_samples : 0);
    if (room <= 0) return 0;
    uint8_t** planes = nullptr;
    int r = av_samples_alloc_array_and_samples(&planes, nullptr, 2, room, c->sample_fmt, 0);
    if (r < 0) return r;
    const int made = swr_convert(
        swr, planes, room, f != nullptr ? const_cast<const uint8_t**>(f->extended_data) : nullptr,
        f != nullptr ? f->nb_samples : 0);
    r = made < 0 ? made : av_audio_fifo_write(e.fifo.get(), reinterpret_cast<void**>(planes), made);
    av_freep(&planes[0]);
    av_freep(&planes);
    if (r < 0) return r;
    samples += made;
    if (progress) progress(static_cast<double>(samples) / SampleRate);
    return e.Drain(false);
  };
  const double since = start > 0 ? start : 0;
  bool draining = false;
  for (;;) {
    result = avcodec_receive_frame(decoder.get(), frame.get());
    if (result == 0) {
      const int64_t stamp = frame->best_effort_timestamp;
      const double origin =
          in->start_time != AV_NOPTS_VALUE ? static_cast<double>(in->start_time) : 0;
      const double at = stamp == AV_NOPTS_VALUE
                            ? since
                            : (static_cast<double>(stamp) - origin) * av_q2d(in->time_base);
      const double length = static_cast<double>(frame->nb_samples) / frame->sample_rate;
      if (at + length > since && (result = take(frame.get())) < 0) break;
      continue;
    }
    if (result == AVERROR_EOF) {
      result = 0;
      break;
    }
    if (result != AVERROR(EAGAIN)) break;
    if (draining) {
      result = 0;
      break;
    }
    if (av_read_frame(input.get(), packet.get()) < 0) {
      draining = true;
      avcodec_send_packet(decoder.get(), nullptr);
      continue;
    }
    if (packet->stream_index == index) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
  }
  if (result >= 0) result = take(nullptr);
  if (result >= 0 && samples == 0) {
    error = "has no sound to decode";
    return false;
  }
  if (result >= 0) result = e.Drain(true);
  if (result >= 0) result = av::EncodeAndWrite(context, e.stream, nullptr);
  if (result >= 0) result = av_write_trailer(context);
  if (result >= 0 && context->pb->error < 0) result = context->pb->error;
  const int closed = avio_closep(&context->pb);
  if (result >= 0) result = closed;
  if (result < 0) {
    error = av::ErrorText(result);
    return false;
  }
  return true;
}

}  // namespace cellshow::convert
