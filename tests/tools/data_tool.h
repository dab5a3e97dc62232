#pragma once
// Runs the data generator program.
#include <cstdint>
#include <string>
#include <vector>

namespace cellshow::test {

struct ProgramRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs cellshow-data with `arguments` (already quoted for the shell).
ProgramRun RunDataTool(const std::string& arguments);

// The folder of default data that the build made with the same program.
std::string BuildDataFolder();

// A frame or overlay file read back: cell (column, row) of frame `frame`.
struct CellFile {
  std::vector<uint8_t> bytes;
  size_t frames() const { return bytes.size() / 8000; }
  uint8_t Char(size_t frame, int column, int row) const {
    return bytes[frame * 8000 + 2 * (row * 80 + column)];
  }
  uint8_t Attribute(size_t frame, int column, int row) const {
    return bytes[frame * 8000 + 2 * (row * 80 + column) + 1];
  }
};
CellFile ReadCellFile(const std::string& path);

}  // namespace cellshow::test
