#include "export/export_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "export/export_run.h"
#include "export/image_export.h"
#include "export/video_export.h"
#include "platform/headless/headless_run.h"
#include "render/ansi/frame_encoder.h"
#include "render/pixels/cell_image.h"
#include "render/pixels/vga_palette.h"
#include "support/media_reader.h"
#include "support/vterm_grid.h"
#include "support/vterm_screen.h"

namespace cellshow::test {
namespace {

// The libraries' own log would only repeat what the checks report.
const int Quiet = (av_log_set_level(AV_LOG_QUIET), 0);

// Writes nothing.
class NoFile : public ExportSink {
 public:
  ExportStatus Begin(const ShowTimeline&, const std::string&) override { return {}; }
  ExportStatus Frame(uint32_t, const ScreenCells&) override { return {}; }
  ExportStatus Finish() override { return {}; }
};

// Passes everything on and keeps the screen of every frame.
class Capture : public ExportSink {
 public:
  explicit Capture(ExportSink& inner) : inner_(inner) {}
  ExportStatus Begin(const ShowTimeline& t, const std::string& path) override {
    lastTick_ = t.lastTick;
    return inner_.Begin(t, path);
  }
  ExportStatus Frame(uint32_t tick, const ScreenCells& cells) override {
    FillTo(tick);
    std::copy(cells, cells + ScreenCellCount, screens.back().begin());
    return inner_.Frame(tick, cells);
  }
  ExportStatus Finish() override {
    FillTo(lastTick_);
    return inner_.Finish();
  }
  std::vector<Screen> screens;  // by frame

