#pragma once
// The show's music as the sound of an exported video. The track is heard from
// the play command's moment on the video's clock and cut where the video
// ends. Two kinds: the MP3's own packets copied (MP4, Matroska), and the
// music decoded and encoded again as Opus (WebM allows only Vorbis and Opus).
//
// Use, in the output's fixed order: AddStream (before the output's codecs
// are opened), OpenCodec, then after the header WriteUntil as the video
// advances and Finish before the trailer. Every step returns 0 or an FFmpeg
// error code; AddStream instead returns the reason the music cannot be used.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "export/av_util.h"

namespace cellshow {

class AudioTrack {
 public:
  virtual ~AudioTrack() = default;
  // Opens the music file and adds a stream for it to `output`; startMs and
  // endMs are where the music starts and the video ends. A startMs below 0
  // (the video starts after the music) drops what comes before the video.
  // "" on success.
  virtual std::string AddStream(const std::string& musicPath, AVFormatContext* output,
                                int64_t startMs, int64_t endMs) = 0;
  virtual int OpenCodec() = 0;
  // Writes the sound that starts before `untilMs` on the video's clock.
  virtual int WriteUntil(AVFormatContext* output, int64_t untilMs) = 0;
  // Writes the rest, up to the end of the video.
  virtual int Finish(AVFormatContext* output) = 0;
};

std::unique_ptr<AudioTrack> MakeMp3CopyTrack();
std::unique_ptr<AudioTrack> MakeOpusTrack();

// Samples a decoder gives back before the music's first sample, read from
// the LAME tag in the MP3's first frame: the encoder's delay plus the 529 of
// the MP3 synthesis filter. Without a LAME tag, only those 529. -1 when the
// bytes hold no MPEG audio frame at all. `bytes` is the file's start (an ID3v2
// tag is skipped when the bytes reach past it).
int Mp3DecoderDelay(const uint8_t* bytes, size_t size);

}  // namespace cellshow
