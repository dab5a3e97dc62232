#include "support/audio_support.h"

#include <fcntl.h>
#include <mpg123.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mp3_writer.h"

namespace cellshow::test {

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/cellshow-audio-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made != nullptr ? made : "/tmp";
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (path_ != "/tmp") std::filesystem::remove_all(path_, ignored);
}

bool WriteTuneMp3(const std::string& path, double seconds, uint32_t seed, int kilobitsPerSecond) {
  const size_t frames = static_cast<size_t>(seconds * TestRate);
  const size_t noteFrames = TestRate * 80 / 1000;
  std::vector<int16_t> pcm(frames * 2);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  double left = 0, right = 0, phaseL = 0, phaseR = 0;
  for (size_t f = 0; f < frames; ++f) {
    if (f % noteFrames == 0) {
      left = 220.0 * std::pow(2.0, static_cast<double>(next() % 36) / 12.0);
      right = 220.0 * std::pow(2.0, static_cast<double>(next() % 36) / 12.0);
    }
    phaseL += 2 * M_PI * left / TestRate;
    phaseR += 2 * M_PI * right / TestRate;
    pcm[2 * f] = static_cast<int16_t>(9000 * std::sin(phaseL) + 3000 * std::sin(3 * phaseL));
    pcm[2 * f + 1] = static_cast<int16_t>(9000 * std::sin(phaseR) + 3000 * std::sin(2 * phaseR));
  }
  std::string error;
  return WriteMp3(path, pcm.data(), frames, 2, TestRate, kilobitsPerSecond, error);
}

bool DecodeMp3(const std::string& path, Pcm& out) {
  out.samples.clear();
  int error = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (handle == nullptr) return false;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(handle);
  mpg123_format(handle, TestRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
    mpg123_delete(handle);
    return false;
  }
  std::vector<unsigned char> buffer(1 << 16);
  for (;;) {
    size_t done = 0;
    const int result = mpg123_read(handle, buffer.data(), buffer.size(), &done);
    const auto* samples = reinterpret_cast<const int16_t*>(buffer.data());
    out.samples.insert(out.samples.end(), samples, samples + done / 2);
    if (result == MPG123_DONE) break;
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
  }
  mpg123_close(handle);
  mpg123_delete(handle);
  return !out.samples.empty();
}

StderrCapture::StderrCapture() {
  char pattern[] = "/tmp/cellshow-stderr-XXXXXX";
  const int file = mkstemp(pattern);
  if (file < 0) return;
  path_ = pattern;
  std::fflush(stderr);
  saved_ = dup(2);
  dup2(file, 2);
  close(file);
}

StderrCapture::~StderrCapture() {
  Restore();
  if (!path_.empty()) unlink(path_.c_str());
}

void StderrCapture::Restore() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, 2);
  close(saved_);
  saved_ = -1;
}

std::string StderrCapture::text() {
  std::fflush(stderr);
  std::ifstream in(path_);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

FifoCapture::FifoCapture(const std::string& path) : path_(path) {
  mkfifo(path_.c_str(), 0600);
  reader_ = std::thread([this] { Read(); });
}

FifoCapture::~FifoCapture() {
  stop_.store(true);
  if (reader_.joinable()) reader_.join();
  unlink(path_.c_str());
}

void FifoCapture::Read() {
  // Non-blocking open: it succeeds without a writer, and poll reports a hang
  // up only once a writer has come and gone.
  const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    done_.store(true);
    return;
  }
  std::vector<uint8_t> chunk(1 << 16);
  while (!stop_.load()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = read(fd, chunk.data(), chunk.size());
    const Clock::time_point now = Clock::now();
    if (n > 0) {
      connected_.store(true);
      bytes_.insert(bytes_.end(), chunk.begin(), chunk.begin() + n);
      arrivals_.push_back({now, bytes_.size()});
      received_.store(bytes_.size() / 4);
      continue;
    }
    if (n == 0 && (p.revents & POLLHUP) != 0) {
      connected_.store(true);
      end_ = now;
      break;
    }
  }
  close(fd);
  samples_.resize(bytes_.size() / 2);
  std::memcpy(samples_.data(), bytes_.data(), samples_.size() * 2);
  ended_.store(end_ != Clock::time_point{});
  done_.store(true);
}

