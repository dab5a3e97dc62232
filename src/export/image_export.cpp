#include "export/image_export.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <cstring>

#include "export/av_util.h"
#include "render/pixels/cell_image.h"
#include "render/pixels/image_aspect.h"
#include "render/pixels/vga_palette.h"

namespace cellshow {
namespace {

ExportStatus Failed(const std::string& what, int code) {
  return ExportStatus::Fail(what + ": " + av::ErrorText(code));
}

// Sets up a stream's encoder for palette frames of the image at `aspect`
// and its frame.
int StartPaletteStream(AVFormatContext* output, const char* encoder, av::OutputStream& out,
                       AVRational timeBase, ImageAspect aspect) {
  int result = av::StartStream(output, encoder, out);
  if (result < 0) return result;
  AVCodecContext* c = out.codec.get();
  c->width = ShapeOf(aspect).width;
  c->height = ShapeOf(aspect).height;
  c->pix_fmt = AV_PIX_FMT_PAL8;
  c->time_base = timeBase;
  if ((result = av::OpenEncoder(out, nullptr)) < 0) return result;
  AVFrame* f = out.frame.get();
  f->format = c->pix_fmt;
  f->width = c->width;
  f->height = c->height;
  return av_frame_get_buffer(f, 0);
}

// Copies the colour indices at `aspect` and the palette (the VGA colours,
// the rest of it opaque black) into `frame`.
int FillPaletteFrame(AVFrame* frame, const IndexImage& image, ImageAspect aspect) {
  const int result = av_frame_make_writable(frame);
  if (result < 0) return result;
  ShapeIndexImage(image, aspect, frame->data[0], frame->linesize[0]);
  // FFmpeg's palette: 256 native-endian 0xAARRGGBB words.
  auto* palette = reinterpret_cast<uint32_t*>(frame->data[1]);
  for (int i = 0; i < 256; ++i) {
    const Rgb c = i < 16 ? VgaPalette[i] : Rgb{0, 0, 0};
    palette[i] = 0xFF000000u | uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
  }
  return 0;
}

}  // namespace

struct GifExport::Impl {
  ImageAspect aspect = ImageAspect::Square;
  uint32_t lastTick = 0;
  av::OutputPtr output;
  av::OutputStream stream;
  // What the screen shows since tick shownFrom (black at first), and the
  // image of the latest frame, to compare with.
  std::unique_ptr<IndexImage> shown = std::make_unique<IndexImage>();
  std::unique_ptr<IndexImage> latest = std::make_unique<IndexImage>();
  uint32_t shownFrom = 0;
  bool trailerDue = false;  // the header is written and the trailer not yet

  // The GIF muxer holds a packet back, which only its trailer frees: an
  // export that fails or is interrupted still ends the file it throws away.
  ~Impl() {
    if (trailerDue) av_write_trailer(output.get());
  }

