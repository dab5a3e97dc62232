#pragma once
// Helpers for the music tests: generated MP3 fixtures, reference decoding with
// libmpg123, a real-time capture of SDL's disk audio driver through a FIFO,
// and the comparison of a capture with the music it should contain.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "support/timing.h"

namespace cellshow::test {

using Clock = std::chrono::steady_clock;

constexpr int TestRate = 44100;
// The player's device buffer: the granularity of a start or a stop.
constexpr double AudioBufferMs = 2048.0 * 1000.0 / TestRate;
// How far the music's start or stop may lie from its command: a buffer, and
// room for a busy machine's scheduling.
constexpr double ToleranceMs = AudioBufferMs + 60 * TimingScale;
// From "close all" to the end of the capture: up to a buffer to notice, two
// to drain, and the same room.
constexpr double EndToleranceMs = 3 * AudioBufferMs + 100 * TimingScale;

// Interleaved 16-bit stereo.
struct Pcm {
  std::vector<int16_t> samples;
  size_t frames() const { return samples.size() / 2; }
};

// A folder under /tmp, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A deterministic tune (a new pair of tones every 80 ms, chosen by `seed`,
// different on the two channels), 44.1 kHz stereo. Returns false on failure.
bool WriteTuneMp3(const std::string& path, double seconds, uint32_t seed, int kilobitsPerSecond);
// Decodes with libmpg123 to 44.1 kHz 16-bit stereo.
bool DecodeMp3(const std::string& path, Pcm& out);

// Points fd 2 at a file while alive; text() returns what was written so far.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  std::string text();

 private:
  void Restore();
  int saved_ = -1;
  std::string path_;
};

// Reads what SDL's disk audio driver writes to a FIFO, in real time, noting
// when each byte arrived. Set SDL_DISKAUDIOFILE to path().
class FifoCapture {
 public:
  explicit FifoCapture(const std::string& path);
  ~FifoCapture();
  FifoCapture(const FifoCapture&) = delete;
  FifoCapture& operator=(const FifoCapture&) = delete;

  const std::string& path() const { return path_; }
  // Waits until the writer has closed the FIFO; false on timeout. After a
  // true return the accessors below may be used.
  bool WaitForEnd(std::chrono::milliseconds timeout);
  bool connected() const { return connected_.load(); }
  // Frames received so far; waits until at least `frames` have come (the
  // device's own clock), false on timeout or when the writer closed first.
  size_t framesSoFar() const { return received_.load(); }
  bool WaitForFrames(size_t frames, std::chrono::milliseconds timeout) const;

  const std::vector<int16_t>& samples() const { return samples_; }
  size_t frames() const { return samples_.size() / 2; }
  // When the bytes of `frame` had arrived.
  Clock::time_point ArrivalOfFrame(size_t frame) const;
  Clock::time_point endTime() const { return end_; }

 private:
  void Read();
  struct Arrival {
    Clock::time_point time;
    size_t bytesEnd;
  };
  std::string path_;
  std::vector<uint8_t> bytes_;
  std::vector<int16_t> samples_;
  std::vector<Arrival> arrivals_;
  Clock::time_point end_{};
  std::atomic<size_t> received_{0};
  std::atomic<bool> connected_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread reader_;
};

// Where the reference shows up in a capture.
struct MusicMatch {
  bool found = false;
  size_t startFrame = 0;  // capture frame of reference frame 0
  size_t endFrame = 0;    // one past the last non-zero capture frame
  double snrDb = 0;       // over [startFrame, endFrame) against the reference
  bool silentBefore = false;
};
MusicMatch FindMusic(const std::vector<int16_t>& capture, const Pcm& reference);

struct PlaybackExpectation {
  Clock::time_point play;     // the moment the music should start
  Clock::time_point close;    // the moment it should stop and the capture end
  double toleranceMs = 0;     // allowed distance of the music's start and stop
  double endToleranceMs = 0;  // allowed time from the close to the capture's end
  double minSnrDb = 40;
};

struct PlaybackFigures {
  MusicMatch match;
  double startOffsetMs = 0;  // arrival of the music's first frame minus `play`
  double stopOffsetMs = 0;   // arrival of its last frame minus `close`
  double endOffsetMs = 0;    // end of the capture minus `close`
};

// Empty when the capture is digital silence until the play, then the
// reference from its beginning until the close, where the capture ends;
// otherwise what is wrong, one line per fault.
std::string CheckPlayback(const FifoCapture& capture, const Pcm& reference,
                          const PlaybackExpectation& expected, PlaybackFigures* figures = nullptr);

}  // namespace cellshow::test