 private:
  // Frames up to `tick` exist, the later ones repeating the one before.
  void FillTo(uint32_t tick) {
    while (screens.size() <= tick) screens.push_back(screens.empty() ? Screen{} : screens.back());
  }
  ExportSink& inner_;
  uint32_t lastTick_ = 0;
};

double Seconds(int64_t pts, AVRational timeBase) {
  return static_cast<double>(pts) * av_q2d(timeBase);
}

// The music as a player of the MP3 file hears it: the LAME tag's delay and
// padding removed.
std::vector<float> GaplessMusic() {
  MediaReader mp3(MusicPath());
  const AVStream* stream = mp3.Stream(AVMEDIA_TYPE_AUDIO);
  const auto packets = mp3.ReadPackets();
  std::vector<float> samples;
  MediaReader::Decode(stream, packets[stream->index], true,
                      [&](const AVFrame& f) { AppendFloatSamples(f, samples); });
  return samples;
}

}  // namespace

std::string DataDir() { return std::string(CELLSHOW_BUILD_DIR) + "/data"; }
std::string MusicPath() { return DataDir() + "/03.mp3"; }

std::vector<Screen> ExportShow(ExportSink& sink, const std::string& path, uint32_t lastTick,
                               int64_t musicTick, RunEnd end) {
  Capture capture(sink);
  ShowTimeline timeline;
  timeline.lastTick = lastTick;
  timeline.musicTick = musicTick;
  timeline.musicPath = MusicPath();
  ExportStatus status = capture.Begin(timeline, path);
  EXPECT_TRUE(status.ok()) << status.error;
  SinkFeed feed(capture, end == RunEnd::Stop ? lastTick : -1);
  EXPECT_EQ(PlayHeadless(DataDir(), end == RunEnd::Key ? lastTick : -1, feed), lastTick);
  status = feed.Flush();
  EXPECT_TRUE(status.ok()) << status.error;
  status = capture.Finish();
  EXPECT_TRUE(status.ok()) << status.error;
  return std::move(capture.screens);
}

std::vector<Screen> WholeShowScreens() {
  NoFile none;
  Capture capture(none);
  SinkFeed feed(capture, -1);
  const uint32_t lastTick = PlayHeadless(DataDir(), -1, feed);
  EXPECT_TRUE(feed.Flush().ok());
  ShowTimeline timeline;
  timeline.lastTick = lastTick;
  (void)capture.Begin(timeline, "");
  (void)capture.Finish();
  return std::move(capture.screens);
}

std::vector<uint32_t> PixelsOf(const Screen& screen, ImageAspect aspect) {
  static PixelImage image;
  RenderCells(*reinterpret_cast<const ScreenCells*>(screen.data()), image);
  if (aspect == ImageAspect::Square) return {image.pixels, image.pixels + ImagePixels};
  std::vector<uint32_t> picture(size_t{1280} * 960);
  for (int y = 0; y < 960; ++y) {
    const auto row = static_cast<int>((y + 0.5) * 400 / 960);
    for (int x = 0; x < 1280; ++x) picture[y * size_t{1280} + x] = image.pixels[row * 640 + x / 2];
  }
  return picture;
}

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

std::vector<uint32_t> RgbaOf(const AVFrame& frame) {
  const std::vector<uint8_t> rgb = ToRgb24(frame);
  std::vector<uint32_t> out(rgb.size() / 3);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = PackRgba(Rgb{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
  return out;
}

void CheckVideoFile(const std::string& path, const std::vector<Screen>& screens,
                    const VideoExpectation& want) {
  MediaReader file(path);
  ASSERT_TRUE(file.ok()) << file.error();
  const bool sound = want.audio != AV_CODEC_ID_NONE;
  ASSERT_EQ(file.context()->nb_streams, sound ? 2u : 1u);
  const AVStream* video = file.Stream(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->codecpar->codec_id, want.video);
  EXPECT_EQ(video->codecpar->width, 1280);
  EXPECT_EQ(video->codecpar->height, 800);
  EXPECT_EQ(video->codecpar->format, AV_PIX_FMT_YUV420P);
  // 1280 x 5 : 800 x 6 is 4:3: H.264 says so exactly, the container (in
  // whole display pixels for Matroska) nearly.
  if (want.video == AV_CODEC_ID_H264) {
    EXPECT_EQ(av_cmp_q(video->codecpar->sample_aspect_ratio, AVRational{5, 6}), 0);
  }
  EXPECT_NEAR(av_q2d(video->sample_aspect_ratio) * 1280 / 800, 4.0 / 3, 0.002);
  const double end = (want.lastTick + 1) * 0.017;
  // Opus's last packet counts the padding its decoder drops.
  EXPECT_NEAR(static_cast<double>(file.context()->duration) / AV_TIME_BASE, end, 0.008);

  const auto packets = file.ReadPackets();
  // Frame n at n x 17 ms, the checked ones close to the doubled image.
  std::vector<int64_t> times;
  double worst = 99;
  int worstFrame = -1;
  ASSERT_TRUE(MediaReader::Decode(video, packets[video->index], true, [&](const AVFrame& f) {
    const int n = static_cast<int>(times.size());
    times.push_back(f.best_effort_timestamp);
    if (n >= static_cast<int>(screens.size()) || n % want.psnrStep != 0) return;
    const double psnr = Psnr(ToRgb24(f), DoubledRgb(screens[n]));
    if (psnr < worst) {
      worst = psnr;
      worstFrame = n;
    }
  }));
  ASSERT_EQ(times.size(), want.lastTick + 1);
  for (size_t n = 0; n < times.size(); ++n)
    ASSERT_NEAR(Seconds(times[n], video->time_base), n * 0.017, 0.0011) << "frame " << n;
  EXPECT_GE(worst, want.minimumPsnr) << "frame " << worstFrame;
  if (!sound) return;

  const AVStream* audio = file.Stream(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->codecpar->codec_id, want.audio);
  EXPECT_EQ(audio->codecpar->sample_rate, want.sampleRate);
  const std::vector<PacketCopy>& track = packets[audio->index];
  ASSERT_FALSE(track.empty());
  // Decoded as a player does, following what the demuxer says to drop (edit
  // lists in MP4, the pre-skip of Opus).
  std::vector<float> heard;
  int64_t firstHeard = AV_NOPTS_VALUE;
  ASSERT_TRUE(MediaReader::Decode(audio, track, true, [&](const AVFrame& f) {
    if (firstHeard == AV_NOPTS_VALUE) firstHeard = f.best_effort_timestamp;
    AppendFloatSamples(f, heard);
  }));
  const auto channels = static_cast<size_t>(audio->codecpar->ch_layout.nb_channels);
  const double start = static_cast<double>(want.musicTick) * 0.017;
  const double heardFrom = Seconds(firstHeard, audio->time_base);
  // What is heard ends with the video, at most one MP3 packet before it.
  const double heardEnd =
      heardFrom + static_cast<double>(heard.size() / channels) / want.sampleRate;
  EXPECT_LE(heardEnd, end + 0.001);
  EXPECT_GE(heardEnd, end - 0.027);
  if (want.audio != AV_CODEC_ID_MP3) {
    EXPECT_NEAR(heardFrom, start, 0.005);
    return;
  }
  // The copied MP3 carries no gapless information: the decoder's delay of the
  // default music (its LAME tag says 576 + 529 samples) is heard first, then
  // the music exactly as a player of the file hears it, from the play tick
  // within 5 ms.
  const std::vector<float> music = GaplessMusic();
  const auto rate = static_cast<size_t>(want.sampleRate);
  const auto first = static_cast<size_t>(std::lround((start - heardFrom) * want.sampleRate));
  const size_t window = rate * 5 / 1000, probe = 4096 * channels;
  ASSERT_GE(first, window);
  ASSERT_GT(heard.size(), (first + window) * channels + probe);
  size_t delay = 0;
  for (size_t d = first - window; d <= first + window && delay == 0; ++d)
    if (std::equal(music.begin(), music.begin() + probe, heard.begin() + d * channels)) delay = d;
  ASSERT_NE(delay, 0u) << "the music's start is not heard within 5 ms of " << start << " s";
  EXPECT_EQ(delay, 1105u);
  const size_t n = heard.size() - delay * channels;
  ASSERT_LE(n, music.size());
  for (size_t i = 0; i < n; ++i)
    ASSERT_EQ(heard[delay * channels + i], music[i]) << "sample " << i / channels;
}

void CheckGifFile(const std::string& path, const std::vector<Screen>& screens, uint32_t lastTick,
                  ImageAspect aspect) {
  MediaReader file(path);
  ASSERT_TRUE(file.ok()) << file.error();
  ASSERT_EQ(file.context()->nb_streams, 1u);
  const AVStream* stream = file.Stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(stream->codecpar->codec_id, AV_CODEC_ID_GIF);
  EXPECT_EQ(stream->codecpar->width, aspect == ImageAspect::Square ? 640 : 1280);
  EXPECT_EQ(stream->codecpar->height, aspect == ImageAspect::Square ? 400 : 960);
  const auto packets = file.ReadPackets();
  const std::vector<PacketCopy>& frames = packets[stream->index];
  ASSERT_GT(frames.size(), 10u);
  int64_t total = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].pts, total) << "picture " << i;
    if (i + 1 < frames.size()) {
      EXPECT_GE(frames[i].duration, 2) << "picture " << i;
    }
    total += frames[i].duration;
  }
  EXPECT_EQ(total, GifCentiseconds(int64_t{lastTick} + 1));

