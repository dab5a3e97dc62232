#pragma once
// Owning handles for the FFmpeg objects the exports use, FFmpeg error codes as
// text, and the one encode loop every stream shares.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace cellshow::av {

struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerDeleter {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResamplerDeleter {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
// An input opened with avformat_open_input.
struct InputDeleter {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// An output context; closes its file if it is still open (errors then go
// unnoticed: a sink closes it itself on the way to success).
struct OutputDeleter {
  void operator()(AVFormatContext* c) const {
    if (c->pb != nullptr && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
struct DictionaryDeleter {
  void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;
using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;

// FFmpeg's text for an error code ("No space left on device").
std::string ErrorText(int code);

// The URL FFmpeg opens for a local path: "file:" keeps a name with a colon in
// it from being taken for a protocol.
std::string FileUrl(const std::string& path);

// Opens `path` as an input and reads its stream information. Returns 0 or an
// FFmpeg error code.
int OpenInput(const std::string& path, InputPtr& input);

// One output stream: its encoder and the objects it works with.
struct OutputStream {
  AVStream* stream = nullptr;  // owned by the output context
  CodecContextPtr codec;
  FramePtr frame;
  PacketPtr packet;
  int64_t nextPts = 0;  // of the next frame, in the codec's time base
};

// Finds the encoder by name, makes its context and the stream's frame and
// packet. Returns 0 or an FFmpeg error code.
int StartStream(AVFormatContext* output, const char* encoderName, OutputStream& out);

// Opens the encoder with `options` (consumed) and copies its parameters to
// the stream. Returns 0 or an FFmpeg error code.
int OpenEncoder(OutputStream& out, AVDictionary* options);

// Sends `frame` to the stream's encoder (nullptr flushes it) and writes every
// packet it gives back, rescaled from the codec's time base to the stream's.
// Returns 0 or an FFmpeg error code (AVERROR_EOF once flushed is 0).
int EncodeAndWrite(AVFormatContext* output, OutputStream& out, const AVFrame* frame);

}  // namespace cellshow::av
