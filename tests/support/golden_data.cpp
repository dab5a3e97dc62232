#include "support/golden_data.h"

#include <cstdint>
#include <vector>

#include "support/temp_dir.h"

namespace cellshow::test {
namespace {

// Writes files into an existing folder.
struct Folder {
  std::filesystem::path path;
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    WriteFile(path / name, bytes);
  }
};

// A small fixed generator, so the data sets are the same on every machine.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  uint8_t Byte() { return static_cast<uint8_t>(Next()); }
  int32_t Between(int32_t low, int32_t high) {
    const uint64_t span = static_cast<uint64_t>(int64_t{high} - low + 1);
    return static_cast<int32_t>(low + static_cast<int64_t>(Next() % span));
  }
};

std::vector<uint8_t> RandomBytes(Random& r, size_t n) {
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = r.Byte();
  return bytes;
}

// Overlay cells: mostly transparent (character 32, any attribute), some
// character-0 cells, the rest random.
std::vector<uint8_t> Overlay(Random& r, size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i + 1 < n; i += 2) {
    const uint64_t pick = r.Next() % 10;
    bytes[i] = pick < 6 ? 32 : pick < 7 ? 0 : r.Byte();
    bytes[i + 1] = r.Byte();
  }
  if (n % 2) bytes[n - 1] = r.Byte();
  return bytes;
}

std::vector<uint8_t> Vertices(Random& r, int count, int32_t low, int32_t high) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 3 * count; ++i) {
    const auto v = static_cast<uint32_t>(r.Between(low, high));
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
  }
  return bytes;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t n) {
  bytes.resize(n);
  return bytes;
}

}  // namespace

void MakeDataSet(const std::string& name, const std::filesystem::path& folder) {
  const auto dir = Folder{folder};
  Random r{name.size() * 7919 + static_cast<uint8_t>(name[0])};
  if (name == "exact") {
    // Every file exactly as long as the show reads; models that leave the grid.
    dir.Write("img.txt", RandomBytes(r, 63 * 8000));
    dir.Write("hit.img", RandomBytes(r, 143 * 8000));
    dir.Write("bl.img", RandomBytes(r, 138 * 8000));
    dir.Write("tr.img", Overlay(r, 1280));
    dir.Write("tr2.img", Overlay(r, 1280));
    dir.Write("tr3.img", Overlay(r, 1280));
    dir.Write("lc1.txt", Vertices(r, 10, -20 * 1024, 100 * 1024));
    dir.Write("lc2.txt", Vertices(r, 8, 0, 120 * 1024));
    dir.Write("lc3.txt", Vertices(r, 18, -30 * 1024, 90 * 1024));
  } else if (name == "short") {
    // Files that end early, some mid-frame or mid-vertex, some missing.
    dir.Write("img.txt", RandomBytes(r, 20 * 8000 + 3001));
    dir.Write("hit.img", RandomBytes(r, 50 * 8000 + 100));
    dir.Write("tr.img", Overlay(r, 601));
    dir.Write("tr3.img", Overlay(r, 8000));
    dir.Write("lc1.txt", Cut(Vertices(r, 10, -50 * 1024, 50 * 1024), 53));
  } else if (name == "extreme") {
    // Files longer than the show reads and vertex tables over the whole
    // 32-bit range.
    dir.Write("img.txt", RandomBytes(r, 70 * 8000));
    dir.Write("hit.img", RandomBytes(r, 150 * 8000));
    dir.Write("bl.img", RandomBytes(r, 140 * 8000 + 77));
    dir.Write("tr.img", Overlay(r, 9000));
    dir.Write("tr2.img", Overlay(r, 1280));
    dir.Write("tr3.img", RandomBytes(r, 1280));
    dir.Write("lc1.txt", Vertices(r, 10, INT32_MIN, INT32_MAX));
    dir.Write("lc2.txt", Vertices(r, 8, INT32_MIN, INT32_MAX));
    dir.Write("lc3.txt", Vertices(r, 18, INT32_MIN, INT32_MAX));
  }
  // "empty": an empty data folder, every file missing.
}

}  // namespace cellshow::test
