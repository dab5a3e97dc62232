#pragma once
// The show played headless, on the virtual clock, from start-up to its end
// (or the key): what `--record`, the exports and the tools that study the
// frames stand on. The one place where a headless run makes its Show.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/headless_sink.h"

namespace cellshow {

// What a headless run did.
struct HeadlessFigures {
  uint32_t ticks = 0;  // run from the start
  uint64_t presents = 0;
  uint64_t mediaCommands = 0;
  int exitCode = -1;  // -1 when the run was ended before the show's shutdown
};

// Where a headless run begins: the show's first tick, or a later one (the
// ticks before it run silently at start-up, show/playback.h). The sink sees
// the show's own tick numbers (start-up is tick `tick`, and the next tick
// tick + 1), or, renumbered, the start as tick 0, as if the show began there.
struct HeadlessStart {
  uint32_t tick = 0;
  bool renumbered = false;
};

// Plays the show from `dataDir` headless into `sink` (an unfinished run is
// not an error). keyAfter: the key is seen once this many ticks have run
// (from the start); -1 never. Returns the number the sink got for the last
// tick: the ticks run, from the first tick; `figures`, when given, gets the
// rest.
uint32_t PlayHeadless(const std::string& dataDir, int64_t keyAfter, HeadlessSink& sink,
                      HeadlessFigures* figures = nullptr, HeadlessStart start = {});

struct RecordSettings {
  std::string dataDir;  // the show's files
  std::string path;     // the recording to write
  int64_t keyAfter = -1;
  bool stats = false;      // the virtual clock's figures on stderr at the end
  uint32_t startTick = 0;  // --start: the ticks before it run silently, and
                           // the recording keeps the show's tick numbers
};

// `cellshow --record FILE`: the whole show headless into a recording.
// Returns the exit code; reports a recording that cannot be written on
// stderr.
int RunRecord(const RecordSettings& settings);

struct Record;
// The same run into memory, for tools that study the frames: the recording
// of the show from `dataDir` (keyAfter as for PlayHeadless), read back.
// False, with `error` set, if it cannot be made or read.
bool RecordWholeShow(const std::string& dataDir, int64_t keyAfter, std::vector<Record>& records,
                     std::string& error);

}  // namespace cellshow
