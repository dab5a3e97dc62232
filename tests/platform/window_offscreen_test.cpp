// The window under SDL's offscreen video driver (no X server): what it shows,
// read back, against the pixel model's image of the same tick, and what its
// events do.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/window/window_platform.h"
#include "show/show.h"
#include "support/offscreen_window.h"
#include "support/window_image.h"

namespace cellshow {
namespace {

using test::OffscreenWindow;

WindowSettings ShowOptions(int64_t keyAfter) {
  WindowSettings settings;
  settings.dataDir = CELLSHOW_BUILD_DIR "/data";
  settings.mute = true;
  settings.keyAfter = keyAfter;
  return settings;
}

class WindowOffscreen : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
#ifdef CELLSHOW_SANITIZED
    // Mesa's GL drivers leak and are unloaded before LeakSanitizer reports,
    // leaving stacks nothing can match: here SDL draws in software only.
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
#endif
  }
  void TearDown() override {
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_RENDER_DRIVER");
    unsetenv("SDL_FRAMEBUFFER_ACCELERATION");
  }

  static const std::vector<Record>& WholeShow() {
    static const std::vector<Record> records = test::RecordDefaultShow();
    return records;
  }
};

std::string Mismatch(WindowView& view, const ScreenCells& cells) {
  std::vector<uint8_t> rgba;
  PixelSize size;
  if (!view.ReadPixels(rgba, size)) return std::string("no read-back: ") + SDL_GetError();
  auto image = std::make_unique<PixelImage>();
  RenderCells(cells, *image);
  return test::ScaledImageMismatch({rgba.data(), size.width, size.height, 4}, view.content(),
                                   view.prescale(), *image);
}

// The show runs on its tick thread (fast) until a key is due after a known
// tick; the window then shows that tick's frame, at every window size.
TEST_F(WindowOffscreen, ShowsThePixelModelOfTheFrameAtAKnownTick) {
  for (const uint32_t tick : {300u, 1400u, 2201u}) {
    SCOPED_TRACE(testing::Message() << "tick " << tick);
    OffscreenWindow host(ShowOptions(tick), 1'000'000);
    std::string error;
    ASSERT_TRUE(host.Open(error)) << error;
    auto show = std::make_unique<Show>(host);
    StartUp(*show);
    while (host.KeyHit() == 0) {
    }
    ScreenCells cells;
    ASSERT_TRUE(test::FrameAt(WholeShow(), tick, cells));
    EXPECT_EQ(host.view().outputSize(), (PixelSize{640, 480}));
    EXPECT_EQ(Mismatch(host.view(), cells), "") << "renderer " << host.view().rendererName();
    // A frame from a tick before is told apart.
    ScreenCells earlier;
    ASSERT_TRUE(test::FrameAt(WholeShow(), tick - 3, earlier));
    EXPECT_NE(Mismatch(host.view(), earlier), "");
    SDL_Window* window = SDL_GetWindowFromID(host.view().windowId());
    ASSERT_NE(window, nullptr);
    const PixelSize sizes[] = {{1280, 960}, {1000, 700}, {700, 900}, {333, 250}, {1920, 1080}};
    for (const PixelSize size : sizes) {
      SDL_SetWindowSize(window, size.width, size.height);
      SDL_PumpEvents();
      SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
      EXPECT_EQ(Mismatch(host.view(), cells), "");
      EXPECT_EQ(host.view().outputSize(), size);
    }
    Shutdown(*show);
    EXPECT_EQ(host.exitCode, 0);
  }
}

SDL_Event Key(SDL_Keycode sym, SDL_Scancode code, uint16_t mod = KMOD_NONE) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = sym;
  event.key.keysym.scancode = code;
  event.key.keysym.mod = mod;
  return event;
}

SDL_Event OfType(uint32_t type) {
  SDL_Event event{};
  event.type = type;
  return event;
}

