#pragma once
// The ten files of a show's data folder as the show uses them: what each
// holds, how much of it the script reads and shows, and at what cadence.
#include <string>

namespace cellshow::convert {

enum class DataKind { Animation, Overlay, Model, Music };

struct DataFile {
  const char* name;
  DataKind kind;
  const char* use;  // where the show uses it
  // Animations: the frames the script reads in one run (the file holds
  // that many), of which it shows `shown`, one every `cadenceMs`.
  int frames = 0, shown = 0, cadenceMs = 0;
  bool loops = false;  // the scene plays the file again from its start
  int vertices = 0;    // models: vertices read (two to an edge)
};

inline constexpr DataFile DataFiles[] = {
    {"img.txt", DataKind::Animation, "scene 1, looped", 63, 63, 34, true},
    {"hit.img", DataKind::Animation, "scene 3", 143, 142, 34},
    {"bl.img", DataKind::Animation, "scene 4", 138, 137, 17},
    {"tr.img", DataKind::Overlay, "the plasma's first picture"},
    {"tr2.img", DataKind::Overlay, "the plasma's last picture"},
    {"tr3.img", DataKind::Overlay, "the plasma's middle picture"},
    {"lc1.txt", DataKind::Model, "scene 6, the orbiting model", 0, 0, 0, false, 10},
    {"lc2.txt", DataKind::Model, "scene 6, the spinning model", 0, 0, 0, false, 8},
    {"lc3.txt", DataKind::Model, "scene 8", 0, 0, 0, false, 18},
    {"03.mp3", DataKind::Music, "the music, from the end of the plasma"},
};

// The entry for a file name (the last part of a path), or nullptr.
const DataFile* FindDataFile(const std::string& path);
// "img.txt, hit.img, ... or 03.mp3".
std::string DataFileNames();

}  // namespace cellshow::convert
