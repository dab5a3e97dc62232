#pragma once
// Parsing of the media command strings the show sends ("play data\03.mp3",
// "close all"). No allocation: the parsed name points into the command.
#include <cstddef>

namespace cellshow {

enum class MediaVerb { Ignored, Play, CloseAll };

struct MediaCommand {
  MediaVerb verb = MediaVerb::Ignored;
  // Play: the file as written in the command (quotes removed), not terminated.
  const char* name = nullptr;
  size_t nameLength = 0;
};

// Keywords are matched without regard to case and may be surrounded by any
// amount of blank space; "play" takes one file name, optionally in double
// quotes. Anything else, a null command included, is Ignored.
MediaCommand ParseMediaCommand(const char* command);

// True when two built-in file names are the same once backslashes and
// slashes are taken as one separator.
bool SameAssetName(const char* a, size_t aLength, const char* b, size_t bLength);

}  // namespace cellshow
