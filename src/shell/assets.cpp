#include "shell/assets.h"

#include <cstring>

#include "show/show.h"

namespace cellshow {
namespace {

int32_t& Coordinate(Vertex& v, uint32_t k) { return k == 0 ? v.x : k == 1 ? v.y : v.z; }

FileHandle OpenAndRead(Show& show, const char* name, void* destination, uint32_t count) {
  Host& host = *show.host;
  const FileHandle file = host.OpenFile(name);
  if (count != 0) show.assets.BytesRead = host.ReadFile(file, destination, count);
  return file;
}

// Reads a vertex table (three little-endian 32-bit integers per vertex) and
// closes it at once. The read lands on the model's own bytes, so whatever a
// short file does not deliver keeps its earlier value.
void LoadModel(Show& show, const char* name, Vertex* model, int vertices) {
  uint8_t raw[ModelCVertices * 12];
  const uint32_t bytes = static_cast<uint32_t>(vertices) * 12;
  for (uint32_t i = 0; i < bytes; ++i) {
    const auto word = static_cast<uint32_t>(Coordinate(model[i / 12], i % 12 / 4));
    raw[i] = static_cast<uint8_t>(word >> (i % 4 * 8));
  }
  const FileHandle file = show.host->OpenFile(name);
  show.assets.BytesRead = show.host->ReadFile(file, raw, bytes);
  show.host->CloseFile(file);
  for (uint32_t i = 0; i < bytes; i += 4) {
    const uint32_t word = raw[i] | raw[i + 1] << 8 | raw[i + 2] << 16 | uint32_t{raw[i + 3]} << 24;
    Coordinate(model[i / 12], i % 12 / 4) = static_cast<int32_t>(word);
  }
}

}  // namespace

void LoadAssets(Show& show) {
  Assets& a = show.assets;
  std::memset(a.OverlayImages, 32, sizeof a.OverlayImages);
  a.FileHandles[ImgSlot] = OpenAndRead(show, ImgFileName, nullptr, 0);
  a.FileHandles[TrSlot] = OpenAndRead(show, TrFileName, a.OverlayImages[0], OverlayReadBytes);
  a.FileHandles[Tr2Slot] = OpenAndRead(show, Tr2FileName, a.OverlayImages[1], OverlayReadBytes);
  a.FileHandles[Tr3Slot] = OpenAndRead(show, Tr3FileName, a.OverlayImages[2], OverlayReadBytes);
  a.FileHandles[HitSlot] = OpenAndRead(show, HitFileName, nullptr, 0);
  a.FileHandles[BlSlot] = OpenAndRead(show, BlFileName, nullptr, 0);
  LoadModel(show, Lc1FileName, a.ModelA, ModelAVertices);
  LoadModel(show, Lc2FileName, a.ModelB, ModelBVertices);
  LoadModel(show, Lc3FileName, a.ModelC, ModelCVertices);
}

}  // namespace cellshow
