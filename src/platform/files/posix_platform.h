#pragma once
// The asset-file half of the Linux platform, shared by the terminal and the
// headless backends.
#include <string>

#include "platform/platform.h"

namespace cellshow {

class PosixFilePlatform : public Platform {
 public:
  explicit PosixFilePlatform(std::string dataDir) : dataDir_(std::move(dataDir)) {}

  // Opens regular files only, for reading; anything else (missing, a folder,
  // a pipe) is InvalidFile, so a read can never block.
  FileHandle OpenFile(const char* name) override;
  // Reads until `count` bytes or the end of the file; returns the bytes read.
  uint32_t ReadFile(FileHandle file, void* destination, uint32_t count) override;
  void RewindFile(FileHandle file) override;
  void CloseFile(FileHandle file) override;

  const std::string& dataDir() const { return dataDir_; }

 private:
  std::string dataDir_;
};

}  // namespace cellshow
