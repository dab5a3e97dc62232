#include "support/convert_pictures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/ansi/cp437_glyphs.h"
#include "render/art/ansi_art.h"
#include "render/pixels/cp437_font.h"
#include "render/scaled/oklab.h"

namespace cellshow::bench {
namespace {

constexpr int Width = 640, Height = 400;

bool Load(const std::string& path, convert::Canvas& canvas) {
  convert::PictureSource source;
  std::string error;
  const AVFrame* frame = nullptr;
  double seconds = 0;
  canvas.width = Width;
  canvas.height = Height;
  canvas.pixels.assign(Width * Height, 0);
  return source.Open(path, 0, error) && source.Next(frame, seconds, error) &&
         source.FitInto(convert::Fit::Stretch, 1.0, 0, canvas, error);
}

uint32_t Rgba(int r, int g, int b) {
  return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16 |
         0xFF000000u;
}

// The glyph's code page 437 byte for a Unicode code point; -1 if none.
int Cp437Of(uint32_t codePoint) {
  for (int i = 0; i < 256; ++i)
    if (Cp437CodePoints[i] == codePoint) return i;
  return -1;
}

std::string Quote(const std::string& word) {
  std::string q = "'";
  for (const char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

const std::vector<SamplePicture>& SamplePictures() {
  static const std::vector<SamplePicture> pictures = [] {
    std::vector<SamplePicture> list;
    const char* dir = std::getenv("CELLSHOW_SAMPLE_IMAGES");
    const std::string folder = dir != nullptr ? dir : CELLSHOW_SAMPLE_IMAGES;
    for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.jpg"}) {
      SamplePicture p{name, {}};
      if (Load(folder + "/" + name, p.canvas)) {
        list.push_back(std::move(p));
      } else {
        std::fprintf(stderr, "no %s/%s (make bench fetches it)\n", folder.c_str(), name);
      }
    }
    SamplePicture gradient{"gradient (drawn)", {Width, Height, {}}};
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x)
        gradient.canvas.pixels.push_back(Rgba(x * 255 / (Width - 1), y * 255 / (Height - 1),
                                              (x + y) * 255 / (Width + Height - 2)));
    list.push_back(std::move(gradient));
    return list;
  }();
  return pictures;
}

bool WritePanningVideo(const std::string& path, double seconds) {
  constexpr int W = 640, H = 360, Fps = 30;
  const convert::Canvas& photo = SamplePictures().front().canvas;
  av_log_set_level(AV_LOG_ERROR);
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, "mp4", path.c_str()) < 0) return false;
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVStream* stream = avformat_new_stream(out, nullptr);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = W;
  c->height = H;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, Fps};
  c->bit_rate = 4000000;
  if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  bool ok = avcodec_open2(c, codec, nullptr) >= 0 &&
            avcodec_parameters_from_context(stream->codecpar, c) >= 0 &&
            avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
            avformat_write_header(out, nullptr) >= 0;
  stream->time_base = c->time_base;
  AVFrame* frame = av_frame_alloc();
  frame->format = c->pix_fmt;
  frame->width = W;
  frame->height = H;
  ok = ok && av_frame_get_buffer(frame, 0) >= 0;
  SwsContext* sws = sws_getContext(W, H, AV_PIX_FMT_RGBA, W, H, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                                   nullptr, nullptr, nullptr);
  AVPacket* packet = av_packet_alloc();
  std::vector<uint32_t> rgba(W * H);
  auto drain = [&] {
    while (avcodec_receive_packet(c, packet) == 0) {
      av_packet_rescale_ts(packet, c->time_base, stream->time_base);
      packet->stream_index = stream->index;
      ok = ok && av_interleaved_write_frame(out, packet) >= 0;
    }
  };
  const int frames = static_cast<int>(seconds * Fps);
  for (int n = 0; ok && n < frames; ++n) {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const uint32_t p = photo.pixels[(y * Height / H) * Width + (x + 4 * n) % Width];
        const int tint = (n * 3) % 64;
        rgba[y * W + x] = Rgba(std::min(255, static_cast<int>(p & 0xFF) + tint), p >> 8 & 0xFF,
                               std::min(255, static_cast<int>(p >> 16 & 0xFF) + 63 - tint));
      }
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(rgba.data())};
    const int stride[1] = {W * 4};
    av_frame_make_writable(frame);
    sws_scale(sws, src, stride, 0, H, frame->data, frame->linesize);
    frame->pts = n;
    ok = ok && avcodec_send_frame(c, frame) >= 0;
    drain();
  }
  avcodec_send_frame(c, nullptr);
  drain();
  ok = ok && av_write_trailer(out) >= 0;
  avio_closep(&out->pb);
  sws_freeContext(sws);
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&c);
  avformat_free_context(out);
  return ok;
}