  size_t index = 0;
  std::vector<uint32_t> previous;
  ASSERT_TRUE(MediaReader::Decode(stream, frames, true, [&](const AVFrame& f) {
    const int64_t start = frames[index++].pts;
    uint32_t n = 0;
    while (GifCentiseconds(n) < start) ++n;
    ASSERT_EQ(GifCentiseconds(n), start);
    const std::vector<uint32_t> picture = RgbaOf(f);
    EXPECT_TRUE(picture == PixelsOf(screens[n], aspect) ||
                (n + 1 < screens.size() && picture == PixelsOf(screens[n + 1], aspect)))
        << "picture at " << start << " cs";
    EXPECT_NE(picture, previous) << "picture at " << start << " cs repeats the one before";
    previous = picture;
  }));
  EXPECT_EQ(index, frames.size());
}

void CheckPngFile(const std::string& path, const Screen& screen, ImageAspect aspect) {
  MediaReader picture(path);
  ASSERT_TRUE(picture.ok()) << picture.error();
  const AVStream* stream = picture.Stream(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->codecpar->codec_id, AV_CODEC_ID_PNG);
  const auto packets = picture.ReadPackets();
  int decoded = 0;
  ASSERT_TRUE(MediaReader::Decode(stream, packets[stream->index], true, [&](const AVFrame& f) {
    ++decoded;
    EXPECT_EQ(f.width, aspect == ImageAspect::Square ? 640 : 1280);
    EXPECT_EQ(f.height, aspect == ImageAspect::Square ? 400 : 960);
    EXPECT_EQ(RgbaOf(f), PixelsOf(screen, aspect));
  }));
  EXPECT_EQ(decoded, 1);
}

