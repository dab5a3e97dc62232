#pragma once
// Carries out the show's media command strings with SDL2_mixer.
#include <string>

namespace cellshow {

class MusicPlayer {
 public:
  // Opens the audio device and loads the show's music ahead of time, so that
  // a later "play" only starts playback. Quiet on every failure: no device,
  // no driver, a missing or unplayable file. `mute` opens nothing.
  void Open(const std::string& dataDir, bool mute);
  // "play <file>" starts the loaded file; "close all" halts and closes
  // everything (safe to repeat). Anything else is ignored.
  void Command(const char* command);
};

}  // namespace cellshow
