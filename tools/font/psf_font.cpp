#include "psf_font.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace cellshow::font {
namespace {

constexpr uint8_t Psf1Magic[2] = {0x36, 0x04};
constexpr uint8_t Psf2Magic[4] = {0x72, 0xB5, 0x4A, 0x86};
constexpr uint8_t Psf1Mode512 = 0x01;
constexpr uint8_t Psf1ModeHasTable = 0x02;
constexpr uint8_t Psf1ModeHasSequences = 0x04;
constexpr uint32_t Psf2HasTable = 0x01;
// Fonts larger than this are not console fonts.
constexpr uint32_t MaxGlyphs = 65536;
constexpr uint32_t MaxGlyphBytes = 64 * 64 * 8;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Decodes one UTF-8 character at bytes[pos]; false on a malformed one.
bool DecodeUtf8(const std::vector<uint8_t>& bytes, size_t& pos, char32_t& out) {
  const uint8_t lead = bytes[pos];
  int extra = 0;
  if (lead < 0x80) {
    out = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    out = lead & 0x1F, extra = 1;
  } else if ((lead & 0xF0) == 0xE0) {
    out = lead & 0x0F, extra = 2;
  } else if ((lead & 0xF8) == 0xF0) {
    out = lead & 0x07, extra = 3;
  } else {
    return false;
  }
  if (pos + extra >= bytes.size()) return false;
  for (int i = 1; i <= extra; ++i) {
    const uint8_t b = bytes[pos + i];
    if ((b & 0xC0) != 0x80) return false;
    out = out << 6 | (b & 0x3F);
  }
  pos += 1 + extra;
  return true;
}

bool ReadGlyphs(const std::vector<uint8_t>& bytes, size_t offset, uint32_t count, size_t glyphBytes,
                PsfFont& font, std::string& error) {
  if (count == 0 || count > MaxGlyphs || glyphBytes == 0 || glyphBytes > MaxGlyphBytes) {
    error = "implausible glyph count or size";
    return false;
  }
  if (offset > bytes.size() || (bytes.size() - offset) / glyphBytes < count) {
    error = "the file ends inside its glyphs";
    return false;
  }
  font.glyphs.resize(count);
  for (uint32_t g = 0; g < count; ++g) {
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(offset + g * glyphBytes);
    font.glyphs[g].assign(begin, begin + static_cast<std::ptrdiff_t>(glyphBytes));
  }
  font.codePoints.assign(count, {});
  return true;
}

// PSF1 table: per glyph, 16-bit little-endian code points up to 0xFFFF;
// 0xFFFE starts the glyph's sequences.
bool ReadPsf1Table(const std::vector<uint8_t>& bytes, size_t pos, PsfFont& font,
                   std::string& error) {
  for (auto& list : font.codePoints) {
    bool inSequences = false;
    for (;;) {
      if (pos + 2 > bytes.size()) {
        error = "the Unicode table ends early";
        return false;
      }
      const char32_t value = bytes[pos] | bytes[pos + 1] << 8;
      pos += 2;
      if (value == 0xFFFF) break;
      if (value == 0xFFFE) {
        inSequences = true;
      } else if (!inSequences) {
        list.push_back(value);
      }
    }
  }
  return true;
}

// PSF2 table: per glyph, UTF-8 characters; 0xFE starts a sequence, 0xFF ends
// the glyph's entry.
bool ReadPsf2Table(const std::vector<uint8_t>& bytes, size_t pos, PsfFont& font,
                   std::string& error) {
  for (auto& list : font.codePoints) {
    bool inSequences = false;
    for (;;) {
      if (pos >= bytes.size()) {
        error = "the Unicode table ends early";
        return false;
      }
      if (bytes[pos] == 0xFF) {
        ++pos;
        break;
      }
      if (bytes[pos] == 0xFE) {
        inSequences = true;
        ++pos;
        continue;
      }
      char32_t c = 0;
      if (!DecodeUtf8(bytes, pos, c)) {
        error = "bad UTF-8 in the Unicode table";
        return false;
      }
      if (!inSequences) list.push_back(c);
    }
  }
  return true;
}

}  // namespace

int PsfFont::OwnGlyph(char32_t codePoint) const {
  for (size_t g = 0; g < codePoints.size(); ++g)
    if (!codePoints[g].empty() && codePoints[g][0] == codePoint) return static_cast<int>(g);
  return -1;
}

int PsfFont::AnyGlyph(char32_t codePoint) const {
  for (size_t g = 0; g < codePoints.size(); ++g)
    for (char32_t c : codePoints[g])
      if (c == codePoint) return static_cast<int>(g);
  return -1;
}

bool ParsePsf(const std::vector<uint8_t>& bytes, PsfFont& font, std::string& error) {
  font = PsfFont{};
  if (bytes.size() >= 4 && bytes[0] == Psf1Magic[0] && bytes[1] == Psf1Magic[1]) {
    const uint8_t mode = bytes[2];
    font.width = 8;
    font.height = bytes[3];
    font.rowBytes = 1;
    const uint32_t count = mode & Psf1Mode512 ? 512 : 256;
    if (!ReadGlyphs(bytes, 4, count, font.height, font, error)) return false;
    if (mode & (Psf1ModeHasTable | Psf1ModeHasSequences))
      return ReadPsf1Table(bytes, 4 + size_t{count} * font.height, font, error);
    return true;
  }
  if (bytes.size() >= 32 && std::equal(Psf2Magic, Psf2Magic + 4, bytes.begin())) {
    const uint32_t headerSize = Le32(&bytes[8]);
    const uint32_t flags = Le32(&bytes[12]);
    const uint32_t count = Le32(&bytes[16]);
    const uint32_t glyphBytes = Le32(&bytes[20]);
    const uint32_t height = Le32(&bytes[24]);
    const uint32_t width = Le32(&bytes[28]);
    if (width == 0 || width > 64 || height == 0 || height > 64 ||
        glyphBytes != height * ((width + 7) / 8)) {
      error = "glyph size does not match width and height";
      return false;
    }
    font.width = static_cast<int>(width);
    font.height = static_cast<int>(height);
    font.rowBytes = static_cast<int>((width + 7) / 8);
    if (!ReadGlyphs(bytes, headerSize, count, glyphBytes, font, error)) return false;
    if (flags & Psf2HasTable)
      return ReadPsf2Table(bytes, headerSize + size_t{count} * glyphBytes, font, error);
    return true;
  }
  error = "not a PSF font";
  return false;
}

bool DecodePsf(const std::vector<uint8_t>& fileBytes, PsfFont& font, std::string& error) {
  if (fileBytes.size() < 2 || fileBytes[0] != 0x1F || fileBytes[1] != 0x8B)
    return ParsePsf(fileBytes, font, error);
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
    error = "cannot decompress";
    return false;
  }
  std::vector<uint8_t> bytes;
  stream.next_in = const_cast<Bytef*>(fileBytes.data());
  stream.avail_in = static_cast<uInt>(fileBytes.size());
  uint8_t buffer[1 << 14];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    bytes.insert(bytes.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
    if (bytes.size() > MaxFontBytes) result = Z_MEM_ERROR;
    if (result == Z_BUF_ERROR && stream.avail_in == 0) break;  // the stream ends early
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END) {
    error = bytes.size() > MaxFontBytes ? "larger than any console font once decompressed"
                                        : "cannot decompress";
    return false;
  }
  return ParsePsf(bytes, font, error);
}

bool ReadPsf(const std::string& path, PsfFont& font, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = path + ": cannot open";
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 14];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = path + ": cannot read";
    return false;
  }
  if (!DecodePsf(bytes, font, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace cellshow::font
