#pragma once
// The asset-file half of every backend: POSIX calls on Linux
// (posix_files.cpp), CreateFileA, ReadFile, SetFilePointer and CloseHandle
// on Windows (win32/win32_files.cpp).
#include <cstddef>
#include <string>

#include "shell/host.h"

namespace cellshow {

class NativeFilePlatform : public Host {
 public:
  explicit NativeFilePlatform(std::string dataDir) : dataDir_(std::move(dataDir)) {}

  // Opens regular (disk) files only, for reading; anything else (missing, a
  // folder, a pipe or device) is InvalidFile, so a read can never block. On
  // Windows the file is not shared while it is open.
  FileHandle OpenFile(const char* name) override;
  // Reads until `count` bytes or the end of the file; returns the bytes read.
  uint32_t ReadFile(FileHandle file, void* destination, uint32_t count) override;
  void RewindFile(FileHandle file) override;
  void CloseFile(FileHandle file) override;

  const std::string& dataDir() const { return dataDir_; }

 private:
  std::string dataDir_;
};

// POSIX builds: writes all `count` bytes to `fd`, again after a signal, and
// stops at the first error (for stats and notices on stderr).
void WriteAllTo(int fd, const char* text, size_t count);

}  // namespace cellshow
