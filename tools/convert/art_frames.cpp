#include "art_frames.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace cellshow::convert {
namespace {

std::string Extension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string e = path.substr(dot + 1);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

bool CheckRow(const ArtImage& art, int firstRow, std::string& error) {
  if (firstRow < art.height) return true;
  error = "has " + std::to_string(art.height) + " rows: --row " + std::to_string(firstRow) +
          " is past its last";
  return false;
}

// Rows top.. of the art (blank where it has none) as a frame.
datagen::Frame Window(const ArtImage& art, int top, int rows) {
  datagen::Frame frame{};
  for (int i = 0; i < ScreenCellCount; ++i) {
    const int row = top + i / ScreenWidth;
    Cell cell{32, 0x07};
    if (i / ScreenWidth < rows && row < art.height)
      cell = art.cells[row * art.width + i % ScreenWidth];
    frame[2 * i] = static_cast<uint8_t>(cell.Char);
    frame[2 * i + 1] = static_cast<uint8_t>(cell.Attributes);
  }
  return frame;
}

}  // namespace

bool IsArtFile(const std::string& path) {
  const std::string e = Extension(path);
  return e == "ans" || e == "bin" || e == "xb";
}

bool ReadArtFile(const std::string& path, ArtImage& art, std::vector<std::string>& notices,
                 std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot be read";
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot be read";
    return false;
  }
  const std::string e = Extension(path);
  const ArtFormat byName = e == "xb"    ? ArtFormat::XBin
                           : e == "bin" ? ArtFormat::Bin
                                        : ArtFormat::Ansi;
  const ArtFormat format = ArtFormatOf(bytes.data(), bytes.size(), byName);
  const std::string problem = ReadArt(bytes.data(), bytes.size(), format, art);
  if (!problem.empty()) {
    error = "is not readable art: " + problem;
    return false;
  }
  if (art.width != ScreenWidth) {
    error = "is " + std::to_string(art.width) + " columns wide; the show's grid is 80";
    return false;
  }
  if (art.ownFont) notices.push_back("its own font is not used: the show draws code page 437");
  if (art.ownPalette) notices.push_back("its own palette is matched to the nearest VGA colours");
  return true;
}

bool ArtToFrames(const ArtImage& art, int firstRow, int count, std::vector<datagen::Frame>& frames,
                 std::string& error) {
  if (!CheckRow(art, firstRow, error)) return false;
  const int lastTop = std::max(firstRow, art.height - ScreenHeight);
  frames.clear();
  for (int k = 0; k < count; ++k)
    frames.push_back(Window(art, std::min(firstRow + k, lastTop), ScreenHeight));
  return true;
}

bool ArtToOverlay(const ArtImage& art, int firstRow, datagen::Frame& overlay, std::string& error) {
  if (!CheckRow(art, firstRow, error)) return false;
  constexpr int Rows = 8;
  overlay = Window(art, firstRow, Rows);
  for (int i = 0; i < ScreenCellCount; ++i) {
    if (i >= Rows * ScreenWidth) {
      overlay[2 * i] = 32;  // transparent
      overlay[2 * i + 1] = 0;
    } else if (overlay[2 * i] == 32) {
      overlay[2 * i] = 0;
    }
  }
  return true;
}

}  // namespace cellshow::convert
