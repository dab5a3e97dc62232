#include "render/art/sauce.h"

#include <cstring>

namespace cellshow::sauce {
namespace {

// A text field: up to `length` bytes, blanks and NULs at its end removed.
std::string Field(const uint8_t* at, size_t length) {
  size_t end = length;
  while (end > 0 && (at[end - 1] == ' ' || at[end - 1] == 0)) --end;
  return std::string(reinterpret_cast<const char*>(at), end);
}

uint32_t Little(const uint8_t* at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

void PutField(std::vector<uint8_t>& out, const std::string& text, size_t length, uint8_t pad) {
  for (size_t i = 0; i < length; ++i)
    out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : pad);
}

void PutLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

Record Read(const uint8_t* bytes, size_t size) {
  Record r;
  r.dataEnd = size;
  if (size < RecordSize) return r;
  const uint8_t* at = bytes + size - RecordSize;
  if (std::memcmp(at, "SAUCE00", 7) != 0) return r;
  r.present = true;
  r.title = Field(at + 7, 35);
  r.author = Field(at + 42, 20);
  r.group = Field(at + 62, 20);
  r.date = Field(at + 82, 8);
  r.fileSize = Little(at + 90, 4);
  r.dataType = at[94];
  r.fileType = at[95];
  for (int i = 0; i < 4; ++i) r.info[i] = static_cast<uint16_t>(Little(at + 96 + 2 * i, 2));
  const int comments = at[104];
  r.flags = at[105];
  r.fontName = Field(at + 106, 22);
  size_t end = size - RecordSize;
  const size_t block = 5 + 64 * static_cast<size_t>(comments);
  if (comments > 0 && end >= block && std::memcmp(bytes + end - block, "COMNT", 5) == 0)
    end -= block;
  if (end > 0 && bytes[end - 1] == EndOfFile) --end;
  r.dataEnd = end;
  return r;
}

void Append(std::vector<uint8_t>& out, const Record& record, size_t dataSize) {
  out.push_back(EndOfFile);
  PutField(out, "SAUCE00", 7, ' ');
  PutField(out, record.title, 35, ' ');
  PutField(out, record.author, 20, ' ');
  PutField(out, record.group, 20, ' ');
  PutField(out, record.date, 8, ' ');
  PutLittle(out, static_cast<uint32_t>(dataSize), 4);
  out.push_back(record.dataType);
  out.push_back(record.fileType);
  for (const uint16_t info : record.info) PutLittle(out, info, 2);
  out.push_back(0);  // no comment lines
  out.push_back(record.flags);
  PutField(out, record.fontName, 22, 0);
}

}  // namespace cellshow::sauce
