#pragma once
// The asset-file half of the Windows platform, shared by the console and the
// headless backends: CreateFileA, ReadFile, SetFilePointer, CloseHandle.
#include <string>

#include "platform/platform.h"

namespace cellshow {

class Win32FilePlatform : public Platform {
 public:
  explicit Win32FilePlatform(std::string dataDir) : dataDir_(std::move(dataDir)) {}

  // Opens disk files only, for reading, unshared; anything else (missing, a
  // folder, a pipe or device) is InvalidFile, so a read can never block.
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