SDL_Event WindowEvent(uint8_t what) {
  SDL_Event event = OfType(SDL_WINDOWEVENT);
  event.window.event = what;
  return event;
}

TEST_F(WindowOffscreen, KeysClicksAndClosingEndTheShowButModifiersAndTogglesDoNot) {
  OffscreenWindow host(ShowOptions(-1));
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  SDL_Window* window = SDL_GetWindowFromID(host.view().windowId());
  const auto fullscreen = [&] { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; };
  ASSERT_FALSE(fullscreen());

  // Modifiers alone (the Alt of Alt+Enter) and locks go on.
  for (const auto& [sym, code] : {std::pair{SDLK_LALT, SDL_SCANCODE_LALT},
                                  {SDLK_RCTRL, SDL_SCANCODE_RCTRL},
                                  {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT},
                                  {SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK}})
    EXPECT_FALSE(host.HandleEvent(Key(sym, code))) << code;
  EXPECT_FALSE(fullscreen());

  // Alt+Enter and F11 toggle fullscreen, either way.
  EXPECT_FALSE(host.HandleEvent(Key(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT)));
  EXPECT_TRUE(fullscreen());
  EXPECT_FALSE(host.HandleEvent(Key(SDLK_F11, SDL_SCANCODE_F11)));
  EXPECT_FALSE(fullscreen());
  EXPECT_FALSE(host.HandleEvent(Key(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, KMOD_RALT)));
  EXPECT_TRUE(fullscreen());

  // Held keys repeat nothing; the window changing does nothing.
  SDL_Event held = Key(SDLK_a, SDL_SCANCODE_A);
  held.key.repeat = 1;
  EXPECT_FALSE(host.HandleEvent(held));
  EXPECT_FALSE(host.HandleEvent(WindowEvent(SDL_WINDOWEVENT_RESIZED)));
  EXPECT_FALSE(host.HandleEvent(WindowEvent(SDL_WINDOWEVENT_EXPOSED)));
  EXPECT_FALSE(host.HandleEvent(OfType(SDL_MOUSEMOTION)));
  EXPECT_FALSE(host.HandleEvent(OfType(SDL_KEYUP)));

  // Every other key, Enter alone included, a click and closing end the show.
  EXPECT_TRUE(host.HandleEvent(Key(SDLK_RETURN, SDL_SCANCODE_RETURN)));
  EXPECT_TRUE(host.HandleEvent(Key(SDLK_a, SDL_SCANCODE_A)));
  EXPECT_TRUE(host.HandleEvent(Key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE)));
  EXPECT_TRUE(host.HandleEvent(Key(SDLK_SPACE, SDL_SCANCODE_SPACE, KMOD_LSHIFT)));
  EXPECT_TRUE(host.HandleEvent(OfType(SDL_MOUSEBUTTONDOWN)));
  EXPECT_TRUE(host.HandleEvent(OfType(SDL_QUIT)));
  EXPECT_TRUE(host.HandleEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE)));
}

// A key pressed while the show runs ends it as in the terminal: the black
// frame is presented last, "close all" is sent, and the exit code is 0.
TEST_F(WindowOffscreen, AKeyEndsTheShowWithTheBlackFrameAndExitCode0) {
  OffscreenWindow host(ShowOptions(-1), 1'000'000);
  std::string error;
  ASSERT_TRUE(host.Open(error)) << error;
  auto show = std::make_unique<Show>(host);
  StartUp(*show);
  SDL_Event key = Key(SDLK_q, SDL_SCANCODE_Q);
  ASSERT_EQ(SDL_PushEvent(&key), 1);
  while (host.KeyHit() == 0) {
  }
  Shutdown(*show);
  EXPECT_EQ(host.exitCode, 0);
  const WindowFrameStats frames = host.FrameStats();
  EXPECT_GE(frames.presented, 1u);  // the black frame at least
  EXPECT_EQ(frames.presented, frames.drawn + frames.skipped);
}

}  // namespace
}  // namespace cellshow
