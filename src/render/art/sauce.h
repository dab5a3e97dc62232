#pragma once
// The SAUCE record at the end of an art file: 128 bytes starting "SAUCE00",
// after an optional comment block ("COMNT" and 64 bytes a line) and, by
// custom, an EOF byte (26) that keeps DOS's TYPE from printing it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::sauce {

constexpr size_t RecordSize = 128;
constexpr uint8_t EndOfFile = 26;

// Data types and the flags of TFlags.
enum : uint8_t { Character = 1, BinaryText = 5, XBin = 6 };
enum : uint8_t { AnsiFileType = 1 };
constexpr uint8_t IceColours = 1;
constexpr uint8_t EightPixelLetters = 1 << 1;
constexpr uint8_t LegacyAspect = 1 << 3;

struct Record {
  bool present = false;
  std::string title, author, group, date, fontName;
  uint32_t fileSize = 0;
  uint8_t dataType = 0, fileType = 0, flags = 0;
  uint16_t info[4] = {};
  // Where the art's own bytes end: before the record, its comments and the
  // EOF byte. The whole size when there is no record.
  size_t dataEnd = 0;
};

Record Read(const uint8_t* bytes, size_t size);

// Appends the EOF byte and a record describing `dataSize` bytes of art.
void Append(std::vector<uint8_t>& out, const Record& record, size_t dataSize);

}  // namespace cellshow::sauce
