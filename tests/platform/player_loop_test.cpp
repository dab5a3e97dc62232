// --loop where a user sees it: the real program in a terminal, and the window
// in-process on fast ticks.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "platform/window/window_platform.h"
#include "show/show.h"
#include "support/offscreen_window.h"
#include "support/pty_child.h"
#include "support/show_binary.h"
#include "support/show_recording.h"
#include "support/window_image.h"

namespace cellshow {
namespace {

// Guards against a loop that stops at the show's end (or a show that goes on
// without --loop): started at 63.5 s (tick 3735) the end comes with the 38th
// tick played, the plasma's first frame three ticks later.
TEST(PlayerLoop, InATerminalTheShowGoesOnPastItsEndUntilTheKey) {
  for (const bool loop : {true, false}) {
    SCOPED_TRACE(loop ? "--loop" : "once");
    test::PtyChild::Setup setup;
    setup.args = {
        "--data", CELLSHOW_BUILD_DIR "/data", "--mute", "--stats", "--start", "63.5", "--key-after",
        "120"};
    if (loop) setup.args.push_back("--loop");
    test::PtyChild show(test::ShowBinary(), setup);
    ASSERT_TRUE(show.WaitExit(20000));
    EXPECT_TRUE(WIFEXITED(show.status()) && WEXITSTATUS(show.status()) == 0) << show.status();
    const std::string& out = show.output();
    const size_t at = out.find("ticks run");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(std::strtol(out.c_str() + at + 9, nullptr, 10), loop ? 120 : 38) << out;
    // The closing scene is black; only the plasma after it writes glyphs
    // (UTF-8, bytes from 0x80).
    const auto glyphBytes = std::count_if(out.begin(), out.end(), [](char c) { return c & 0x80; });
    EXPECT_TRUE(loop ? glyphBytes > 1000 : glyphBytes == 0) << glyphBytes << " glyph bytes";
  }
}

// Guards against a second or third pass that differs from the first or skips
// presents: every present of two passes is drawn, and the window shows the
// third pass's frame.
TEST(PlayerLoop, InTheWindowEveryPassIsTheFirst) {
  // Software alone: Mesa's GL drivers leak and are unloaded before
  // LeakSanitizer reports, leaving stacks nothing can match.
  const std::pair<const char*, const char*> environment[] = {{"SDL_VIDEODRIVER", "offscreen"},
                                                             {"SDL_RENDER_DRIVER", "software"},
                                                             {"SDL_FRAMEBUFFER_ACCELERATION", "0"}};
  for (const auto& [name, value] : environment) setenv(name, value, 1);
  constexpr uint32_t Third = 300;  // ticks of the third pass before the key
  WindowSettings settings;
  settings.dataDir = CELLSHOW_BUILD_DIR "/data";
  settings.mute = true;
  settings.keyAfter = 2 * ShowTicks + Third;
  test::OffscreenWindow host(settings, 1'000'000);
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  auto show = std::make_unique<Show>(host);
  show->play.Loop = true;
  StartUp(*show);
  while (host.KeyHit() == 0) {
  }
  const std::vector<Record> once = test::RecordDefaultShow();
  size_t pass = 0, third = 0;  // presents in a pass (the shutdown's aside), and up to Third
  for (const Record& r : once) {
    pass += r.kind == PresentRecord && r.tick < ShowTicks;
    third += r.kind == PresentRecord && r.tick <= Third;
  }
  const WindowFrameStats frames = host.FrameStats();
  EXPECT_EQ(frames.presented, 2 * pass + third);
  EXPECT_EQ(frames.presented, frames.drawn + frames.skipped);
  ScreenCells cells;
  ASSERT_TRUE(test::FrameAt(once, Third, cells));
  std::vector<uint8_t> rgba;
  PixelSize size;
  ASSERT_TRUE(host.view().ReadPixels(rgba, size));
  auto image = std::make_unique<PixelImage>();
  RenderCells(cells, *image);
  EXPECT_EQ(test::ScaledImageMismatch({rgba.data(), size.width, size.height, 4},
                                      host.view().content(), host.view().prescale(), *image),
            "");
  Shutdown(*show);
  EXPECT_EQ(host.exitCode, 0);
  for (const auto& [name, value] : environment) unsetenv(name);
}

}  // namespace
}  // namespace cellshow
