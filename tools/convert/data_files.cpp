#include "data_files.h"

#include "convert_command.h"

namespace cellshow::convert {

const DataFile* FindDataFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (const DataFile& file : DataFiles)
    if (name == file.name) return &file;
  return nullptr;
}

std::string DataFileNames() {
  std::string names;
  constexpr size_t Count = std::size(DataFiles);
  for (size_t i = 0; i < Count; ++i)
    names += std::string(i == 0 ? "" : i + 1 == Count ? " or " : ", ") + DataFiles[i].name;
  return names;
}

const char* const ConvertUsage =
    "Usage: cellshow-data convert [OPTIONS] SRC DEST\n"
    "Makes one of the show's files from your own material; DEST's name says which:\n"
    "  img.txt, hit.img, bl.img   animations: 63 frames 34 ms apart (looped), 142\n"
    "                             34 ms apart, 137 17 ms apart, taken by time from a\n"
    "                             video (a shorter one loops), a still picture or\n"
    "                             ANSI art (taller art scrolls up a row a frame)\n"
    "  tr.img, tr2.img, tr3.img   overlay pictures, the 80x8 cells laid over the\n"
    "                             plasma's rows 32 to 39, from a picture (transparent\n"
    "                             pixels stay transparent) or ANSI art\n"
    "  03.mp3                     the music, from any sound or a video's sound track\n"
    "  lc1.txt, lc2.txt, lc3.txt  wireframe models of up to 5, 4 and 9 edges, from a\n"
    "                             Wavefront OBJ's lines and faces\n"
    "SRC is a picture or video FFmpeg's libraries read (PNG, JPEG, GIF, WebP, MP4,\n"
    "WebM, ...; up to 16384 pixels on a side and 50 megapixels), a sound, ANSI art\n"
    "(.ans, .bin, .xb, 80 columns wide) or an .obj model. Pictures are fitted to\n"
    "the 4:3 screen and each 8x8 block becomes the glyph and two colours that look\n"
    "closest to it.\n"
    "Options:\n"
    "  --start SECONDS    begin at this moment of a video or sound\n"
    "  --fit=MODE         contain (default: all of the picture, black bars),\n"
    "                     cover (the screen filled, the picture cut) or stretch\n"
    "  --row N            the first row of ANSI art shown (default 0)\n"
    "  -h, --help         show this help and exit\n"
    "DEST is written whole or not at all; on failure it is left as it was.\n"
    "Exit status: 0 done, 1 SRC could not be converted or DEST written, 2 bad\n"
    "command line.\n";

}  // namespace cellshow::convert
