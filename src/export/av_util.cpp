#include "export/av_util.h"

extern "C" {
#include <libavutil/error.h>
}

namespace cellshow::av {

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

std::string FileUrl(const std::string& path) { return "file:" + path; }

int OpenInput(const std::string& path, InputPtr& input) {
  AVFormatContext* context = nullptr;
  int result = avformat_open_input(&context, FileUrl(path).c_str(), nullptr, nullptr);
  if (result < 0) return result;
  input.reset(context);
  result = avformat_find_stream_info(context, nullptr);
  return result < 0 ? result : 0;
}

int StartStream(AVFormatContext* output, const char* encoderName, OutputStream& out) {
  const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
  if (encoder == nullptr) return AVERROR_ENCODER_NOT_FOUND;
  out.stream = avformat_new_stream(output, nullptr);
  out.codec.reset(avcodec_alloc_context3(encoder));
  out.frame.reset(av_frame_alloc());
  out.packet.reset(av_packet_alloc());
  if (out.stream == nullptr || !out.codec || !out.frame || !out.packet) return AVERROR(ENOMEM);
  if (output->oformat->flags & AVFMT_GLOBALHEADER) out.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  return 0;
}

int OpenEncoder(OutputStream& out, AVDictionary* options) {
  std::unique_ptr<AVDictionary, DictionaryDeleter> owned(options);
  AVDictionary* left = owned.release();
  int result = avcodec_open2(out.codec.get(), nullptr, &left);
  owned.reset(left);
  if (result < 0) return result;
  result = avcodec_parameters_from_context(out.stream->codecpar, out.codec.get());
  if (result < 0) return result;
  out.stream->time_base = out.codec->time_base;
  return 0;
}

int EncodeAndWrite(AVFormatContext* output, OutputStream& out, const AVFrame* frame) {
  int result = avcodec_send_frame(out.codec.get(), frame);
  if (result < 0) return result;
  for (;;) {
    result = avcodec_receive_packet(out.codec.get(), out.packet.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
    if (result < 0) return result;
    av_packet_rescale_ts(out.packet.get(), out.codec->time_base, out.stream->time_base);
    out.packet->stream_index = out.stream->index;
    result = av_interleaved_write_frame(output, out.packet.get());
    if (result < 0) return result;
  }
}

}  // namespace cellshow::av