void CheckCastFile(const std::string& path, const std::vector<Screen>& screens, uint32_t lastTick) {
  std::ifstream in(path);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  const nlohmann::json header = nlohmann::json::parse(line);
  EXPECT_EQ(header["version"], 2);
  EXPECT_EQ(header["width"], 80);
  EXPECT_EQ(header["height"], 50);
  EXPECT_TRUE(header["timestamp"].is_number_integer());
  EXPECT_NEAR(header["duration"].get<double>(), (lastTick + 1) * 0.017, 1e-9);
  EXPECT_EQ(header["title"], "cellshow");
  EXPECT_EQ(header["env"]["TERM"], "xterm-256color");
  EXPECT_EQ(header["theme"]["fg"], "#aaaaaa");
  EXPECT_EQ(header["theme"]["bg"], "#000000");
  // In ANSI order: black, red, green, yellow (the VGA brown), blue, ...
  EXPECT_EQ(header["theme"]["palette"],
            "#000000:#aa0000:#00aa00:#aa5500:#0000aa:#aa00aa:#00aaaa:#aaaaaa:"
            "#555555:#ff5555:#55ff55:#ffff55:#5555ff:#ff55ff:#55ffff:#ffffff");

  VtermScreen terminal(50, 80);
  std::vector<bool> evented(screens.size());
  double previousTime = 0;
  int events = 0;
  uint32_t lastEvent = 0;
  while (std::getline(in, line)) {
    const nlohmann::json event = nlohmann::json::parse(line);
    ASSERT_TRUE(event.is_array() && event.size() == 3) << line.substr(0, 80);
    const double time = event[0].get<double>();
    EXPECT_GE(time, previousTime);
    previousTime = time;
    const auto tick = static_cast<uint32_t>(std::lround(time / 0.017));
    ASSERT_NEAR(time, tick * 0.017, 1e-9);
    ASSERT_LT(tick, screens.size());
    EXPECT_EQ(event[1], "o");
    terminal.Feed(event[2].get<std::string>());
    ASSERT_EQ(
        GridMismatch(terminal, *reinterpret_cast<const ScreenCells*>(screens[tick].data()), true),
        "")
        << "after the event at tick " << tick;
    evented[tick] = true;
    lastEvent = tick;
    ++events;
  }
  EXPECT_GT(events, 10);
  // Players end the recording at its last event.
  EXPECT_EQ(lastEvent, lastTick) << "the recording ends before the show";
  EXPECT_EQ(terminal.scrolledLines(), 0);
  for (size_t t = 1; t < screens.size(); ++t) {
    bool changed = false;
    for (int k = 0; k < ScreenCellCount && !changed; ++k)
      changed = VisibleKey(screens[t][k]) != VisibleKey(screens[t - 1][k]);
    EXPECT_TRUE(!changed || evented[t]) << "no event for the change at tick " << t;
  }
}

}  // namespace cellshow::test
