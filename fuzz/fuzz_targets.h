#pragma once
// Every place where bytes from outside reach cellshow, as one entry point
// each that takes the bytes whole. The fuzzers (one per entry, fuzz_main.cpp)
// and the regression test (tests/fuzz) call the same functions, so a crash
// found once stays fixed in every build.
#include <cstddef>
#include <cstdint>

namespace cellshow::fuzz {

using Entry = int (*)(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // also the folder of its seeds (fuzz/corpus/NAME) and kept crashes
  Entry entry;
};

int FuzzOptions(const uint8_t* data, size_t size);       // the command line
int FuzzConsoleFont(const uint8_t* data, size_t size);   // PSF1/PSF2, plain or gzip
int FuzzRecording(const uint8_t* data, size_t size);     // --record's file format
int FuzzMp3Header(const uint8_t* data, size_t size);     // the exports' encoder delay
int FuzzShowData(const uint8_t* data, size_t size);      // the show on nine data files
int FuzzTerminalView(const uint8_t* data, size_t size);  // both encoders, any grid and size
int FuzzAnsiArt(const uint8_t* data, size_t size);       // .ANS, .BIN, .XB, SAUCE
int FuzzPicture(const uint8_t* data, size_t size);       // a picture's size, fit and cells
int FuzzObjModel(const uint8_t* data, size_t size);      // Wavefront OBJ models
int FuzzSshViewer(const uint8_t* data, size_t size);     // what an SSH viewer asks for and types

inline constexpr Target Targets[] = {
    {"options", FuzzOptions},     {"console_font", FuzzConsoleFont},
    {"recording", FuzzRecording}, {"mp3_header", FuzzMp3Header},
    {"show_data", FuzzShowData},  {"terminal_view", FuzzTerminalView},
    {"ansi_art", FuzzAnsiArt},    {"picture", FuzzPicture},
    {"obj_model", FuzzObjModel},  {"ssh_viewer", FuzzSshViewer},
};

}  // namespace cellshow::fuzz
