#pragma once
// Parsing of the media command strings the show sends ("play data\03.mp3",
// "play data\03.mp3 from 7956" when it starts late, "stop data\03.mp3" when
// it plays again, "close all"). No allocation: the parsed name points into
// the command.
#include <cstddef>
#include <cstdint>

namespace cellshow {

enum class MediaVerb { Ignored, Play, Stop, CloseAll };

struct MediaCommand {
  MediaVerb verb = MediaVerb::Ignored;
  // Play and Stop: the file as written in the command (quotes removed), not
  // terminated.
  const char* name = nullptr;
  size_t nameLength = 0;
  // Play: where in the file it starts, in milliseconds ("from N").
  uint32_t fromMs = 0;
};

// Keywords are matched without regard to case and may be surrounded by any
// amount of blank space; "play" and "stop" take one file name, optionally in
// double quotes, and "play" then optionally "from" and a number of
// milliseconds below 2^32. Anything else, a null command included, is
// Ignored.
MediaCommand ParseMediaCommand(const char* command);

// True when two built-in file names are the same once backslashes and
// slashes are taken as one separator.
bool SameAssetName(const char* a, size_t aLength, const char* b, size_t bLength);

}  // namespace cellshow
