#include <windows.h>

#include "platform/files/asset_paths.h"
#include "platform/files/native_files.h"

namespace cellshow {
namespace {

// Kernel handles are small multiples of four, so they fit the 32-bit handle
// type of the platform interface.
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)); }

}  // namespace

FileHandle NativeFilePlatform::OpenFile(const char* name) {
  const std::string path = MapAssetName(dataDir_, name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return InvalidFile;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return InvalidFile;
  }
  return static_cast<FileHandle>(reinterpret_cast<intptr_t>(file));
}

uint32_t NativeFilePlatform::ReadFile(FileHandle file, void* destination, uint32_t count) {
  if (file == InvalidFile) return 0;
  DWORD bytesRead = 0;
  ::ReadFile(ToHandle(file), destination, count, &bytesRead, nullptr);
  return bytesRead;
}

void NativeFilePlatform::RewindFile(FileHandle file) {
  if (file != InvalidFile) SetFilePointer(ToHandle(file), 0, nullptr, FILE_BEGIN);
}

void NativeFilePlatform::CloseFile(FileHandle file) {
  if (file != InvalidFile) CloseHandle(ToHandle(file));
}

}  // namespace cellshow
