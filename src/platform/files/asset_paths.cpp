#include "platform/files/asset_paths.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <string_view>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "shell/assets.h"

#ifndef CELLSHOW_SHARE_DIR
#define CELLSHOW_SHARE_DIR "/usr/local/share/cellshow"
#endif

namespace cellshow {
namespace {

#ifdef _WIN32
constexpr char Separator = '\\';
#else
constexpr char Separator = '/';
#endif

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFREG;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

std::string ExecutableDir() {
#ifdef _WIN32
  char buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  std::string path(buffer, n);
#else
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string path(buffer, static_cast<size_t>(n));
#endif
  const size_t slash = path.rfind(Separator);
  return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}

}  // namespace

std::string MapAssetName(const std::string& dataDir, const char* name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = Separator;
  if (path == "data" || path.rfind(std::string("data") + Separator, 0) == 0)
    path = dataDir + path.substr(4);
  return path;
}

std::vector<std::string> DefaultDataDirs() {
  const std::string exeDir = ExecutableDir();
  std::vector<std::string> dirs{"data"};
  if (!exeDir.empty()) dirs.push_back(exeDir + Separator + "data");
#ifndef _WIN32
  if (!exeDir.empty()) {
    const size_t slash = exeDir.rfind('/');
    dirs.push_back(exeDir.substr(0, slash) + "/share/cellshow/data");
  }
  dirs.push_back(std::string(CELLSHOW_SHARE_DIR) + "/data");
#endif
  return dirs;
}

std::string ResolveDataDir(const std::string& explicitDir) {
  if (!explicitDir.empty()) return explicitDir;
  for (const std::string& dir : DefaultDataDirs())
    if (IsDirectory(dir)) return dir;
  return "data";
}

bool HasShowFiles(const std::string& dataDir) {
  for (const char* name : ShowFileNames) {
    if (IsFile(MapAssetName(dataDir, name))) return true;
  }
  return false;
}

void ReportMissingShowFiles(const std::string& dataDir, bool searched) {
  if (HasShowFiles(dataDir)) return;
  std::string where = dataDir;
  if (searched && !IsDirectory(dataDir)) {
    where.clear();
    for (const std::string& dir : DefaultDataDirs()) where += (where.empty() ? "" : ", ") + dir;
  }
  std::fprintf(stderr,
               "cellshow: no show files in %s; the show will be blank and silent (see --data)\n",
               where.c_str());
}

}  // namespace cellshow
