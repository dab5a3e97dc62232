#include "picture_source.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "export/av_util.h"
#include "picture_header.h"

namespace cellshow::convert {
namespace {

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

std::string TooLarge(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0)
    return "is a picture of no pixels (" + SizeText(width, height) + ")";
  if (width > MaxPictureSide || height > MaxPictureSide || width * height > MaxPicturePixels)
    return "is " + SizeText(width, height) + " pixels; pictures up to " +
           std::to_string(MaxPictureSide) + " pixels on a side and " +
           std::to_string(MaxPicturePixels / 1000000) + " megapixels are read";
  return {};
}

}  // namespace

Placement Place(Fit fit, int sourceWidth, int sourceHeight, double sourceAspect, int canvasWidth,
                int canvasHeight, double pixelAspect) {
  Placement p{0, 0, canvasWidth, canvasHeight, 0, 0, sourceWidth, sourceHeight};
  if (fit == Fit::Stretch) return p;
  // The source's aspect in canvas pixels.
  const double aspect = sourceAspect / pixelAspect;
  const double canvasAspect = static_cast<double>(canvasWidth) / canvasHeight;
  if (fit == Fit::Contain) {
    if (aspect > canvasAspect) {
      p.height = std::clamp(static_cast<int>(std::lround(canvasWidth / aspect)), 1, canvasHeight);
      p.y = (canvasHeight - p.height) / 2;
    } else {
      p.width = std::clamp(static_cast<int>(std::lround(canvasHeight * aspect)), 1, canvasWidth);
      p.x = (canvasWidth - p.width) / 2;
    }
    return p;
  }
  // Cover: the middle of the source with the canvas's shape.
  if (aspect > canvasAspect) {
    p.cropWidth = std::clamp(static_cast<int>(std::lround(sourceWidth * canvasAspect / aspect)), 1,
                             sourceWidth);
    p.cropX = (sourceWidth - p.cropWidth) / 2;
  } else {
    p.cropHeight = std::clamp(static_cast<int>(std::lround(sourceHeight * aspect / canvasAspect)),
                              1, sourceHeight);
    p.cropY = (sourceHeight - p.cropHeight) / 2;
  }
  return p;
}

struct PictureSource::Impl {
  av::InputPtr input;
  av::CodecContextPtr decoder;
  av::PacketPtr packet{av_packet_alloc()};
  av::FramePtr frame{av_frame_alloc()};
  av::ScalerPtr scaler;
  int stream = -1;
  AVRational timeBase{1, 1};
  int64_t origin = 0;  // the stream's first timestamp
  double lastSeconds = -1, lastDuration = 0, frameRate = 0;
  bool draining = false, ended = false;

  double Seconds(int64_t timestamp) const {
    return static_cast<double>(timestamp - origin) * av_q2d(timeBase);
  }
};

PictureSource::PictureSource() : impl_(std::make_unique<Impl>()) {}
PictureSource::~PictureSource() = default;

bool PictureSource::Open(const std::string& path, double startSeconds, std::string& error) {
  Impl& m = *impl_;
  int width = 0, height = 0;
  if (ReadPictureHeader(path, width, height) && !(error = TooLarge(width, height)).empty())
    return false;
  AVFormatContext* context = nullptr;
  int result = avformat_open_input(&context, av::FileUrl(path).c_str(), nullptr, nullptr);
  if (result < 0) {
    error = "cannot be read: " + av::ErrorText(result);
    return false;
  }
  m.input.reset(context);
  // The probing decoders get the limit too: nothing larger is allocated.
  std::vector<AVDictionary*> options(context->nb_streams, nullptr);
  const std::string limit = std::to_string(MaxPicturePixels);
  for (AVDictionary*& o : options) av_dict_set(&o, "max_pixels", limit.c_str(), 0);
  result = avformat_find_stream_info(context, options.empty() ? nullptr : options.data());
  for (AVDictionary*& o : options) av_dict_free(&o);
  if (result < 0) {
    error = "cannot be decoded: " + av::ErrorText(result);
    return false;
  }
  const AVCodec* codec = nullptr;
  m.stream = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (m.stream < 0 || codec == nullptr) {
    error = m.stream == AVERROR_DECODER_NOT_FOUND ? "has a picture no decoder here reads"
                                                  : "has no picture";
    return false;
  }
  AVStream* s = context->streams[m.stream];
  if (s->codecpar->width != 0 || s->codecpar->height != 0)
    if (!(error = TooLarge(s->codecpar->width, s->codecpar->height)).empty()) return false;
  m.timeBase = s->time_base;
  m.origin = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
  const AVRational rate = av_guess_frame_rate(context, s, nullptr);
  m.frameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
  m.decoder.reset(avcodec_alloc_context3(codec));
  if (!m.decoder || !m.packet || !m.frame) {
    error = "out of memory";
    return false;
  }
  avcodec_parameters_to_context(m.decoder.get(), s->codecpar);
  m.decoder->max_pixels = MaxPicturePixels;
  m.decoder->thread_count = 0;  // as many as there are cores
  if ((result = avcodec_open2(m.decoder.get(), codec, nullptr)) < 0) {
    error = "cannot be decoded: " + av::ErrorText(result);
    return false;
  }
  if (startSeconds > 0) {
    const auto target = static_cast<int64_t>(startSeconds / av_q2d(m.timeBase)) + m.origin;
    // Back to the key picture before it; a source that cannot seek is
    // decoded from its start.
    if (avformat_seek_file(context, m.stream, INT64_MIN, target, target, 0) < 0)
      av_seek_frame(context, m.stream, m.origin, AVSEEK_FLAG_BACKWARD);
  }
  return true;
}