bool WritePng(const std::string& path, const convert::Canvas& canvas) {
  const AVCodec* png = avcodec_find_encoder(AV_CODEC_ID_PNG);
  AVCodecContext* c = avcodec_alloc_context3(png);
  c->width = canvas.width;
  c->height = canvas.height;
  c->pix_fmt = AV_PIX_FMT_RGBA;
  c->time_base = AVRational{1, 1};
  AVFrame* f = av_frame_alloc();
  AVPacket* p = av_packet_alloc();
  f->format = c->pix_fmt;
  f->width = canvas.width;
  f->height = canvas.height;
  bool ok = avcodec_open2(c, png, nullptr) >= 0 && av_frame_get_buffer(f, 0) >= 0;
  for (int y = 0; ok && y < canvas.height; ++y)
    std::memcpy(f->data[0] + y * f->linesize[0], &canvas.pixels[y * canvas.width],
                canvas.width * 4);
  ok = ok && avcodec_send_frame(c, f) >= 0 && avcodec_receive_packet(c, p) >= 0;
  if (ok) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ok = file != nullptr && std::fwrite(p->data, 1, p->size, file) == static_cast<size_t>(p->size);
    if (file != nullptr) std::fclose(file);
  }
  av_packet_free(&p);
  av_frame_free(&f);
  avcodec_free_context(&c);
  return ok;
}

bool ChafaCells(const std::string& png, const std::vector<std::string>& options,
                ScreenCells& cells) {
  std::string symbols;
  for (int i = 0; i < 256; ++i) {
    char range[24];
    std::snprintf(range, sizeof range, "%s%x..%x", i == 0 ? "" : "+", Cp437CodePoints[i],
                  Cp437CodePoints[i]);
    symbols += range;
  }
  std::string command =
      "chafa --format symbols --colors 16 --size 80x50 --stretch --symbols " + symbols;
  for (const std::string& o : options) command += " " + Quote(o);
  command += " " + Quote(png) + " 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  if (pclose(pipe) != 0) return false;
  // UTF-8 to code page 437; each line break places the next line itself
  // (a full 80-column line has wrapped already).
  std::vector<uint8_t> art;
  int row = 1;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (b == '\n') {
      const std::string move = "\x1b[" + std::to_string(++row) + ";1H";
      art.insert(art.end(), move.begin(), move.end());
      ++i;
      continue;
    }
    if (b < 0x80) {
      art.push_back(b);
      ++i;
      continue;
    }
    const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    uint32_t cp = b & (0xFF >> (length + 1));
    for (int k = 1; k < length && i + k < text.size(); ++k) cp = cp << 6 | (text[i + k] & 0x3F);
    i += length;
    const int code = Cp437Of(cp);
    art.push_back(static_cast<uint8_t>(code < 0 ? '?' : code));
  }
  ArtImage image;
  if (!ReadArt(art.data(), art.size(), ArtFormat::Ansi, image).empty() || image.width != 80 ||
      image.height < 50)
    return false;
  for (int i = 0; i < ScreenCellCount; ++i) cells[i] = image.cells[i];
  return true;
}

bool WriteVgaBdf(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  std::vector<int> codes;
  for (int i = 0; i < 256; ++i)
    if (Cp437Of(Cp437CodePoints[i]) == i) codes.push_back(i);
  std::fprintf(f,
               "STARTFONT 2.1\nFONT -cellshow-vga-medium-r-normal--8-80-75-75-c-80-iso10646-1\n"
               "SIZE 8 75 75\nFONTBOUNDINGBOX 8 8 0 0\nSTARTPROPERTIES 4\nFONT_ASCENT 8\n"
               "FONT_DESCENT 0\nCHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\n"
               "ENDPROPERTIES\nCHARS %zu\n",
               codes.size());
  for (const int code : codes) {
    std::fprintf(f,
                 "STARTCHAR u%04x\nENCODING %d\nSWIDTH 1000 0\nDWIDTH 8 0\nBBX 8 8 0 0\nBITMAP\n",
                 Cp437CodePoints[code], Cp437CodePoints[code]);
    for (const uint8_t row : GlyphRows(static_cast<uint8_t>(code))) std::fprintf(f, "%02X\n", row);
    std::fputs("ENDCHAR\n", f);
  }
  std::fputs("ENDFONT\n", f);
  return std::fclose(f) == 0;
}

double PsnrRgb(const PixelImage& image, const convert::Canvas& reference) {
  double sum = 0;
  for (int i = 0; i < ImagePixels; ++i)
    for (int shift = 0; shift < 24; shift += 8) {
      const double d = static_cast<double>(image.pixels[i] >> shift & 0xFF) -
                       static_cast<double>(reference.pixels[i] >> shift & 0xFF);
      sum += d * d;
    }
  return 10 * std::log10(255.0 * 255.0 / (sum / (3.0 * ImagePixels)));
}

double PsnrOkLab(const PixelImage& image, const convert::Canvas& reference) {
  auto lab = [](uint32_t p) {
    return ToOkLab(
        Rgb{static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16)});
  };
  double sum = 0;
  for (int i = 0; i < ImagePixels; ++i)
    sum += DistanceSquared(lab(image.pixels[i]), lab(reference.pixels[i]));
  return 10 * std::log10(1.0 / (sum / ImagePixels));
}

}  // namespace cellshow::bench
