#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/asset_paths.h"
#include "platform/files/native_files.h"

namespace cellshow {

FileHandle NativeFilePlatform::OpenFile(const char* name) {
  const std::string path = MapAssetName(dataDir_, name);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return InvalidFile;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return InvalidFile;
  }
  return fd;
}

uint32_t NativeFilePlatform::ReadFile(FileHandle file, void* destination, uint32_t count) {
  if (file < 0) return 0;
  auto* out = static_cast<unsigned char*>(destination);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = read(file, out + done, count - done);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // end of file or a read error: what arrived is all there is
    }
  }
  return done;
}

void WriteAllTo(int fd, const char* text, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = write(fd, text + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
}

void NativeFilePlatform::RewindFile(FileHandle file) {
  if (file >= 0) lseek(file, 0, SEEK_SET);
}

void NativeFilePlatform::CloseFile(FileHandle file) {
  if (file >= 0) close(file);
}

}  // namespace cellshow
