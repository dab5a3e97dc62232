#pragma once
// The window and what it shows (SDL2 video): the pixel model's image of the
// newest frame in one streaming texture, scaled to 4:3 as window_geometry.h
// describes, presented with vsync. Main thread only; SDL's video must have
// been started.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/window_geometry.h"
#include "render/pixels/cell_image.h"
#include "shell/screen.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace cellshow {

class WindowView {
 public:
  WindowView();
  ~WindowView();  // closes
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  // Without a window manager nobody gives a window the whole screen: the
  // view then makes itself fullscreen, a borderless window that covers the
  // display, and a window again (X11). Before Open.
  void SetFullscreenByHand(bool byHand) { byHand_ = byHand; }
  // Makes the window, hidden, titled "cellshow": the largest whole step of
  // 640x480 that fits the display (below 640x480, the largest 4:3 size),
  // centred, or the desktop's size when `fullscreen`; then its renderer and
  // textures. On failure, `error` says why.
  bool Open(bool fullscreen, std::string& error);
  void Show();
  // Once a window manager has framed the window (it tells the frame's size
  // some time after the show), a window that the frame would push off the
  // usable area takes the size that fits with it, by Open's rule. Called on
  // the window's events; does its work once.
  void FitFrame();
  // Destroys the window and what belongs to it. Safe to repeat.
  void Close();

  // Renders `cells`, uploads them and presents. False when the window can no
  // longer be drawn (the show then ends).
  bool Draw(const ScreenCells& cells);
  // Presents the last image again (after a resize or an expose).
  bool Redraw();
  void ToggleFullscreen();
  bool fullscreen() const;

  // What the next present shows, read back from the renderer: RGBA bytes,
  // row-major, `size` pixels. For tests.
  bool ReadPixels(std::vector<uint8_t>& rgba, PixelSize& size);
  // The renderer's output size and the content's place in it, as last drawn.
  PixelSize outputSize() const { return output_; }
  PixelRect content() const { return content_; }
  PixelSize prescale() const { return prescale_; }
  uint32_t windowId() const;
  const char* rendererName() const { return rendererName_; }

 private:
  bool Upload();
  bool Compose();
  bool EnsurePrescaled();

  bool byHand_ = false;    // fullscreen made by the view itself
  bool handFull_ = false;  // ... and it is on
  PixelRect windowed_;     // where the window was before
  bool framed_ = false;    // the window manager's frame was taken into account
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* image_ = nullptr;      // 640x400, streaming, nearest
  SDL_Texture* prescaled_ = nullptr;  // whole multiples of 640x400, linear
  bool prescaledStale_ = true;        // prescaled_ does not hold image_ yet
  int maxTextureSide_ = 0;
  const char* rendererName_ = "";
  PixelSize output_;
  PixelRect content_;
  PixelSize prescale_;
  std::unique_ptr<PixelImage> pixels_;
};

}  // namespace cellshow
