#include "export/video_export.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <cstring>
#include <vector>

#include "export/audio_track.h"
#include "export/av_util.h"
#include "render/pixels/cell_image.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {
namespace {

struct FormatSettings {
  const char* muxer;
  const char* encoder;
  const char* encoderLabel;
  // Encoder options, name then value.
  const char* options[12];
  // Muxer options.
  const char* muxerOptions[2];
  // The sound: the MP3 copied, or encoded again.
  std::unique_ptr<AudioTrack> (*makeAudio)();
};

// H.264: CRF 16 `veryfast` takes about 7 ms a frame on two cores. Tuned for
// PSNR (no psychovisual or adaptive quantisation, which spend bits on what
// film grain needs): that keeps every frame near 39 dB, even the last one
// before a cut, which otherwise drops under 36 dB, for 15% more bytes.
// VP9: realtime mode with row threading keeps it within a few times real
// time; with no frames held back for look-ahead it needs 140 MB, not 205.
constexpr FormatSettings Mp4Settings = {
    "mp4",
    "libx264",
    "H.264 (libx264)",
    {"preset", "veryfast", "crf", "16", "tune", "psnr", nullptr},
    {"movflags", "+faststart"},
    MakeMp3CopyTrack};
constexpr FormatSettings MatroskaSettings = {
    "matroska",         "libx264",
    "H.264 (libx264)",  {"preset", "veryfast", "crf", "16", "tune", "psnr", nullptr},
    {nullptr, nullptr}, MakeMp3CopyTrack};
constexpr FormatSettings WebMSettings = {"webm",
                                         "libvpx-vp9",
                                         "VP9 (libvpx-vp9)",
                                         {"deadline", "realtime", "cpu-used", "8", "crf", "20",
                                          "row-mt", "1", "lag-in-frames", "0", nullptr},
                                         {nullptr, nullptr},
                                         MakeOpusTrack};

const FormatSettings& SettingsFor(VideoFormat format) {
  switch (format) {
    case VideoFormat::Mp4:
      return Mp4Settings;
    case VideoFormat::Matroska:
      return MatroskaSettings;
    case VideoFormat::WebM:
      break;
  }
  return WebMSettings;
}

ExportStatus Failed(const std::string& what, int code) {
  return ExportStatus::Fail(what + ": " + av::ErrorText(code));
}

}  // namespace

bool ConvertPalette(YuvPalette& out) {
  // Each colour as an 80x16 patch of a 1280-wide image, so that swscale runs
  // the code it runs on a frame; the middle of each patch is read back.
  constexpr int Width = VideoWidth, Height = 16, Patch = Width / 16;
  av::ScalerPtr scaler(sws_getContext(Width, Height, AV_PIX_FMT_RGBA, Width, Height,
                                      AV_PIX_FMT_YUV420P, SWS_AREA | SWS_ACCURATE_RND, nullptr,
                                      nullptr, nullptr));
  av::FramePtr yuv(av_frame_alloc());
  if (!scaler || !yuv) return false;
  yuv->format = AV_PIX_FMT_YUV420P;
  yuv->width = Width;
  yuv->height = Height;
  if (av_frame_get_buffer(yuv.get(), 0) < 0) return false;
  std::vector<uint32_t> rgba(Width * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) rgba[y * Width + x] = PackRgba(VgaPalette[x / Patch]);
  const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(rgba.data())};
  const int stride[1] = {Width * 4};
  if (sws_scale(scaler.get(), source, stride, 0, Height, yuv->data, yuv->linesize) != Height)
    return false;
  for (int c = 0; c < 16; ++c) {
    const int x = c * Patch + Patch / 2;
    out[c] = {yuv->data[0][Height / 2 * yuv->linesize[0] + x],
              yuv->data[1][Height / 4 * yuv->linesize[1] + x / 2],
              yuv->data[2][Height / 4 * yuv->linesize[2] + x / 2]};
  }
  return true;
}

struct VideoExport::Impl {
  const FormatSettings& settings;
  bool mute;
  ShowTimeline timeline;
  av::OutputPtr output;
  av::OutputStream video;
  std::unique_ptr<AudioTrack> audio;
  YuvPalette palette{};
  std::unique_ptr<IndexImage> indices = std::make_unique<IndexImage>();

  Impl(VideoFormat format, bool mute) : settings(SettingsFor(format)), mute(mute) {}

  ExportStatus Begin(const std::string& path, std::unique_ptr<AudioTrack> track,
                     std::vector<std::string>& notices);
  // Writes the screen's colour indices into the frame.
  int Draw(const IndexImage& image);
  // Encodes the frame as it stands for frames up to `last`.
  int EncodeThrough(uint32_t last);
};

