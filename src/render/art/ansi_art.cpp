#include "render/art/ansi_art.h"

#include <cstring>

#include "render/art/art_codecs.h"
#include "render/art/sauce.h"

namespace cellshow {

ArtFormat ArtFormatOf(const uint8_t* bytes, size_t size, ArtFormat byName) {
  if (size >= 5 && std::memcmp(bytes, "XBIN\x1a", 5) == 0) return ArtFormat::XBin;
  const sauce::Record record = sauce::Read(bytes, size);
  if (record.present) {
    if (record.dataType == sauce::XBin) return ArtFormat::XBin;
    if (record.dataType == sauce::BinaryText) return ArtFormat::Bin;
    if (record.dataType == sauce::Character) return ArtFormat::Ansi;
  }
  return byName;
}

std::string ReadArt(const uint8_t* bytes, size_t size, ArtFormat format, ArtImage& out) {
  out = ArtImage{};
  const sauce::Record record = sauce::Read(bytes, size);
  out.hasSauce = record.present;
  out.title = record.title;
  std::string error;
  switch (format) {
    case ArtFormat::Ansi:
      error = art::ReadAnsi(bytes, record.dataEnd, record, out);
      break;
    case ArtFormat::Bin:
      error = art::ReadBin(bytes, record.dataEnd, record, out);
      break;
    case ArtFormat::XBin:
      error = art::ReadXBin(bytes, record.dataEnd, out);
      break;
  }
  if (error.empty() && (out.width == 0 || out.height == 0)) error = "no cells";
  return error;
}

std::vector<uint8_t> WriteArt(ArtFormat format, const ScreenCells& cells, const ArtLabel& label) {
  sauce::Record record;
  record.title = label.title.substr(0, 35);
  record.date = label.date;
  record.flags = sauce::IceColours | sauce::EightPixelLetters | sauce::LegacyAspect;
  record.fontName = "IBM VGA50";
  std::vector<uint8_t> out;
  switch (format) {
    case ArtFormat::Ansi:
      out = art::WriteAnsi(cells);
      record.dataType = sauce::Character;
      record.fileType = sauce::AnsiFileType;
      record.info[0] = ScreenWidth;
      record.info[1] = ScreenHeight;
      break;
    case ArtFormat::Bin:
      out = art::WriteBin(cells);
      record.dataType = sauce::BinaryText;
      record.fileType = ScreenWidth / 2;  // BinaryText keeps half the width here
      break;
    case ArtFormat::XBin:
      out = art::WriteXBin(cells);
      record.dataType = sauce::XBin;
      break;
  }
  const size_t dataSize = out.size();
  sauce::Append(out, record, dataSize);
  return out;
}

}  // namespace cellshow
