// Every export format, run in-process on the first ticks of the default show
// and read back with FFmpeg's libraries: streams, length, frame count, every
// frame against the pixel model, and the sound against the MP3 itself.
#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "export/export_run.h"
#include "export/image_export.h"
#include "export/video_export.h"
#include "render/pixels/cell_image.h"
#include "render/pixels/vga_palette.h"
#include "support/media_reader.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::MediaReader;
using test::PacketCopy;
using Screen = std::array<Cell, ScreenCellCount>;

const std::string DataDir = std::string(CELLSHOW_BUILD_DIR) + "/data";
// The libraries' own log would only repeat what the checks report.
const int Quiet = (av_log_set_level(AV_LOG_QUIET), 0);
const std::string MusicPath = DataDir + "/03.mp3";

// Passes everything on and keeps the screen of every frame (black before the
// first present), as the export sees it.
class Capture : public ExportSink {
 public:
  explicit Capture(ExportSink& inner) : inner_(inner) {}
  ExportStatus Begin(const ShowTimeline& t, const std::string& path) override {
    lastTick_ = t.lastTick;
    return inner_.Begin(t, path);
  }
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override {
    Screen s;
    std::copy(cells, cells + ScreenCellCount, s.begin());
    while (screens.size() < tick) screens.push_back(screens.empty() ? Screen{} : screens.back());
    if (screens.size() == tick) screens.push_back(s);
    screens[tick] = s;
    return inner_.Frame(tick, cells);
  }
  ExportStatus Finish() override {
    while (screens.size() <= lastTick_)
      screens.push_back(screens.empty() ? Screen{} : screens.back());
    return inner_.Finish();
  }
  std::vector<Screen> screens;  // by frame

 private:
  ExportSink& inner_;
  uint32_t lastTick_ = 0;
};

// Exports ticks 0..lastTick of the default show, with the music from
// musicTick, to `path`.
std::vector<Screen> Export(ExportSink& sink, const std::string& path, uint32_t lastTick,
                           int64_t musicTick) {
  Capture capture(sink);
  ShowTimeline timeline;
  timeline.lastTick = lastTick;
  timeline.musicTick = musicTick;
  timeline.musicPath = MusicPath;
  ExportStatus status = capture.Begin(timeline, path);
  EXPECT_TRUE(status.ok()) << status.error;
  SinkFeed feed(capture, lastTick);
  PlayHeadless(DataDir, -1, feed);
  status = feed.Flush();
  EXPECT_TRUE(status.ok()) << status.error;
  status = capture.Finish();
  EXPECT_TRUE(status.ok()) << status.error;
  return std::move(capture.screens);
}

std::vector<uint32_t> PixelsOf(const Screen& screen) {
  static PixelImage image;
  RenderCells(*reinterpret_cast<const ScreenCells*>(screen.data()), image);
  return {image.pixels, image.pixels + ImagePixels};
}

// The pixel model's image doubled to 1280x800, as RGB24.
std::vector<uint8_t> DoubledRgb(const Screen& screen) {
  const std::vector<uint32_t> pixels = PixelsOf(screen);
  std::vector<uint8_t> rgb(size_t{VideoWidth} * VideoHeight * 3);
  for (int y = 0; y < VideoHeight; ++y)
    for (int x = 0; x < VideoWidth; ++x) {
      const uint32_t p = pixels[(y / 2) * ImageWidth + x / 2];
      uint8_t* out = &rgb[(static_cast<size_t>(y) * VideoWidth + x) * 3];
      out[0] = p & 0xFF;
      out[1] = p >> 8 & 0xFF;
      out[2] = p >> 16 & 0xFF;
    }
  return rgb;
}

