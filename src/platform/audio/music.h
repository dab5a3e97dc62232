#pragma once
// Carries out the show's media command strings with SDL2_mixer.
//
// Open (start-up, main thread) opens the audio device and loads the show's
// music; the device then plays silence until the play. A command never waits
// for the device: it is queued for a small control thread, woken through an
// eventfd, which makes the SDL_mixer calls (they take the device lock).
// "close all" is the exception: it waits, boundedly, until everything is shut.
#include <cstddef>
#include <memory>
#include <string>

namespace cellshow {

class MusicPlayer {
 public:
  enum class Status {
    NotOpened,  // Open has not run
    Muted,      // opened with mute: nothing is played
    NoDevice,   // no driver, device or sound server: commands do nothing
    Ready,      // the device runs; the show's music is loaded unless missing
    Closed,     // after "close all"
  };

  MusicPlayer();
  ~MusicPlayer();  // closes everything, as "close all" does
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Opens the audio device and loads the show's music (the file of the show's
  // play command, found in dataDir) ahead of time, so that a later "play" only
  // starts playback. Quiet on every failure: no device, no driver, a missing
  // or unplayable file. `mute` opens nothing. Runs once; later calls do
  // nothing. Only one player in a process has the device at a time.
  void Open(const std::string& dataDir, bool mute);
  // "play <file>" starts the loaded file (another file is loaded first, on the
  // control thread), "play <file> from <ms>" that far in; "stop <file>" halts
  // what plays; "close all" halts and closes everything (safe to repeat).
  // Anything else is ignored. Plays and stops take no lock and allocate
  // nothing.
  void Command(const char* command);

  // Music files up to this size are decoded into memory at load; larger ones
  // are streamed. Set before Open.
  static constexpr size_t DefaultPreloadLimit = size_t{4} << 20;
  void setPreloadLimit(size_t bytes);
  // The music's volume, 0 to 100 (the file as it is). Set before Open.
  void setVolume(int percent);

  Status status() const;
  // True while the show's music is loaded and can start at once.
  bool musicLoaded() const;
  // With NoDevice, the line that says so for stderr, with the sound
  // system's reason ("" in every other state, muted included).
  std::string NoSoundLine() const;

 private:
  struct Impl;
  void CloseAll();
  std::unique_ptr<Impl> impl_;
};

}  // namespace cellshow