  // Encodes what is shown as the GIF frame from shownFrom on.
  int Emit() {
    AVFrame* f = stream.frame.get();
    int result = FillPaletteFrame(f, *shown, aspect);
    if (result < 0) return result;
    f->pts = GifCentiseconds(shownFrom);
    return av::EncodeAndWrite(output.get(), stream, f);
  }
};

GifExport::GifExport(ImageAspect aspect) : impl_(std::make_unique<Impl>()) {
  impl_->aspect = aspect;
}
GifExport::~GifExport() = default;

ExportStatus GifExport::Begin(const ShowTimeline& timeline, const std::string& path) {
  Impl& m = *impl_;
  m.lastTick = timeline.lastTick;
  std::memset(m.shown->pixels, 0, sizeof m.shown->pixels);
  const std::string url = av::FileUrl(path);
  AVFormatContext* context = nullptr;
  int result = avformat_alloc_output_context2(&context, nullptr, "gif", url.c_str());
  if (result < 0) return Failed("cannot make the output", result);
  m.output.reset(context);
  if ((result = StartPaletteStream(context, "gif", m.stream, AVRational{1, 100}, m.aspect)) < 0)
    return Failed("the GIF encoder", result);
  if ((result = avio_open(&context->pb, url.c_str(), AVIO_FLAG_WRITE)) < 0)
    return ExportStatus::Fail(av::ErrorText(result));
  AVDictionary* options = nullptr;
  av_dict_set(&options, "loop", "0", 0);  // forever
  result = avformat_write_header(context, &options);
  av_dict_free(&options);
  if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  m.trailerDue = true;
  return {};
}

ExportStatus GifExport::Frame(uint32_t tick, const ScreenCells& cells) {
  Impl& m = *impl_;
  RenderCellIndices(cells, *m.latest);
  if (std::memcmp(m.latest->pixels, m.shown->pixels, sizeof m.latest->pixels) == 0) return {};
  // The previous picture ends here (the muxer takes its delay from the next
  // picture's start). One too short to be shown is replaced from its start.
  if (GifCentiseconds(tick) - GifCentiseconds(m.shownFrom) >= GifShortestDelay) {
    const int result = m.Emit();
    if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
    m.shownFrom = tick;
  }
  std::swap(m.shown, m.latest);
  return {};
}

ExportStatus GifExport::Finish() {
  Impl& m = *impl_;
  AVFormatContext* context = m.output.get();
  // The last picture lasts until the end of the last frame.
  const int64_t finalDelay =
      GifCentiseconds(int64_t{m.lastTick} + 1) - GifCentiseconds(m.shownFrom);
  int result = av_opt_set_int(context->priv_data, "final_delay", finalDelay, 0);
  if (result >= 0) result = m.Emit();
  if (result >= 0) result = av::EncodeAndWrite(context, m.stream, nullptr);
  if (result >= 0) {
    m.trailerDue = false;
    result = av_write_trailer(context);
  }
  if (result >= 0 && context->pb->error < 0) result = context->pb->error;
  const int closed = avio_closep(&context->pb);
  if (result >= 0) result = closed;
  if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  return {};
}

struct PngExport::Impl {
  uint32_t atTick;
  ImageAspect aspect;
  std::string url;
  av::OutputStream stream;
  std::unique_ptr<IndexImage> image = std::make_unique<IndexImage>();
};

PngExport::PngExport(uint32_t atTick, ImageAspect aspect) : impl_(std::make_unique<Impl>()) {
  impl_->atTick = atTick;
  impl_->aspect = aspect;
}
PngExport::~PngExport() = default;

ExportStatus PngExport::Begin(const ShowTimeline&, const std::string& path) {
  Impl& m = *impl_;
  m.url = av::FileUrl(path);
  std::memset(m.image->pixels, 0, sizeof m.image->pixels);
  // No container: the encoder's one packet is the file.
  const AVCodec* png = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (png == nullptr) return ExportStatus::Fail("no PNG encoder");
  m.stream.codec.reset(avcodec_alloc_context3(png));
  m.stream.frame.reset(av_frame_alloc());
  m.stream.packet.reset(av_packet_alloc());
  if (!m.stream.codec || !m.stream.frame || !m.stream.packet)
    return ExportStatus::Fail(av::ErrorText(AVERROR(ENOMEM)));
  AVCodecContext* c = m.stream.codec.get();
  c->width = ShapeOf(m.aspect).width;
  c->height = ShapeOf(m.aspect).height;
  c->pix_fmt = AV_PIX_FMT_PAL8;
  c->time_base = AVRational{TickMilliseconds, 1000};
  int result = avcodec_open2(c, png, nullptr);
  if (result < 0) return Failed("the PNG encoder", result);
  AVFrame* f = m.stream.frame.get();
  f->format = c->pix_fmt;
  f->width = c->width;
  f->height = c->height;
  if ((result = av_frame_get_buffer(f, 0)) < 0) return Failed("no frame", result);
  return {};
}

ExportStatus PngExport::Frame(uint32_t tick, const ScreenCells& cells) {
  if (tick <= impl_->atTick) RenderCellIndices(cells, *impl_->image);
  return {};
}

ExportStatus PngExport::Finish() {
  Impl& m = *impl_;
  AVFrame* f = m.stream.frame.get();
  int result = FillPaletteFrame(f, *m.image, m.aspect);
  if (result < 0) return Failed("no frame", result);
  f->pts = 0;
  AVCodecContext* c = m.stream.codec.get();
  AVPacket* p = m.stream.packet.get();
  if ((result = avcodec_send_frame(c, f)) < 0 || (result = avcodec_receive_packet(c, p)) < 0)
    return Failed("the PNG encoder", result);
  AVIOContext* file = nullptr;
  if ((result = avio_open(&file, m.url.c_str(), AVIO_FLAG_WRITE)) < 0)
    return ExportStatus::Fail(av::ErrorText(result));
  avio_write(file, p->data, p->size);
  avio_flush(file);
  result = file->error;
  const int closed = avio_closep(&file);
  if (result >= 0) result = closed;
  if (result < 0) return ExportStatus::Fail(av::ErrorText(result));
  return {};
}

}  // namespace cellshow
