#include "show_data.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mp3_writer.h"

namespace cellshow::datagen {

std::vector<uint8_t> FrameFileBytes(const std::vector<Frame>& frames) {
  std::vector<uint8_t> bytes;
  bytes.reserve(frames.size() * FrameBytes);
  for (const Frame& f : frames) bytes.insert(bytes.end(), f.begin(), f.end());
  return bytes;
}

std::vector<uint8_t> VertexTableBytes(const std::vector<Vertex>& vertices) {
  std::vector<uint8_t> bytes;
  for (const Vertex& v : vertices)
    for (const int32_t value : {v.x, v.y, v.z}) {
      const auto u = static_cast<uint32_t>(value);
      for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(u >> shift));
    }
  return bytes;
}

namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// mkdir -p: creates `dir` and the folders above it that are missing.
bool MakeFolders(const std::string& dir, std::string& error) {
  for (size_t at = 1; at <= dir.size(); ++at) {
    if (at != dir.size() && dir[at] != '/') continue;
    const std::string part = dir.substr(0, at);
    struct stat st {};
    if (stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        error = "cannot make the folder " + dir + ": " + part + " is not a folder";
        return false;
      }
      continue;
    }
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      error = SystemError("cannot make the folder " + part);
      return false;
    }
  }
  return true;
}

// Writes `bytes` to `path`; errors name `shown`, the file the user asked for.
bool WriteWhole(const std::string& path, const std::string& shown,
                const std::vector<uint8_t>& bytes, std::string& error) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    error = SystemError("cannot write " + shown);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const int writeErrno = errno;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    if (!written) errno = writeErrno;
    error = SystemError("writing " + shown + " failed");
    std::remove(path.c_str());
    return false;
  }
  return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    error = SystemError("cannot write " + to);
    std::remove(from.c_str());
    return false;
  }
  return true;
}

std::vector<uint8_t> OverlayBytes(int picture) {
  const Frame f = MakeOverlay(picture);
  return {f.begin(), f.end()};
}

}  // namespace

bool WriteShowData(const std::string& dir, const std::function<void(const std::string&)>& progress,
                   std::string& error) {
  if (dir.empty()) {
    error = "no folder given";
    return false;
  }
  if (!MakeFolders(dir, error)) return false;
  const std::string base = dir.back() == '/' ? dir : dir + "/";

  struct DataFile {
    const char* name;
    const char* what;
    std::function<std::vector<uint8_t>()> make;
  };
  const DataFile files[] = {
      {"lc1.txt", "model A, a star (10 vertices)", [] { return VertexTableBytes(MakeModelA()); }},
      {"lc2.txt", "model B, a diamond (8 vertices)", [] { return VertexTableBytes(MakeModelB()); }},
      {"lc3.txt", "model C, a word (18 vertices)", [] { return VertexTableBytes(MakeModelC()); }},
      {"tr.img", "overlay picture 0, the title", [] { return OverlayBytes(0); }},
      {"tr2.img", "overlay picture 1, the credits", [] { return OverlayBytes(1); }},
      {"tr3.img", "overlay picture 2, the grid size", [] { return OverlayBytes(2); }},
      {"img.txt", "tunnel, 63 frames in a loop", [] { return FrameFileBytes(MakeTunnelFrames()); }},
      {"hit.img", "starfield and flames, 143 frames",
       [] { return FrameFileBytes(MakeStarsAndFlamesFrames()); }},
      {"bl.img", "spinning cube, 138 frames", [] { return FrameFileBytes(MakeCubeFrames()); }},
  };
  for (const DataFile& file : files) {
    progress(std::string(file.name) + ": " + file.what);
    const std::string path = base + file.name;
    const std::string part = path + ".part";
    if (!WriteWhole(part, path, file.make(), error) || !MoveIntoPlace(part, path, error))
      return false;
  }

  progress("03.mp3: music, synthesizing");
  const std::vector<int16_t> music = MakeMusic();
  const size_t frames = music.size() / MusicChannels;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(frames) / MusicSampleRate);
  progress(std::string("03.mp3: music, encoding ") + seconds + " s at " +
           std::to_string(MusicKilobitsPerSecond) + " kbit/s");
  const std::string path = base + "03.mp3";
  const std::string part = path + ".part";
  std::string mp3Error;
  if (!WriteMp3(part, music.data(), frames, MusicChannels, MusicSampleRate, MusicKilobitsPerSecond,
                mp3Error)) {
    std::remove(part.c_str());
    error = "cannot write " + path + " (" + mp3Error + ")";
    return false;
  }
  return MoveIntoPlace(part, path, error);
}

}  // namespace cellshow::datagen
