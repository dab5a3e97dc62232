#include "support/media_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "support/temp_dir.h"

namespace cellshow::test {
namespace {

void Check(int result, const char* what) {
  if (result < 0)
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(result));
}

void PutBig(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBig(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBig(png, static_cast<uint32_t>(crc32(0, &png[start], static_cast<uInt>(png.size() - start))));
}

// A PNG of 8-bit pixels of `colourType` (2 RGB, 6 RGBA) from its deflated rows.
std::vector<uint8_t> Png(uint32_t width, uint32_t height, uint8_t colourType,
                         const std::vector<uint8_t>& packed) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
  PutBig(header, width);
  PutBig(header, height);
  header.insert(header.end(), {8, colourType, 0, 0, 0});
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  return png;
}

}  // namespace

void WriteVideo(const std::string& path, int width, int height, int frames, int fps,
                const std::function<void(int, Picture&)>& draw) {
  AVFormatContext* out = nullptr;
  Check(avformat_alloc_output_context2(&out, nullptr, "matroska", path.c_str()), "output");
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FFV1);
  AVStream* stream = avformat_new_stream(out, nullptr);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = width, c->height = height;
  c->pix_fmt = AV_PIX_FMT_RGB32;  // B, G, R, A in memory
  c->time_base = AVRational{1, fps}, c->framerate = AVRational{fps, 1};
  if (out->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(c, codec, nullptr), "ffv1");
  Check(avcodec_parameters_from_context(stream->codecpar, c), "parameters");
  stream->time_base = c->time_base;
  Check(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), "open");
  Check(avformat_write_header(out, nullptr), "header");
  AVFrame* frame = av_frame_alloc();
  frame->format = c->pix_fmt, frame->width = width, frame->height = height;
  Check(av_frame_get_buffer(frame, 0), "frame");
  AVPacket* packet = av_packet_alloc();
  Picture pixels(static_cast<size_t>(width) * height);
  auto drain = [&] {
    while (avcodec_receive_packet(c, packet) == 0) {
      packet->duration = 1;  // one picture long
      av_packet_rescale_ts(packet, c->time_base, stream->time_base);
      packet->stream_index = stream->index;
      Check(av_interleaved_write_frame(out, packet), "write");
    }
  };
  for (int n = 0; n < frames; ++n) {
    draw(n, pixels);
    Check(av_frame_make_writable(frame), "writable");
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint32_t p = pixels[y * width + x];
        uint8_t* d = frame->data[0] + y * frame->linesize[0] + 4 * x;
        d[0] = static_cast<uint8_t>(p >> 16), d[1] = static_cast<uint8_t>(p >> 8);
        d[2] = static_cast<uint8_t>(p), d[3] = 255;
      }
    frame->pts = n;
    Check(avcodec_send_frame(c, frame), "encode");
    drain();
  }
  avcodec_send_frame(c, nullptr);
  drain();
  Check(av_write_trailer(out), "trailer");
  avio_closep(&out->pb);
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&c);
  avformat_free_context(out);
}

void WritePng(const std::string& path, int width, int height, const Picture& pixels) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < width; ++x)
      for (int shift = 0; shift < 32; shift += 8)
        raw.push_back(static_cast<uint8_t>(pixels[y * width + x] >> shift));
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(size);
  if (compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size())) != Z_OK)
    throw std::runtime_error("zlib");
  packed.resize(size);
  WriteFile(path, Png(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 6, packed));
}

void WriteWave(const std::string& path, const std::vector<int16_t>& samples, int rate) {
  std::vector<uint8_t> w;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto data = static_cast<uint32_t>(samples.size() * 2);
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  put(36 + data, 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put(16, 4), put(1, 2), put(1, 2), put(static_cast<uint32_t>(rate), 4);
  put(static_cast<uint32_t>(rate) * 2, 4), put(2, 2), put(16, 2);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  put(data, 4);
  for (const int16_t s : samples) put(static_cast<uint16_t>(s), 2);
  WriteFile(path, w);
}

std::vector<uint8_t> LargePng(uint32_t width, uint32_t height) {
  // Rows of zeros (filter byte and RGB), deflated a megabyte at a time.
  z_stream z{};
  deflateInit(&z, Z_BEST_SPEED);
  const uint64_t total = (uint64_t{width} * 3 + 1) * height;
  std::vector<uint8_t> zeros(1 << 20, 0), packed, buffer(1 << 16);
  for (uint64_t done = 0; done < total;) {
    const auto n = static_cast<uInt>(std::min<uint64_t>(zeros.size(), total - done));
    done += n;
    z.next_in = zeros.data();
    z.avail_in = n;
    const int flush = done == total ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = buffer.data();
      z.avail_out = static_cast<uInt>(buffer.size());
      deflate(&z, flush);
      packed.insert(packed.end(), buffer.data(), z.next_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  return Png(width, height, 2, packed);
}

}  // namespace cellshow::test
