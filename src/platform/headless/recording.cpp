#include "platform/headless/recording.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace cellshow {
namespace {

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | uint32_t{at[3]} << 24;
}

}  // namespace

void RecordingWriter::Put(const void* data, size_t size) {
  if (!failed_ && std::fwrite(data, 1, size, out_) != size) failed_ = true;
}

void RecordingWriter::WritePresent(uint32_t tick, const ScreenCells& screen) {
  uint8_t record[8 + PresentBytes];
  PutU32(record, tick);
  PutU32(record + 4, PresentRecord);
  for (int k = 0; k < ScreenCellCount; ++k) {
    record[8 + 2 * k] = static_cast<uint8_t>(screen[k].Char);
    record[9 + 2 * k] = static_cast<uint8_t>(screen[k].Attributes);
  }
  Put(record, sizeof record);
}

void RecordingWriter::WriteMedia(uint32_t tick, const char* command) {
  const auto length = static_cast<uint32_t>(std::strlen(command));
  uint8_t head[12];
  PutU32(head, tick);
  PutU32(head + 4, MediaRecord);
  PutU32(head + 8, length);
  Put(head, sizeof head);
  Put(command, length);
}

bool ParseRecording(const std::vector<uint8_t>& bytes, std::vector<Record>& records,
                    std::string& error) {
  size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 8) {
      error = "truncated record header at byte " + std::to_string(at);
      return false;
    }
    Record record;
    record.tick = GetU32(&bytes[at]);
    record.kind = GetU32(&bytes[at + 4]);
    at += 8;
    if (record.kind == PresentRecord) {
      if (bytes.size() - at < PresentBytes) {
        error = "truncated present at byte " + std::to_string(at);
        return false;
      }
      std::memcpy(record.cells.data(), &bytes[at], PresentBytes);
      at += PresentBytes;
    } else if (record.kind == MediaRecord) {
      if (bytes.size() - at < 4 || bytes.size() - at - 4 < GetU32(&bytes[at])) {
        error = "truncated media command at byte " + std::to_string(at);
        return false;
      }
      const uint32_t length = GetU32(&bytes[at]);
      record.command.assign(reinterpret_cast<const char*>(&bytes[at + 4]), length);
      at += 4 + length;
    } else {
      error = "unknown record kind " + std::to_string(record.kind) + " at byte " +
              std::to_string(at - 4);
      return false;
    }
    records.push_back(std::move(record));
  }
  return true;
}

bool ReadRecordingFile(const std::string& path, std::vector<Record>& records, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  return ParseRecording(bytes, records, error);
}

void CellsOf(const Record& present, ScreenCells& cells) {
  for (int k = 0; k < ScreenCellCount; ++k) {
    cells[k] = {present.cells[2 * k], present.cells[2 * k + 1]};
  }
}

Record PresentOf(uint32_t tick, const ScreenCells& screen) {
  Record record;
  record.tick = tick;
  record.kind = PresentRecord;
  for (int k = 0; k < ScreenCellCount; ++k) {
    record.cells[2 * k] = static_cast<uint8_t>(screen[k].Char);
    record.cells[2 * k + 1] = static_cast<uint8_t>(screen[k].Attributes);
  }
  return record;
}

const Record* NewestPresent(const std::vector<Record>& records, uint32_t tick) {
  const Record* newest = nullptr;
  for (const Record& r : records)
    if (r.kind == PresentRecord && r.tick <= tick) newest = &r;
  return newest;
}

bool FrameAt(const std::vector<Record>& records, uint32_t tick, ScreenCells& cells) {
  const Record* found = NewestPresent(records, tick);
  if (found == nullptr) return false;
  CellsOf(*found, cells);
  return true;
}

}  // namespace cellshow
