// --loop where a user sees it. In a terminal (the real program on a pty):
// started near the end, the show goes past its end into the plasma again
// and plays until the key, where without --loop it ends by itself. In the
// window (in-process, on fast ticks): twice through and on, every present
// of both passes drawn, and the window shows the third pass's frame.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/window/window_platform.h"
#include "show/show.h"
#include "support/offscreen_window.h"
#include "support/pty_child.h"
#include "support/show_binary.h"
#include "support/show_recording.h"
#include "support/window_image.h"

namespace cellshow {
namespace {

// The number after `label` in a --stats report; -1 when absent.
long Figure(const std::string& report, const std::string& label) {
  const size_t at = report.find(label);
  return at == std::string::npos ? -1
                                 : std::strtol(report.c_str() + at + label.size(), nullptr, 10);
}

TEST(PlayerLoop, InATerminalTheShowGoesOnPastItsEndUntilTheKey) {
  // --start 63.5: tick 3735; the end comes with the 38th tick played, the
  // plasma's first frame three ticks later.
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
    EXPECT_EQ(Figure(out, "ticks run"), loop ? 120 : 38) << out;
    // The closing scene is black; only the plasma after it writes glyphs
    // (UTF-8, bytes from 0x80).
    size_t glyphBytes = 0;
    for (char c : out) glyphBytes += static_cast<unsigned char>(c) >= 0x80;
    if (loop) {
      EXPECT_GT(glyphBytes, 1000u);
    } else {
      EXPECT_EQ(glyphBytes, 0u);
    }
  }
}

using test::OffscreenWindow;

TEST(PlayerLoop, InTheWindowEveryPassIsTheFirst) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // Software alone: Mesa's GL drivers leak and are unloaded before
  // LeakSanitizer reports, leaving stacks nothing can match.
  setenv("SDL_RENDER_DRIVER", "software", 1);
  setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
  constexpr uint32_t Third = 300;  // ticks of the third pass before the key
  WindowSettings settings;
  settings.dataDir = CELLSHOW_BUILD_DIR "/data";
  settings.mute = true;
  settings.keyAfter = 2 * ShowTicks + Third;
  OffscreenWindow host(settings, 1'000'000);
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
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("SDL_RENDER_DRIVER");
  unsetenv("SDL_FRAMEBUFFER_ACCELERATION");
}

}  // namespace
}  // namespace cellshow
