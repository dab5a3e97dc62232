#pragma once
// A fresh folder under /tmp, removed with everything in it when it goes.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cellshow::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` inside the folder (creating sub-folders).
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to `file`, creating its folders; throws when it cannot.
void WriteFile(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);
// The whole of `file` as text; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& file);

// Runs a shell command; returns its exit status (-1 if it did not exit).
int RunCommand(const std::string& command);

}  // namespace cellshow::test
