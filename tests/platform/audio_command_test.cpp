#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/audio/media_command.h"
#include "shell/assets.h"
#include "show/playback.h"

namespace cellshow {
namespace {

struct ParseCase {
  const char* command;
  MediaVerb verb;
  const char* name;  // for plays and stops
  uint32_t fromMs = 0;
};

TEST(MediaCommandTest, ParsesPlayStopAndCloseAllAndIgnoresTheRest) {
  const ParseCase cases[] = {
      {"play data\\03.mp3", MediaVerb::Play, "data\\03.mp3"},
      {"PLAY data/03.mp3", MediaVerb::Play, "data/03.mp3"},
      {"  play \t data\\03.mp3  ", MediaVerb::Play, "data\\03.mp3"},
      {"play \"data\\my song.mp3\"", MediaVerb::Play, "data\\my song.mp3"},
      {"close all", MediaVerb::CloseAll, nullptr},
      {"Close  ALL ", MediaVerb::CloseAll, nullptr},
      {"play", MediaVerb::Ignored, nullptr},
      {"play   ", MediaVerb::Ignored, nullptr},
      {"play \"\"", MediaVerb::Ignored, nullptr},
      {"play \"data\\03.mp3", MediaVerb::Ignored, nullptr},
      {"play data\\03.mp3 from 0", MediaVerb::Play, "data\\03.mp3", 0},
      {"play data\\03.mp3 from 7956", MediaVerb::Play, "data\\03.mp3", 7956},
      {"Play \"a b.mp3\"  FROM  4294967295 ", MediaVerb::Play, "a b.mp3", 4294967295u},
      {"play data\\03.mp3 from 4294967296", MediaVerb::Ignored, nullptr},
      {"play data\\03.mp3 from", MediaVerb::Ignored, nullptr},
      {"play data\\03.mp3 from -1", MediaVerb::Ignored, nullptr},
      {"play data\\03.mp3 from 12 to 20", MediaVerb::Ignored, nullptr},
      {"play data\\03.mp3 repeat", MediaVerb::Ignored, nullptr},
      {"playdata\\03.mp3", MediaVerb::Ignored, nullptr},
      {"close", MediaVerb::Ignored, nullptr},
      {"close alls", MediaVerb::Ignored, nullptr},
      {"close all now", MediaVerb::Ignored, nullptr},
      {"stop data\\03.mp3", MediaVerb::Stop, "data\\03.mp3"},
      {"stop", MediaVerb::Ignored, nullptr},
      {"stop data\\03.mp3 from 5", MediaVerb::Ignored, nullptr},
      {"", MediaVerb::Ignored, nullptr},
      {nullptr, MediaVerb::Ignored, nullptr},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.command != nullptr ? c.command : "(null)");
    const MediaCommand parsed = ParseMediaCommand(c.command);
    EXPECT_EQ(parsed.verb, c.verb);
    if (c.name != nullptr) {
      EXPECT_EQ(std::string(parsed.name, parsed.nameLength), c.name);
      EXPECT_EQ(parsed.fromMs, c.fromMs);
    }
  }
}

TEST(MediaCommandTest, TheShowsCommandsAreUnderstood) {
  EXPECT_EQ(ParseMediaCommand(PlayMusicCommand).verb, MediaVerb::Play);
  EXPECT_EQ(ParseMediaCommand(CloseAllCommand).verb, MediaVerb::CloseAll);
  EXPECT_EQ(ParseMediaCommand(StopMusicCommand).verb, MediaVerb::Stop);
}

TEST(MediaCommandTest, NamesMatchAcrossSeparators) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"data\\03.mp3", "data\\03.mp3", true},  {"data\\03.mp3", "data/03.mp3", true},
      {"data\\03.mp3", "data\\03.MP3", false}, {"data\\03.mp3", "data\\04.mp3", false},
      {"data\\03.mp3", "data\\03.mp", false},  {"data\\03.mp3", "datax03.mp3", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(SameAssetName(c.a, std::strlen(c.a), c.b, std::strlen(c.b)), c.same);
  }
}

}  // namespace
}  // namespace cellshow
