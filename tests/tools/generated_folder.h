#pragma once
// Runs the data generator program and reads back what it wrote.
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

// A new empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The folder that the program made on its first call in this process.
const std::string& GeneratedFolder();

std::vector<uint8_t> ReadWholeFile(const std::string& path);

}  // namespace cellshow::test