bool PictureSource::Next(const AVFrame*& frame, double& seconds, std::string& error) {
  Impl& m = *impl_;
  for (;;) {
    int result = avcodec_receive_frame(m.decoder.get(), m.frame.get());
    if (result == 0) {
      const int64_t stamp = m.frame->best_effort_timestamp;
      seconds = stamp != AV_NOPTS_VALUE ? m.Seconds(stamp) : m.lastSeconds + m.lastDuration;
      if (m.lastSeconds >= 0 && seconds <= m.lastSeconds) seconds = m.lastSeconds + 1e-6;
      m.lastSeconds = seconds;
      m.lastDuration = m.frame->pkt_duration > 0
                           ? static_cast<double>(m.frame->pkt_duration) * av_q2d(m.timeBase)
                       : m.frameRate > 0 ? 1.0 / m.frameRate
                                         : 0.1;
      frame = m.frame.get();
      return true;
    }
    if (result == AVERROR_EOF) return false;
    if (result != AVERROR(EAGAIN)) {
      error = "cannot be decoded: " + av::ErrorText(result);
      return false;
    }
    if (m.draining) return false;
    result = av_read_frame(m.input.get(), m.packet.get());
    if (result < 0) {
      m.draining = true;
      avcodec_send_packet(m.decoder.get(), nullptr);
      continue;
    }
    if (m.packet->stream_index == m.stream) {
      result = avcodec_send_packet(m.decoder.get(), m.packet.get());
      av_packet_unref(m.packet.get());
      if (result < 0 && result != AVERROR(EAGAIN)) {
        error = "cannot be decoded: " + av::ErrorText(result);
        return false;
      }
    } else {
      av_packet_unref(m.packet.get());
    }
  }
}

double PictureSource::LastDuration() const { return impl_->lastDuration; }

double PictureSource::Length() const {
  const Impl& m = *impl_;
  // The file's length (to the end of its last picture) before the stream's
  // own, which some containers give as the start of the last picture.
  const AVStream* s = m.input->streams[m.stream];
  if (m.input->duration != AV_NOPTS_VALUE && m.input->duration > 0)
    return static_cast<double>(m.input->duration) / AV_TIME_BASE;
  if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
    return static_cast<double>(s->duration) * av_q2d(s->time_base);
  return 0;
}

bool PictureSource::FitInto(Fit fit, double pixelAspect, uint32_t background, Canvas& canvas,
                            std::string& error) {
  Impl& m = *impl_;
  std::fill(canvas.pixels.begin(), canvas.pixels.end(), background);
  const AVFrame* f = m.frame.get();
  if (!(error = TooLarge(f->width, f->height)).empty()) return false;
  AVRational sar = f->sample_aspect_ratio;
  if (sar.num <= 0 || sar.den <= 0) sar = AVRational{1, 1};
  const double aspect = static_cast<double>(f->width) * av_q2d(sar) / f->height;
  const Placement p =
      Place(fit, f->width, f->height, aspect, canvas.width, canvas.height, pixelAspect);
  av::FramePtr source(av_frame_clone(f));
  if (!source) {
    error = "out of memory";
    return false;
  }
  source->crop_left = static_cast<size_t>(p.cropX);
  source->crop_top = static_cast<size_t>(p.cropY);
  source->crop_right = static_cast<size_t>(f->width - p.cropX - p.cropWidth);
  source->crop_bottom = static_cast<size_t>(f->height - p.cropY - p.cropHeight);
  av_frame_apply_cropping(source.get(), AV_FRAME_CROP_UNALIGNED);
  SwsContext* scaler = sws_getCachedContext(
      m.scaler.release(), source->width, source->height, static_cast<AVPixelFormat>(source->format),
      p.width, p.height, AV_PIX_FMT_RGBA, SWS_BICUBIC | SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND,
      nullptr, nullptr, nullptr);
  m.scaler.reset(scaler);
  if (scaler == nullptr) {
    error = "has pictures in a form that cannot be converted";
    return false;
  }
  uint8_t* out[4] = {reinterpret_cast<uint8_t*>(&canvas.pixels[p.y * canvas.width + p.x])};
  const int strides[4] = {canvas.width * 4};
  sws_scale(scaler, source->data, source->linesize, 0, source->height, out, strides);
  return true;
}

}  // namespace cellshow::convert