// A decoded picture (any pixel format) as PackRgba values.
std::vector<uint32_t> RgbaOf(const AVFrame& frame) {
  const std::vector<uint8_t> rgb = test::ToRgb24(frame);
  std::vector<uint32_t> out(rgb.size() / 3);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = PackRgba(Rgb{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
  return out;
}

double Seconds(int64_t pts, AVRational timeBase) { return static_cast<double>(pts) * av_q2d(timeBase); }

// The music decoded as a player of the MP3 file hears it: the LAME tag's
// delay and padding removed.
std::vector<float> GaplessMusic() {
  MediaReader mp3(MusicPath);
  const AVStream* stream = mp3.Stream(AVMEDIA_TYPE_AUDIO);
  const auto packets = mp3.ReadPackets();
  std::vector<float> samples;
  MediaReader::Decode(stream, packets[stream->index], true,
                      [&](const AVFrame& f) { test::AppendFloatSamples(f, samples); });
  return samples;
}

struct VideoCase {
  const char* name;
  VideoFormat format;
  AVCodecID video, audio;
  int sampleRate;
  double minimumPsnr;
};

class VideoExports : public testing::TestWithParam<VideoCase> {};

// H.264 frames must decode within 36 dB of the doubled image; VP9 in realtime
// mode is held to less. MP3 is copied, so it decodes bit for bit as the file
// does; Opus is encoded again, so only its timing is checked.
INSTANTIATE_TEST_SUITE_P(
    Formats, VideoExports,
    testing::Values(VideoCase{"mp4", VideoFormat::Mp4, AV_CODEC_ID_H264, AV_CODEC_ID_MP3, 44100, 36},
                    VideoCase{"mkv", VideoFormat::Matroska, AV_CODEC_ID_H264, AV_CODEC_ID_MP3, 44100, 36},
                    VideoCase{"webm", VideoFormat::WebM, AV_CODEC_ID_VP9, AV_CODEC_ID_OPUS, 48000, 30}),
    [](const testing::TestParamInfo<VideoCase>& info) { return std::string(info.param.name); });

TEST_P(VideoExports, StreamsFramesAndMusicReadBack) {
  const VideoCase& c = GetParam();
  constexpr uint32_t LastTick = 150, MusicTick = 20;
  test::TempDir dir;
  const std::string path = (dir.path() / (std::string("show.") + c.name)).string();
  VideoExport sink(c.format, false);
  const std::vector<Screen> screens = Export(sink, path, LastTick, MusicTick);
  EXPECT_TRUE(sink.notices().empty());

  MediaReader file(path);
  ASSERT_TRUE(file.ok()) << file.error();
  ASSERT_EQ(file.context()->nb_streams, 2u);
  const AVStream* video = file.Stream(AVMEDIA_TYPE_VIDEO);
  const AVStream* audio = file.Stream(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->codecpar->codec_id, c.video);
  EXPECT_EQ(video->codecpar->width, 1280);
  EXPECT_EQ(video->codecpar->height, 800);
  EXPECT_EQ(video->codecpar->format, AV_PIX_FMT_YUV420P);
  // 1280 x 5 : 800 x 6 is 4:3: H.264 says so exactly, the container (in
  // whole display pixels for Matroska) nearly.
  if (c.video == AV_CODEC_ID_H264)
    EXPECT_EQ(av_cmp_q(video->codecpar->sample_aspect_ratio, AVRational{5, 6}), 0);
  EXPECT_NEAR(av_q2d(video->sample_aspect_ratio) * 1280 / 800, 4.0 / 3, 0.002);
  EXPECT_EQ(audio->codecpar->codec_id, c.audio);
  EXPECT_EQ(audio->codecpar->sample_rate, c.sampleRate);
  const double end = (LastTick + 1) * 0.017;
  // Opus's last packet counts the padding its decoder drops.
  EXPECT_NEAR(static_cast<double>(file.context()->duration) / AV_TIME_BASE, end, 0.008);

  const auto packets = file.ReadPackets();
  // Every frame at n x 17 ms, each checked against the doubled image.
  std::vector<int64_t> times;
  double worst = 99;
  int worstFrame = -1;
  ASSERT_TRUE(MediaReader::Decode(video, packets[video->index], true, [&](const AVFrame& f) {
    const int n = static_cast<int>(times.size());
    times.push_back(f.best_effort_timestamp);
    if (n >= static_cast<int>(screens.size())) return;
    const double psnr = test::Psnr(test::ToRgb24(f), DoubledRgb(screens[n]));
    if (psnr < worst) {
      worst = psnr;
      worstFrame = n;
    }
  }));
  ASSERT_EQ(times.size(), LastTick + 1);
  for (size_t n = 0; n < times.size(); ++n)
    ASSERT_NEAR(Seconds(times[n], video->time_base), n * 0.017, 0.0011) << "frame " << n;
  EXPECT_GE(worst, c.minimumPsnr) << "frame " << worstFrame;

  // The music is heard from the play tick, within 5 ms, and ends with the video.
  const std::vector<PacketCopy>& sound = packets[audio->index];
  ASSERT_FALSE(sound.empty());
  std::vector<float> heard;
  int64_t firstHeard = AV_NOPTS_VALUE;
  ASSERT_TRUE(MediaReader::Decode(audio, sound, c.audio != AV_CODEC_ID_MP3, [&](const AVFrame& f) {
    if (firstHeard == AV_NOPTS_VALUE) firstHeard = f.best_effort_timestamp;
    test::AppendFloatSamples(f, heard);
  }));
  const std::vector<float> music = GaplessMusic();
  const int channels = audio->codecpar->ch_layout.nb_channels;
  // What is heard ends with the video, within one MP3 packet before it.
  const double heardEnd = c.audio == AV_CODEC_ID_MP3
                              ? Seconds(sound.back().pts + sound.back().duration, audio->time_base)
                              : Seconds(firstHeard, audio->time_base) +
                                    static_cast<double>(heard.size() / channels) / c.sampleRate;
  EXPECT_LE(heardEnd, end + 0.001);
  EXPECT_GE(heardEnd, end - 0.027);
  if (c.audio == AV_CODEC_ID_MP3) {
    // No gapless information in the container: the decoder's delay is played,
    // and the track starts that much before the play tick.
    const int delay = 1105;
    EXPECT_NEAR(Seconds(sound.front().pts, audio->time_base) + delay / 44100.0,
                MusicTick * 0.017, 0.005);
    ASSERT_GT(heard.size(), delay * channels + 44100u);
    const size_t n = heard.size() - delay * channels;
    for (size_t i = 0; i < n; ++i)
      ASSERT_EQ(heard[delay * channels + i], music[i]) << "sample " << i / channels;
  } else {
    EXPECT_NEAR(Seconds(firstHeard, audio->time_base), MusicTick * 0.017, 0.005);
  }
}

TEST(ImageExports, GifAndPngFramesAreThePixelModelsBitForBit) {
  constexpr uint32_t LastTick = 240;
  test::TempDir dir;
  const std::string gifPath = (dir.path() / "show.gif").string();
  GifExport gif;
  const std::vector<Screen> screens = Export(gif, gifPath, LastTick, -1);

  MediaReader file(gifPath);
  ASSERT_TRUE(file.ok()) << file.error();
  ASSERT_EQ(file.context()->nb_streams, 1u);
  const AVStream* stream = file.Stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(stream->codecpar->codec_id, AV_CODEC_ID_GIF);
  EXPECT_EQ(stream->codecpar->width, 640);
  EXPECT_EQ(stream->codecpar->height, 400);
  const auto packets = file.ReadPackets();
  const std::vector<PacketCopy>& frames = packets[stream->index];
  ASSERT_GT(frames.size(), 10u);
  // Delays add up to round((last + 1) x 1.7) cs; none but the last is under
  // 2 cs (players stretch those to 10 cs).
  int64_t total = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].pts, total) << "frame " << i;
    if (i + 1 < frames.size()) {
      EXPECT_GE(frames[i].duration, 2) << "frame " << i;
    }
    total += frames[i].duration;
  }
  EXPECT_EQ(total, GifCentiseconds(LastTick + 1));

  // A picture that starts at round(n x 1.7) cs shows frame n, or n + 1 when
  // frame n alone would have lasted under 2 cs; no two in a row are equal.
  size_t index = 0;
  std::vector<uint32_t> previous;
  ASSERT_TRUE(MediaReader::Decode(stream, frames, true, [&](const AVFrame& f) {
    const int64_t start = frames[index++].pts;
    uint32_t n = 0;
    while (GifCentiseconds(n) < start) ++n;
    ASSERT_EQ(GifCentiseconds(n), start);
    const std::vector<uint32_t> picture = RgbaOf(f);
    EXPECT_TRUE(picture == PixelsOf(screens[n]) ||
                (n + 1 < screens.size() && picture == PixelsOf(screens[n + 1])))
        << "picture at " << start << " cs";
    EXPECT_NE(picture, previous) << "picture at " << start << " cs repeats the one before";
    previous = picture;
  }));
  EXPECT_EQ(index, frames.size());

  for (uint32_t at : {0u, 3u, 200u}) {
    const std::string pngPath = (dir.path() / ("at" + std::to_string(at) + ".png")).string();
    PngExport png(at);
    const std::vector<Screen> shown = Export(png, pngPath, at, -1);
    MediaReader picture(pngPath);
    ASSERT_TRUE(picture.ok()) << picture.error();
    const AVStream* s = picture.Stream(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(s->codecpar->codec_id, AV_CODEC_ID_PNG);
    const auto pngPackets = picture.ReadPackets();
    int decoded = 0;
    ASSERT_TRUE(MediaReader::Decode(s, pngPackets[s->index], true, [&](const AVFrame& f) {
      ++decoded;
      EXPECT_EQ(RgbaOf(f), PixelsOf(shown[at])) << "--at tick " << at;
    }));
    EXPECT_EQ(decoded, 1);
  }
}

