#include "platform/audio/music.h"

namespace cellshow {

void MusicPlayer::Open(const std::string&, bool) {}
void MusicPlayer::Command(const char*) {}

}  // namespace cellshow
