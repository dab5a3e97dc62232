#pragma once
// The default show data: three cell animations, three overlay pictures, three
// vertex tables and the music, all made from code, byte for byte the same on
// every run.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/assets.h"

namespace cellshow::datagen {

// One frame in the file layout: 4000 cells in row order, character byte then
// attribute byte.
using Frame = std::array<uint8_t, FrameBytes>;

constexpr int ImgFrameCount = 63;   // looped by the show: the last frame leads into the first
constexpr int HitFrameCount = 143;  // the show reads 143 frames and shows 142
constexpr int BlFrameCount = 138;   // the show reads 138 frames and shows 137
constexpr int OverlayRows = 8;      // the rows of an overlay picture that the show reads

constexpr int MusicSampleRate = 44100;
constexpr int MusicChannels = 2;
constexpr int MusicKilobitsPerSecond = 128;

// The animations.
std::vector<Frame> MakeTunnelFrames();          // img.txt
std::vector<Frame> MakeStarsAndFlamesFrames();  // hit.img
std::vector<Frame> MakeCubeFrames();            // bl.img
// The overlay pictures: 0 tr.img, 1 tr2.img, 2 tr3.img. Rows 0 to 7 hold the
// picture; character 32 is transparent; the other rows are all spaces.
Frame MakeOverlay(int picture);
// The vertex tables; vertices 2k and 2k + 1 are the ends of edge k.
std::vector<Vertex> MakeModelA();  // lc1.txt, 10 vertices
std::vector<Vertex> MakeModelB();  // lc2.txt, 8 vertices
std::vector<Vertex> MakeModelC();  // lc3.txt, 18 vertices
// The music: interleaved 16-bit stereo at MusicSampleRate.
std::vector<int16_t> MakeMusic();

// The file layouts.
std::vector<uint8_t> FrameFileBytes(const std::vector<Frame>& frames);
std::vector<uint8_t> VertexTableBytes(const std::vector<Vertex>& vertices);

// Writes the ten files into `dir`, creating it (and its parents) if needed.
// Each file is written under a temporary name and renamed into place, so a
// failure leaves no half-written file. `progress` receives one line per step.
// Returns false with `error` set when something cannot be written.
bool WriteShowData(const std::string& dir, const std::function<void(const std::string&)>& progress,
                   std::string& error);

}  // namespace cellshow::datagen