bool FifoCapture::WaitForEnd(std::chrono::milliseconds timeout) {
  const Clock::time_point limit = Clock::now() + timeout;
  while (!done_.load() && Clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  stop_.store(true);
  if (reader_.joinable()) reader_.join();
  return ended_.load();
}

bool FifoCapture::WaitForFrames(size_t frames, std::chrono::milliseconds timeout) const {
  const Clock::time_point limit = Clock::now() + timeout;
  while (received_.load() < frames && !done_.load() && Clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return received_.load() >= frames;
}

Clock::time_point FifoCapture::ArrivalOfFrame(size_t frame) const {
  const size_t byte = frame * 4;
  for (const Arrival& arrival : arrivals_)
    if (arrival.bytesEnd > byte) return arrival.time;
  return end_;
}

namespace {

size_t FirstLoudFrame(const std::vector<int16_t>& samples, int threshold) {
  for (size_t k = 0; k < samples.size(); ++k)
    if (std::abs(samples[k]) > threshold) return k / 2;
  return samples.size() / 2;
}

// Sum of squared differences between capture frames from `at` and reference
// frames from `from`, over `count` frames.
double Distance(const std::vector<int16_t>& capture, size_t at, const Pcm& reference, size_t from,
                size_t count) {
  double sum = 0;
  for (size_t k = 0; k < 2 * count; ++k) {
    const double d = static_cast<double>(capture[2 * at + k]) - reference.samples[2 * from + k];
    sum += d * d;
  }
  return sum;
}

}  // namespace

MusicMatch FindMusic(const std::vector<int16_t>& capture, const Pcm& reference) {
  MusicMatch match;
  const size_t captureFrames = capture.size() / 2;
  size_t end = captureFrames;
  while (end > 0 && capture[2 * end - 1] == 0 && capture[2 * end - 2] == 0) --end;
  match.endFrame = end;
  constexpr int Loud = 256;
  const size_t captureLoud = FirstLoudFrame(capture, Loud);
  const size_t referenceLoud = FirstLoudFrame(reference.samples, Loud);
  if (captureLoud >= captureFrames || referenceLoud >= reference.frames()) return match;

  // Align on a window from the reference's first loud frame.
  constexpr size_t Window = 8192;
  constexpr long Search = 2048;
  const long guess = static_cast<long>(captureLoud) - static_cast<long>(referenceLoud);
  double best = -1;
  long bestOffset = 0;
  for (long offset = guess - Search; offset <= guess + Search; ++offset) {
    if (offset < 0) continue;
    const size_t at = static_cast<size_t>(offset) + referenceLoud;
    const size_t count = std::min(
        {Window, captureFrames - std::min(at, captureFrames), reference.frames() - referenceLoud});
    if (count < Window / 4) continue;
    const double d = Distance(capture, at, reference, referenceLoud, count);
    if (best < 0 || d < best) {
      best = d;
      bestOffset = offset;
    }
  }
  if (best < 0) return match;
  match.startFrame = static_cast<size_t>(bestOffset);
  if (match.endFrame <= match.startFrame) return match;
  const size_t count = std::min(match.endFrame - match.startFrame, reference.frames());
  double signal = 0;
  for (size_t k = 0; k < 2 * count; ++k)
    signal += static_cast<double>(reference.samples[k]) * reference.samples[k];
  const double noise = Distance(capture, match.startFrame, reference, 0, count);
  match.snrDb = noise == 0 ? 200 : 10 * std::log10(signal / noise);
  match.found = true;
  match.silentBefore = true;
  for (size_t k = 0; k < 2 * match.startFrame; ++k)
    if (capture[k] != 0) match.silentBefore = false;
  return match;
}

std::string CheckPlayback(const FifoCapture& capture, const Pcm& reference,
                          const PlaybackExpectation& expected, PlaybackFigures* figures) {
  PlaybackFigures local;
  PlaybackFigures& f = figures != nullptr ? *figures : local;
  auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::ostringstream faults;
  f.match = FindMusic(capture.samples(), reference);
  f.endOffsetMs = ms(capture.endTime() - expected.close);
  if (!f.match.found) {
    faults << "the music is not in the capture\n";
    return faults.str();
  }
  f.startOffsetMs = ms(capture.ArrivalOfFrame(f.match.startFrame) - expected.play);
  f.stopOffsetMs = ms(capture.ArrivalOfFrame(f.match.endFrame - 1) - expected.close);
  if (f.match.snrDb < expected.minSnrDb)
    faults << "the capture differs from the music: SNR " << f.match.snrDb << " dB\n";
  if (!f.match.silentBefore) faults << "the capture is not silent before the music\n";
  if (std::abs(f.startOffsetMs) > expected.toleranceMs)
    faults << "the music starts " << f.startOffsetMs << " ms from the play\n";
  if (std::abs(f.stopOffsetMs) > expected.toleranceMs)
    faults << "the music stops " << f.stopOffsetMs << " ms from the close\n";
  if (f.endOffsetMs < -expected.toleranceMs || f.endOffsetMs > expected.endToleranceMs)
    faults << "the capture ends " << f.endOffsetMs << " ms from the close\n";
  return faults.str();
}

}  // namespace cellshow::test