// swscale converts whole frames as it converts the palette alone: the table
// the video export writes frames from matches it sample for sample.
TEST(VideoColours, PaletteTableMatchesSwscaleOnWholeFrames) {
  YuvPalette palette;
  ASSERT_TRUE(ConvertPalette(palette));
  SwsContext* sws = sws_getContext(VideoWidth, VideoHeight, AV_PIX_FMT_RGBA, VideoWidth,
                                   VideoHeight, AV_PIX_FMT_YUV420P, SWS_AREA | SWS_ACCURATE_RND,
                                   nullptr, nullptr, nullptr);
  ASSERT_NE(sws, nullptr);
  AVFrame* yuv = av_frame_alloc();
  yuv->format = AV_PIX_FMT_YUV420P;
  yuv->width = VideoWidth;
  yuv->height = VideoHeight;
  ASSERT_GE(av_frame_get_buffer(yuv, 0), 0);
  // Every colour on every other, in glyphs, as the show draws them.
  ScreenCells screen{};
  for (int k = 0; k < ScreenCellCount; ++k)
    screen[k] = {static_cast<uint16_t>(k * 7 % 256), static_cast<uint16_t>(k % 256)};
  static IndexImage indices;
  RenderCellIndices(screen, indices);
  std::vector<uint32_t> doubled(size_t{VideoWidth} * VideoHeight);
  for (int y = 0; y < VideoHeight; ++y)
    for (int x = 0; x < VideoWidth; ++x)
      doubled[static_cast<size_t>(y) * VideoWidth + x] =
          PackRgba(VgaPalette[indices.pixels[(y / 2) * ImageWidth + x / 2]]);
  const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(doubled.data())};
  const int stride[1] = {VideoWidth * 4};
  sws_scale(sws, source, stride, 0, VideoHeight, yuv->data, yuv->linesize);
  int mismatches = 0;
  for (int y = 0; y < ImageHeight && mismatches < 5; ++y)
    for (int x = 0; x < ImageWidth && mismatches < 5; ++x) {
      const YuvColor want = palette[indices.pixels[y * ImageWidth + x]];
      const uint8_t luma = yuv->data[0][2 * y * yuv->linesize[0] + 2 * x];
      const uint8_t u = yuv->data[1][y * yuv->linesize[1] + x];
      const uint8_t v = yuv->data[2][y * yuv->linesize[2] + x];
      if (luma != want.y || u != want.u || v != want.v) {
        ++mismatches;
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << int{luma} << "/" << int{u} << "/"
                      << int{v} << " against " << int{want.y} << "/" << int{want.u} << "/"
                      << int{want.v};
      }
    }
  av_frame_free(&yuv);
  sws_freeContext(sws);
}

}  // namespace
}  // namespace cellshow
