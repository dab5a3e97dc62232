#include "export/target_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cellshow {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// fsync through a fresh descriptor; false with errno set.
bool SyncPath(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot
  const int saved = errno;
  close(fd);
  errno = saved;
  return synced;
}

}  // namespace

TargetFile::~TargetFile() { Discard(); }

bool TargetFile::Create(const std::string& target, std::string& error) {
  target_ = target;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      if (S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
      }
      inPlace_ = true;
      writePath_ = target;
      return true;
    }
    hadTarget_ = true;
    targetMode_ = st.st_mode & 07777;
    // Replace the file a link names, not the link.
    char resolved[PATH_MAX];
    if (realpath(target.c_str(), resolved) != nullptr) target_ = resolved;
  }
  std::string pattern = FolderOf(target_) + "/." + NameOf(target_) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  close(fd);
  writePath_ = name.data();
  pending_ = true;
  return true;
}

bool TargetFile::Commit(std::string& error) {
  if (inPlace_) return true;
  mode_t mode = static_cast<mode_t>(targetMode_);
  if (!hadTarget_) {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (chmod(writePath_.c_str(), mode) != 0 || !SyncPath(writePath_, O_RDONLY) ||
      rename(writePath_.c_str(), target_.c_str()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  pending_ = false;
  // The rename itself reaches the disk with the folder.
  SyncPath(FolderOf(target_), O_RDONLY | O_DIRECTORY);
  return true;
}

void TargetFile::Discard() {
  if (!pending_) return;
  unlink(writePath_.c_str());
  pending_ = false;
}

}  // namespace cellshow
