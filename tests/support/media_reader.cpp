#include "support/media_reader.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstring>

namespace cellshow::test {

MediaReader::MediaReader(const std::string& path) {
  AVFormatContext* context = nullptr;
  int result = avformat_open_input(&context, ("file:" + path).c_str(), nullptr, nullptr);
  if (result >= 0) result = avformat_find_stream_info(context, nullptr);
  if (result < 0) {
    char text[AV_ERROR_MAX_STRING_SIZE];
    av_strerror(result, text, sizeof text);
    error_ = path + ": " + text;
    avformat_close_input(&context);
    return;
  }
  context_ = context;
}

MediaReader::~MediaReader() { avformat_close_input(&context_); }

AVStream* MediaReader::Stream(AVMediaType type) const {
  for (unsigned i = 0; i < context_->nb_streams; ++i)
    if (context_->streams[i]->codecpar->codec_type == type) return context_->streams[i];
  return nullptr;
}

std::vector<std::vector<PacketCopy>> MediaReader::ReadPackets() {
  std::vector<std::vector<PacketCopy>> packets(context_->nb_streams);
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(context_, packet) >= 0) {
    {
      PacketCopy copy;
      copy.pts = packet->pts;
      copy.duration = packet->duration;
      copy.bytes.assign(packet->data, packet->data + packet->size);
      size_t size = 0;
      const uint8_t* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
      if (skip != nullptr) copy.skipSamples.assign(skip, skip + size);
      packets[packet->stream_index].push_back(std::move(copy));
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  return packets;
}

bool MediaReader::Decode(const AVStream* stream, const std::vector<PacketCopy>& packets, bool skip,
                         const std::function<void(const AVFrame&)>& onFrame) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return false;
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, stream->codecpar);
  decoder->pkt_timebase = stream->time_base;
  if (!skip) decoder->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
  bool ok = avcodec_open2(decoder, codec, nullptr) >= 0;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (avcodec_receive_frame(decoder, frame) >= 0) {
      onFrame(*frame);
      av_frame_unref(frame);
    }
  };
  for (size_t i = 0; ok && i <= packets.size(); ++i) {
    if (i == packets.size()) {
      avcodec_send_packet(decoder, nullptr);
    } else {
      const PacketCopy& copy = packets[i];
      av_new_packet(packet, static_cast<int>(copy.bytes.size()));
      std::memcpy(packet->data, copy.bytes.data(), copy.bytes.size());
      packet->pts = packet->dts = copy.pts;
      packet->duration = copy.duration;
      if (skip && !copy.skipSamples.empty()) {
        uint8_t* side =
            av_packet_new_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, copy.skipSamples.size());
        std::memcpy(side, copy.skipSamples.data(), copy.skipSamples.size());
      }
      ok = avcodec_send_packet(decoder, packet) >= 0;
      av_packet_unref(packet);
    }
    drain();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  return ok;
}

std::vector<uint8_t> ToRgb24(const AVFrame& frame) {
  SwsContext* sws =
      sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                     frame.width, frame.height, AV_PIX_FMT_RGB24,
                     SWS_POINT | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP | SWS_ACCURATE_RND,
                     nullptr, nullptr, nullptr);
  std::vector<uint8_t> rgb(static_cast<size_t>(frame.width) * frame.height * 3);
  uint8_t* planes[1] = {rgb.data()};
  const int strides[1] = {frame.width * 3};
  sws_scale(sws, frame.data, frame.linesize, 0, frame.height, planes, strides);
  sws_freeContext(sws);
  return rgb;
}

namespace {

template <typename Put>
void ForEachSample(const AVFrame& frame, Put put) {
  const int channels = frame.ch_layout.nb_channels;
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const bool planar = av_sample_fmt_is_planar(format);
  for (int i = 0; i < frame.nb_samples; ++i)
    for (int c = 0; c < channels; ++c) {
      const int plane = planar ? c : 0;
      const int index = planar ? i : i * channels + c;
      const uint8_t* data = frame.extended_data[plane];
      switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_FLT:
          put(reinterpret_cast<const float*>(data)[index]);
          break;
        case AV_SAMPLE_FMT_S16:
          put(reinterpret_cast<const int16_t*>(data)[index] / 32768.0f);
          break;
        default:
          put(0.0f);
      }
    }
}

}  // namespace

void AppendSamples(const AVFrame& frame, std::vector<int16_t>& out) {
  ForEachSample(frame, [&](float v) {
    const float scaled = std::round(v * 32767.0f);
    out.push_back(static_cast<int16_t>(std::fmax(-32768.0f, std::fmin(32767.0f, scaled))));
  });
}

void AppendFloatSamples(const AVFrame& frame, std::vector<float>& out) {
  ForEachSample(frame, [&](float v) { out.push_back(v); });
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / sum);
}

}  // namespace cellshow::test
