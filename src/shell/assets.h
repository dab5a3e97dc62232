#pragma once
// The show's asset files: their built-in names, the buffers that start-up
// fills from them, and the handles that stay open for the whole run.
#include <cstdint>
#include <string_view>

#include "shell/host.h"

namespace cellshow {

constexpr const char* ImgFileName = "data\\img.txt";
constexpr const char* TrFileName = "data\\tr.img";
constexpr const char* Tr2FileName = "data\\tr2.img";
constexpr const char* Tr3FileName = "data\\tr3.img";
constexpr const char* HitFileName = "data\\hit.img";
constexpr const char* BlFileName = "data\\bl.img";
constexpr const char* Lc1FileName = "data\\lc1.txt";
constexpr const char* Lc2FileName = "data\\lc2.txt";
constexpr const char* Lc3FileName = "data\\lc3.txt";
constexpr const char* PlayMusicCommand = "play data\\03.mp3";
constexpr const char* CloseAllCommand = "close all";
// The music file the play command names (after "play ").
constexpr const char* MusicFileName = PlayMusicCommand + 5;
static_assert(std::string_view(PlayMusicCommand).substr(0, 5) == "play ");
// Every file the show opens or plays, in that order.
constexpr const char* ShowFileNames[] = {ImgFileName, TrFileName,   Tr2FileName, Tr3FileName,
                                         HitFileName, BlFileName,   Lc1FileName, Lc2FileName,
                                         Lc3FileName, MusicFileName};

// FileHandles slots, in the order the files are opened.
enum FileSlot : int { ImgSlot = 0, TrSlot = 1, Tr2Slot = 2, Tr3Slot = 3, HitSlot = 4, BlSlot = 5 };
constexpr int OpenFileCount = 6;

constexpr uint32_t FrameBytes = 8000;        // one frame: 4000 cells of two bytes
constexpr uint32_t OverlayReadBytes = 1280;  // the first 8 rows of a picture
constexpr int OverlayCount = 3;

// A model vertex: x, y, z in 1024-units.
struct Vertex {
  int32_t x = 0, y = 0, z = 0;
};
constexpr int ModelAVertices = 10, ModelBVertices = 8, ModelCVertices = 18;

struct Assets {
  FileHandle FileHandles[OpenFileCount] = {InvalidFile, InvalidFile, InvalidFile,
                                           InvalidFile, InvalidFile, InvalidFile};
  uint8_t OverlayImages[OverlayCount][FrameBytes] = {};
  Vertex ModelA[ModelAVertices] = {};
  Vertex ModelB[ModelBVertices] = {};
  Vertex ModelC[ModelCVertices] = {};
  // Byte count of the last read; kept for the record, never examined.
  uint32_t BytesRead = 0;
};

struct Show;
// Start-up steps 8 and 9: overlay pictures to spaces, then open the six files
// that stay open (reading the overlays) and read and close the vertex tables.
void LoadAssets(Show& show);

}  // namespace cellshow
