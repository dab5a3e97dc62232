// The entry points of `cellshow-data convert` where the user's files arrive,
// as far as our own code goes (FFmpeg's decoders are not ours to fuzz): ANSI
// art, a picture's header and its placement and cell matching, OBJ models.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "obj_model.h"
#include "picture_frames.h"
#include "picture_header.h"
#include "render/art/ansi_art.h"
#include "show_data.h"

namespace cellshow::fuzz {
namespace {

// A property the code promises broke: stop as a crash would, so that the
// fuzzer keeps the input.
void Require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

int FuzzAnsiArt(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  const auto byName = static_cast<ArtFormat>(in.Byte() % 3);
  const auto bytes = in.Rest();
  ArtImage art;
  if (!ReadArt(bytes.data(), bytes.size(), ArtFormatOf(bytes.data(), bytes.size(), byName), art)
           .empty())
    return 0;
  Require(art.width > 0 && art.height >= 0 && art.cells.size() == size_t(art.width) * art.height);
  if (art.width != ScreenWidth) return 0;
  // The first 50 rows written as .BIN and .XB read back exactly.
  static ScreenCells screen;
  for (int k = 0; k < ScreenCellCount; ++k)
    screen[k] = k < static_cast<int>(art.cells.size()) ? art.cells[k] : Cell{};
  for (ArtFormat format : {ArtFormat::Bin, ArtFormat::XBin}) {
    const std::vector<uint8_t> written = WriteArt(format, screen, ArtLabel{art.title, "20261209"});
    ArtImage back;
    Require(ReadArt(written.data(), written.size(), format, back).empty());
    Require(back.width == ScreenWidth && back.height == ScreenHeight);
    for (int k = 0; k < ScreenCellCount; ++k)
      Require(back.cells[k].Char == screen[k].Char &&
              back.cells[k].Attributes == (screen[k].Attributes & 0xFF));
  }
  return 0;
}

int FuzzPicture(const uint8_t* data, size_t size) {
  using namespace convert;
  ByteReader in(data, size);
  const uint8_t setup = in.Byte();
  const auto header = in.Take(HeaderBytes);
  int width = 0, height = 0;
  if (!PictureSizeOf(std::vector<uint8_t>(header.begin(), header.end()), width, height)) {
    width = 1 + in.Word() % MaxPictureSide;
    height = 1 + in.Word() % MaxPictureSide;
  }
  // Where the picture goes, for the sizes the converter lets through: the
  // placement stays inside the canvas and the crop inside the picture.
  if (width > 0 && height > 0 && width <= MaxPictureSide && height <= MaxPictureSide) {
    const int sarNum = 1 + in.Word(), sarDen = 1 + in.Word();
    const double aspect = static_cast<double>(width) * sarNum / sarDen / height;
    const int canvasHeight = setup & 1 ? 64 : 400;
    for (Fit fit : {Fit::Contain, Fit::Cover, Fit::Stretch}) {
      const Placement p = Place(fit, width, height, aspect, 640, canvasHeight, PixelAspect);
      Require(p.x >= 0 && p.y >= 0 && p.width >= 1 && p.height >= 1 && p.x + p.width <= 640 &&
              p.y + p.height <= canvasHeight);
      Require(p.cropX >= 0 && p.cropY >= 0 && p.cropWidth >= 1 && p.cropHeight >= 1 &&
              p.cropX + p.cropWidth <= width && p.cropY + p.cropHeight <= height);
    }
  }
  // A fitted canvas of one to four cell rows from the rest of the bytes,
  // matched to cells as the converter matches it.
  static const CellMatcher matcher;
  Canvas canvas;
  canvas.width = 640;
  canvas.height = 8 * (1 + (setup >> 1) % 4);
  canvas.pixels.assign(size_t(canvas.width) * canvas.height, 0);
  const auto pixels = in.Rest();
  for (size_t i = 0; i + 3 < pixels.size() && i / 4 < canvas.pixels.size(); i += 4)
    canvas.pixels[i / 4] = uint32_t{pixels[i]} | uint32_t{pixels[i + 1]} << 8 |
                           uint32_t{pixels[i + 2]} << 16 | uint32_t{pixels[i + 3]} << 24;
  static ScreenCells cells;
  MatchCanvas(matcher, canvas, cells);
  return 0;
}

int FuzzObjModel(const uint8_t* data, size_t size) {
  using namespace convert;
  ObjModel model;
  std::string error;
  if (!ReadObj(std::string(reinterpret_cast<const char*>(data), size), model, error)) return 0;
  static const std::vector<Vertex> reference = datagen::MakeModelA();
  for (int vertices : {ModelAVertices, ModelBVertices, ModelCVertices}) {
    std::vector<Vertex> table;
    if (ModelTable(model, reference, vertices, table, error))
      Require(table.size() == static_cast<size_t>(vertices));
  }
  return 0;
}

}  // namespace cellshow::fuzz