ExportStatus VideoExport::Impl::Begin(const std::string& path, std::unique_ptr<AudioTrack> track,
                                      std::vector<std::string>& notices) {
  // The output from the format's name; then its streams.
  const std::string url = av::FileUrl(path);
  AVFormatContext* context = nullptr;
  int result = avformat_alloc_output_context2(&context, nullptr, settings.muxer, url.c_str());
  if (result < 0) return Failed("cannot make the output", result);
  output.reset(context);

  result = av::StartStream(context, settings.encoder, video);
  if (result < 0) return Failed(std::string("no ") + settings.encoderLabel + " encoder", result);
  AVCodecContext* c = video.codec.get();
  c->width = VideoWidth;
  c->height = VideoHeight;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{TickMilliseconds, 1000};
  c->framerate = AVRational{1000, TickMilliseconds};
  c->sample_aspect_ratio = AVRational{5, 6};  // 1280 x 5 : 800 x 6 = 4:3
  c->colorspace = AVCOL_SPC_SMPTE170M;
  c->color_range = AVCOL_RANGE_MPEG;
  c->thread_count = 0;
  video.stream->sample_aspect_ratio = c->sample_aspect_ratio;
  video.stream->avg_frame_rate = c->framerate;

  const bool musicPlays = timeline.musicTick >= 0 && timeline.musicTick <= timeline.lastTick;
  if (!mute && musicPlays) {
    const unsigned streams = context->nb_streams;
    const std::string why = track->AddStream(
        timeline.musicPath, context, timeline.musicTick * TickMilliseconds - timeline.musicFromMs,
        int64_t{timeline.frameCount()} * TickMilliseconds);
    if (why.empty()) {
      audio = std::move(track);
    } else {
      if (context->nb_streams != streams) return ExportStatus::Fail("the music: " + why);
      notices.push_back("no sound in the video: " + timeline.musicPath + ": " + why);
    }
  }

  // The codecs, then their parameters to the streams (OpenEncoder does both).
  AVDictionary* options = nullptr;
  for (int i = 0; settings.options[i] != nullptr; i += 2)
    av_dict_set(&options, settings.options[i], settings.options[i + 1], 0);
  result = av::OpenEncoder(video, options);
  if (result < 0) return Failed(std::string("the ") + settings.encoderLabel + " encoder", result);
  if (audio && (result = audio->OpenCodec()) < 0) return Failed("the sound encoder", result);

  AVFrame* f = video.frame.get();
  f->format = c->pix_fmt;
  f->width = c->width;
  f->height = c->height;
  f->sample_aspect_ratio = c->sample_aspect_ratio;
  if ((result = av_frame_get_buffer(f, 0)) < 0) return Failed("no frame", result);
  if (!ConvertPalette(palette)) return ExportStatus::Fail("swscale cannot convert the palette");
  // The screen is black until the first present.
  std::memset(indices->pixels, 0, sizeof indices->pixels);
  if ((result = Draw(*indices)) < 0) return Failed("no frame", result);

  // The file, then the header.
  if ((result = avio_open(&context->pb, url.c_str(), AVIO_FLAG_WRITE)) < 0)
    return ExportStatus::Fail(av::ErrorText(result));
  AVDictionary* muxerOptions = nullptr;
  if (settings.muxerOptions[0] != nullptr)
    av_dict_set(&muxerOptions, settings.muxerOptions[0], settings.muxerOptions[1], 0);
  result = avformat_write_header(context, &muxerOptions);
  av_dict_free(&muxerOptions);
  if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  return {};
}

int VideoExport::Impl::Draw(const IndexImage& image) {
  AVFrame* f = video.frame.get();
  const int result = av_frame_make_writable(f);
  if (result < 0) return result;
  for (int row = 0; row < ImageHeight; ++row) {
    const uint8_t* source = image.pixels + row * ImageWidth;
    uint8_t* y = f->data[0] + 2 * row * f->linesize[0];
    uint8_t* u = f->data[1] + row * f->linesize[1];
    uint8_t* v = f->data[2] + row * f->linesize[2];
    for (int x = 0; x < ImageWidth; ++x) {
      const YuvColor c = palette[source[x] & 15];
      y[2 * x] = y[2 * x + 1] = c.y;
      u[x] = c.u;
      v[x] = c.v;
    }
    std::memcpy(y + f->linesize[0], y, VideoWidth);
  }
  return 0;
}

int VideoExport::Impl::EncodeThrough(uint32_t last) {
  AVFrame* f = video.frame.get();
  for (; video.nextPts <= last; ++video.nextPts) {
    f->pts = video.nextPts;
    int result = av::EncodeAndWrite(output.get(), video, f);
    if (result < 0) return result;
    if (audio && (result = audio->WriteUntil(output.get(), video.nextPts * TickMilliseconds)) < 0)
      return result;
  }
  return 0;
}

VideoExport::VideoExport(VideoFormat format, bool mute)
    : impl_(std::make_unique<Impl>(format, mute)) {}

VideoExport::~VideoExport() = default;

ExportStatus VideoExport::Begin(const ShowTimeline& timeline, const std::string& path) {
  impl_->timeline = timeline;
  std::vector<std::string> notices;
  ExportStatus status = impl_->Begin(path, impl_->settings.makeAudio(), notices);
  for (std::string& line : notices) Notice(std::move(line));
  return status;
}

ExportStatus VideoExport::Frame(uint32_t tick, const ScreenCells& cells) {
  // The frames before this tick show the screen as it was.
  if (tick > 0) {
    const int result = impl_->EncodeThrough(tick - 1);
    if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  }
  RenderCellIndices(cells, *impl_->indices);
  const int result = impl_->Draw(*impl_->indices);
  if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  return {};
}

ExportStatus VideoExport::Finish() {
  Impl& m = *impl_;
  AVFormatContext* context = m.output.get();
  int result = m.EncodeThrough(m.timeline.lastTick);
  if (result >= 0) result = av::EncodeAndWrite(context, m.video, nullptr);
  if (result >= 0 && m.audio) result = m.audio->Finish(context);
  if (result >= 0) result = av_write_trailer(context);
  if (result >= 0 && context->pb->error < 0) result = context->pb->error;
  const int closed = avio_closep(&context->pb);
  if (result >= 0) result = closed;
  if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  return {};
}

}  // namespace cellshow
