#pragma once
// The readers and writers behind ansi_art.h, one per format. A reader gets
// the art's own bytes (SAUCE and what precedes it already cut off) and the
// record; it fills `out` or returns what is wrong.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/art/ansi_art.h"
#include "render/art/sauce.h"

namespace cellshow::art {

// The blank cell that unwritten parts of a picture hold: a space, light
// grey on black (the attribute a console starts with).
constexpr Cell BlankCell{32, 0x07};

std::string ReadAnsi(const uint8_t* bytes, size_t size, const sauce::Record& record, ArtImage& out);
std::string ReadBin(const uint8_t* bytes, size_t size, const sauce::Record& record, ArtImage& out);
std::string ReadXBin(const uint8_t* bytes, size_t size, ArtImage& out);

// The art's own bytes, without SAUCE.
std::vector<uint8_t> WriteAnsi(const ScreenCells& cells);
std::vector<uint8_t> WriteBin(const ScreenCells& cells);
std::vector<uint8_t> WriteXBin(const ScreenCells& cells);

}  // namespace cellshow::art
