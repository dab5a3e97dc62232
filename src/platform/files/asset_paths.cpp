#include "platform/files/asset_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#ifndef CELLSHOW_SHARE_DIR
#define CELLSHOW_SHARE_DIR "/usr/local/share/cellshow"
#endif

namespace cellshow {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableDir() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}

}  // namespace

std::string MapAssetName(const std::string& dataDir, const char* name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path == "data" || path.rfind("data/", 0) == 0) path = dataDir + path.substr(4);
  return path;
}

std::string ResolveDataDir(const std::string& explicitDir) {
  if (!explicitDir.empty()) return explicitDir;
  if (IsDirectory("data")) return "data";
  const std::string besideExecutable = ExecutableDir() + "/data";
  if (IsDirectory(besideExecutable)) return besideExecutable;
  const std::string shared = std::string(CELLSHOW_SHARE_DIR) + "/data";
  if (IsDirectory(shared)) return shared;
  return "data";
}

}  // namespace cellshow
