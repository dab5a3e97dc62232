// Every export format, run in-process on the first ticks of the default show
// and read back: streams, length, frame count, frames against the pixel
// model, the sound against the MP3 itself, the cast through libvterm.
#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "export/cast_export.h"
#include "export/export_checks.h"
#include "export/image_export.h"
#include "export/video_export.h"
#include "render/pixels/cell_image.h"
#include "render/pixels/vga_palette.h"
#include "support/media_reader.h"
#include "support/temp_dir.h"

namespace cellshow {
namespace {

using test::MediaReader;
using test::Screen;

// One row per format: how its sink is made, how long a run of the default
// show it gets and how the file is checked.
struct FormatCase {
  const char* name;
  std::function<std::unique_ptr<ExportSink>()> make;
  uint32_t lastTick;
  int64_t musicTick;
  test::RunEnd end;
  std::function<void(const std::string&, const std::vector<Screen>&)> check;
};

// H.264 frames decode within 36 dB of the doubled image, VP9 in realtime mode
// within a little less. The music from tick 20, so that a short run has some.
test::VideoExpectation Video(AVCodecID video, AVCodecID audio, int rate, double psnr) {
  return {video, audio, rate, psnr, 150, 20};
}

const FormatCase Formats[] = {
    {"mp4", [] { return std::make_unique<VideoExport>(VideoFormat::Mp4, false); }, 150, 20,
     test::RunEnd::Key,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckVideoFile(path, screens, Video(AV_CODEC_ID_H264, AV_CODEC_ID_MP3, 44100, 36));
     }},
    {"mkv", [] { return std::make_unique<VideoExport>(VideoFormat::Matroska, false); }, 150, 20,
     test::RunEnd::Key,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckVideoFile(path, screens, Video(AV_CODEC_ID_H264, AV_CODEC_ID_MP3, 44100, 36));
     }},
    {"webm", [] { return std::make_unique<VideoExport>(VideoFormat::WebM, false); }, 150, 20,
     test::RunEnd::Key,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckVideoFile(path, screens, Video(AV_CODEC_ID_VP9, AV_CODEC_ID_OPUS, 48000, 33));
     }},
    {"gif", [] { return std::make_unique<GifExport>(); }, 240, -1, test::RunEnd::Key,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckGifFile(path, screens, 240);
     }},
    // --at: the screen before the first present, the first, and a later one.
    {"png", [] { return std::make_unique<PngExport>(0); }, 0, -1, test::RunEnd::Stop,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckPngFile(path, screens[0]);
     }},
    {"png", [] { return std::make_unique<PngExport>(3); }, 3, -1, test::RunEnd::Stop,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckPngFile(path, screens[3]);
     }},
    {"png", [] { return std::make_unique<PngExport>(200); }, 200, -1, test::RunEnd::Stop,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckPngFile(path, screens[200]);
     }},
    // At 4:3: 1280x960 in whole pixels.
    {"png", [] { return std::make_unique<PngExport>(200, ImageAspect::FourThree); }, 200, -1,
     test::RunEnd::Stop,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckPngFile(path, screens[200], ImageAspect::FourThree);
     }},
    {"gif", [] { return std::make_unique<GifExport>(ImageAspect::FourThree); }, 240, -1,
     test::RunEnd::Key,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckGifFile(path, screens, 240, ImageAspect::FourThree);
     }},
    {"cast", [] { return std::make_unique<CastExport>(1700000000); }, 600, -1, test::RunEnd::Key,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckCastFile(path, screens, 600);
     }},
    // The whole show, whose last frame shows nothing new.
    {"cast", [] { return std::make_unique<CastExport>(1700000000); }, 3773, -1, test::RunEnd::Stop,
     [](const std::string& path, const std::vector<Screen>& screens) {
       test::CheckCastFile(path, screens, 3773);
     }},
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

class ExportFormats : public testing::TestWithParam<FormatCase> {};

INSTANTIATE_TEST_SUITE_P(Table, ExportFormats, testing::ValuesIn(Formats),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                           return std::string(info.param.name) + std::to_string(info.index);
                         });

TEST_P(ExportFormats, ReadsBackAsTheShow) {
  const FormatCase& c = GetParam();
  test::TempDir dir;
  const std::string path = (dir.path() / (std::string("show.") + c.name)).string();
  const std::unique_ptr<ExportSink> sink = c.make();
  const std::vector<Screen> screens = test::ExportShow(*sink, path, c.lastTick, c.musicTick, c.end);
  EXPECT_TRUE(sink->notices().empty());
  ASSERT_FALSE(testing::Test::HasFailure());
  c.check(path, screens);
}

TEST(VideoExports, MutedOrWithoutMusicIsSilentAndSaysWhy) {
  test::TempDir dir;
  const std::string path = (dir.path() / "silent.mp4").string();
  {
    VideoExport muted(VideoFormat::Mp4, true);
    const std::vector<Screen> screens = test::ExportShow(muted, path, 40, 10);
    EXPECT_TRUE(muted.notices().empty());
    test::CheckVideoFile(path, screens, {AV_CODEC_ID_H264, AV_CODEC_ID_NONE, 0, 36, 40, -1});
  }
  // A music file that cannot be read: one notice naming it, and no sound.
  for (const char* bytes : {"", "not an mp3 at all"}) {
    test::TempDir data;
    data.Write("03.mp3", std::vector<uint8_t>(bytes, bytes + std::strlen(bytes)));
    VideoExport sink(VideoFormat::Mp4, false);
    ShowTimeline timeline;
    timeline.lastTick = 5;
    timeline.musicTick = 2;
    timeline.musicPath = (data.path() / "03.mp3").string();
    ASSERT_TRUE(sink.Begin(timeline, path).ok());
    ScreenCells cells{};
    ASSERT_TRUE(sink.Frame(3, cells).ok());
    ASSERT_TRUE(sink.Finish().ok());
    ASSERT_EQ(sink.notices().size(), 1u);
    EXPECT_NE(sink.notices()[0].find(timeline.musicPath), std::string::npos);
    MediaReader file(path);
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file.Stream(AVMEDIA_TYPE_AUDIO), nullptr);
  }
}

// swscale converts whole frames as it converts the palette alone: the table
// the video export writes frames from matches it sample for sample.
TEST(VideoColours, PaletteTableMatchesSwscaleOnWholeFrames) {
  YuvPalette palette;
  ASSERT_TRUE(ConvertPalette(palette));
  SwsContext* sws =
      sws_getContext(VideoWidth, VideoHeight, AV_PIX_FMT_RGBA, VideoWidth, VideoHeight,
                     AV_PIX_FMT_YUV420P, SWS_AREA | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
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
