// The entry points that parse a file or a command line whole.
#include <string>
#include <vector>

#include "app/options.h"
#include "export/audio_track.h"
#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "platform/headless/recording.h"
#include "psf_font.h"

namespace cellshow::fuzz {

int FuzzOptions(const uint8_t* data, size_t size) {
  // NUL-separated arguments after the program's name.
  constexpr size_t MaxArguments = 64;
  std::vector<std::string> words{"cellshow"};
  std::string word;
  for (size_t i = 0; i < size && words.size() < MaxArguments; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (words.size() < MaxArguments) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  Options options;
  std::string error;
  ParseOptions(static_cast<int>(words.size()), argv.data(), options, error);
  for (const std::string& w : words) TickAtSeconds(w);
  return 0;
}

int FuzzConsoleFont(const uint8_t* data, size_t size) {
  font::PsfFont psf;
  std::string error;
  if (font::DecodePsf(std::vector<uint8_t>(data, data + size), psf, error)) {
    psf.OwnGlyph(U'A');
    psf.AnyGlyph(0x2588);
  }
  return 0;
}

int FuzzRecording(const uint8_t* data, size_t size) {
  std::vector<Record> records;
  std::string error;
  if (ParseRecording(std::vector<uint8_t>(data, data + size), records, error)) {
    static ScreenCells cells;
    FrameAt(records, 1296, cells);
  }
  return 0;
}

int FuzzMp3Header(const uint8_t* data, size_t size) {
  Mp3DecoderDelay(data, size);
  return 0;
}

}  // namespace cellshow::fuzz
