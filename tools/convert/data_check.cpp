#include "data_check.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "data_files.h"
#include "export/av_util.h"
#include "shell/assets.h"

namespace cellshow::convert {
namespace {

std::string Plural(long long n, const char* one) {
  return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
}

struct Verdict {
  bool complete;
  std::string text;
};

Verdict Missing(const DataFile& file) {
  switch (file.kind) {
    case DataKind::Animation:
      return {false, "missing: the scene shows the frame read last by another (black if none)"};
    case DataKind::Overlay:
      return {false, "missing: the picture draws nothing"};
    case DataKind::Model:
      return {false, "missing: every vertex is at 0, the model a dot"};
    case DataKind::Music:
      return {false, "missing: the show is silent"};
  }
  return {false, "missing"};
}

Verdict Animation(const DataFile& file, long long size) {
  const long long whole = size / FrameBytes, part = size % FrameBytes;
  std::string text = Plural(whole, "frame") + ", " + std::to_string(file.shown) + " shown";
  if (whole < file.shown) {
    text += ": short; the frames after the " + std::to_string(whole) +
            (whole == 0 ? "th show what the scene held before (black at first)"
                        : "th show the last one read again");
    if (part != 0)
      text += " (the cut frame " + std::to_string(whole + 1) + " draws only its first " +
              Plural(part / 2, "cell") + ")";
    return {false, text};
  }
  if (whole > file.frames)
    text += "; frames after the " + std::to_string(file.frames) + "th are never read";
  if (part != 0 && whole < file.frames) text += " (a cut frame at the end is read and not shown)";
  return {true, text + ": complete"};
}

Verdict Overlay(const std::vector<uint8_t>& bytes) {
  const size_t read = std::min<size_t>(bytes.size(), OverlayReadBytes);
  int drawn = 0;
  for (size_t i = 0; i + 1 < read; i += 2) drawn += bytes[i] != 32;
  std::string text = Plural(drawn, "cell") + " drawn of 640 in rows 32 to 39";
  if (bytes.size() < OverlayReadBytes)
    return {false, text + ": short (" + std::to_string(bytes.size()) +
                       " of 1280 bytes); the cells after are transparent"};
  return {true, text + ": complete"};
}

Verdict Model(const DataFile& file, const std::vector<uint8_t>& bytes) {
  const size_t need = static_cast<size_t>(file.vertices) * 12;
  const size_t whole = std::min(bytes.size(), need) / 12;
  int edges = 0;
  for (size_t v = 0; v + 1 < whole; v += 2)
    edges += std::memcmp(&bytes[v * 12], &bytes[(v + 1) * 12], 12) != 0;
  const std::string text =
      Plural(file.vertices / 2, "edge") + " read, " + std::to_string(edges) + " of some length";
  if (bytes.size() < need)
    return {false, text + ": short (" + std::to_string(bytes.size()) + " of " +
                       std::to_string(need) + " bytes); the coordinates after are 0"};
  return {true, text + ": complete"};
}

Verdict Music(const std::string& path) {
  av::InputPtr input;
  const int result = av::OpenInput(path, input);
  const int index =
      result < 0 ? -1 : av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return {false, "not sound FFmpeg reads: the show is silent"};
  const AVCodecParameters* p = input->streams[index]->codecpar;
  char text[128];
  std::snprintf(text, sizeof text, "%s, %.1f s, %d Hz, %d channels", avcodec_get_name(p->codec_id),
                input->duration > 0 ? static_cast<double>(input->duration) / AV_TIME_BASE : 0.0,
                p->sample_rate, p->ch_layout.nb_channels);
  if (p->codec_id != AV_CODEC_ID_MP3) return {false, std::string(text) + ": not MP3"};
  return {true, std::string(text) + ": complete"};
}

}  // namespace

int CheckDataFolder(const std::string& dir, std::FILE* out) {
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "cellshow-data: %s is not a folder\n", dir.c_str());
    return 1;
  }
  const std::string base = dir.back() == '/' ? dir : dir + "/";
  int incomplete = 0;
  for (const DataFile& file : DataFiles) {
    const std::string path = base + file.name;
    Verdict verdict;
    std::ifstream in(path, std::ios::binary);
    if (stat(path.c_str(), &st) != 0) {
      verdict = Missing(file);
    } else if (!in) {
      verdict = {false, "unreadable: the show reads nothing from it"};
    } else if (file.kind == DataKind::Music) {
      verdict = Music(path);
    } else {
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      verdict = file.kind == DataKind::Animation
                    ? Animation(file, static_cast<long long>(bytes.size()))
                : file.kind == DataKind::Overlay ? Overlay(bytes)
                                                 : Model(file, bytes);
    }
    incomplete += !verdict.complete;
    std::fprintf(out, "  %-8s %-38s %s\n", file.name, file.use, verdict.text.c_str());
  }
  if (incomplete == 0) {
    std::fprintf(out, "All ten files are complete.\n");
    return 0;
  }
  std::fprintf(out, "%s not complete; the show plays with what there is.\n",
               Plural(incomplete, "file").c_str());
  return 1;
}

}  // namespace cellshow::convert
