#pragma once
// The recording format: a sequence of records, each starting with the tick in
// which it happened and its kind (both little-endian 32-bit).
//   kind 1, a present: 8000 bytes, the 4000 cells in row order, character
//     byte then attribute byte;
//   kind 2, a media command: a little-endian 32-bit length n, then the n bytes
//     of the command text.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless/headless_sink.h"
#include "shell/screen.h"

namespace cellshow {

enum RecordKind : uint32_t { PresentRecord = 1, MediaRecord = 2 };
constexpr uint32_t PresentBytes = 8000;

// Writes records to a stream. Write failures are remembered, not thrown.
class RecordingWriter : public HeadlessSink {
 public:
  explicit RecordingWriter(std::FILE* out) : out_(out) {}
  void WritePresent(uint32_t tick, const ScreenCells& screen);
  void WriteMedia(uint32_t tick, const char* command);
  bool failed() const { return failed_; }

  void Present(uint32_t tick, const ScreenCells& screen) override { WritePresent(tick, screen); }
  void Media(uint32_t tick, const char* command) override { WriteMedia(tick, command); }

 private:
  void Put(const void* data, size_t size);
  std::FILE* out_;
  bool failed_ = false;
};

struct Record {
  uint32_t tick = 0;
  uint32_t kind = 0;
  std::array<uint8_t, PresentBytes> cells{};  // kind 1
  std::string command;                        // kind 2
};

// Parses a whole recording. Returns false (with `error` set) on a truncated
// record or an unknown kind.
bool ParseRecording(const std::vector<uint8_t>& bytes, std::vector<Record>& records,
                    std::string& error);
bool ReadRecordingFile(const std::string& path, std::vector<Record>& records, std::string& error);

// The cells a present record carries, and the record of a present.
void CellsOf(const Record& present, ScreenCells& cells);
Record PresentOf(uint32_t tick, const ScreenCells& screen);
// The newest present at or before `tick` (the screen after that tick);
// nullptr when there is none.
const Record* NewestPresent(const std::vector<Record>& records, uint32_t tick);
// Its cells; false when there is none.
bool FrameAt(const std::vector<Record>& records, uint32_t tick, ScreenCells& cells);

}  // namespace cellshow
