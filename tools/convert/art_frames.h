#pragma once
// ANSI art files into the show's cell files, cell for cell: a picture from
// `--row` down; an animation that scrolls the art up one row a frame until
// its last row is at the bottom, as art viewers show it.
#include <string>
#include <vector>

#include "render/art/ansi_art.h"
#include "show_data.h"

namespace cellshow::convert {

// True for the names of art files: .ans, .bin, .xb (any case).
bool IsArtFile(const std::string& path);

// Reads an art file; only 80-column art fits the grid. `notices` gets a
// line for what is not used (an XBin's own font).
bool ReadArtFile(const std::string& path, ArtImage& art, std::vector<std::string>& notices,
                 std::string& error);

// `count` frames, the first showing rows firstRow.. of the art, each next
// one a row further down until the art's end is at the bottom.
bool ArtToFrames(const ArtImage& art, int firstRow, int count, std::vector<datagen::Frame>& frames,
                 std::string& error);

// An overlay of art rows firstRow to firstRow + 7. Art has no transparency:
// its blank cells are written as character 0, which is drawn.
bool ArtToOverlay(const ArtImage& art, int firstRow, datagen::Frame& overlay, std::string& error);

}  // namespace cellshow::convert
