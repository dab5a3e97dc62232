#include "platform/window/window_view.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace cellshow {
namespace {

// Image rows are uploaded one by one: the texture's rows may be longer.
constexpr int ImageRowBytes = ImageWidth * 4;

// The current GL context rasterizes on the CPU (Mesa without a GPU: a
// virtual machine, Xvfb). There SDL's software renderer draws the same
// frames for about a third of the CPU time (measured under Xvfb).
bool GlDrawsOnTheCpu() {
  using GetString = const unsigned char* (*)(unsigned);
  constexpr unsigned GlRenderer = 0x1F01;
  if (SDL_GL_GetCurrentContext() == nullptr) return false;
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (getString == nullptr) return false;
  const auto* name = reinterpret_cast<const char*>(getString(GlRenderer));
  return name != nullptr && (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") ||
                             std::strstr(name, "swrast"));
}

}  // namespace

WindowView::WindowView() : pixels_(std::make_unique<PixelImage>()) {}

WindowView::~WindowView() { Close(); }

void WindowView::Close() {
  if (prescaled_) SDL_DestroyTexture(prescaled_);
  if (image_) SDL_DestroyTexture(image_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  prescaled_ = image_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
}

bool WindowView::Open(bool fullscreen, std::string& error) {
  SDL_Rect usable{0, 0, 640, 480};
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = {0, 0, 640, 480};
  const PixelSize size = InitialWindowSize({usable.w, usable.h});
  const int x = usable.x + (usable.w > size.width ? (usable.w - size.width) / 2 : 0);
  const int y = usable.y + (usable.h > size.height ? (usable.h - size.height) / 2 : 0);
  uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  windowed_ = {x, y, size.width, size.height};
  SDL_Rect place{x, y, size.width, size.height};
  if (fullscreen && byHand_) {
    if (SDL_GetDisplayBounds(0, &place) != 0) place = {x, y, size.width, size.height};
    flags |= SDL_WINDOW_BORDERLESS;
    handFull_ = true;
  } else if (fullscreen) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  }
  window_ = SDL_CreateWindow("cellshow", place.x, place.y, place.w, place.h, flags);
  if (window_ == nullptr) {
    error = std::string("cannot make the window: ") + SDL_GetError();
    return false;
  }
  SDL_SetWindowMinimumSize(window_, std::min(320, size.width), std::min(240, size.height));

  // Vsync where the renderer can; a software renderer where nothing else is.
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "1");
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
  if (renderer_ != nullptr && SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr && GlDrawsOnTheCpu()) {
    SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
  }
  if (renderer_ == nullptr) {
    // Straight to the window's own buffer, not through another renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (renderer_ == nullptr) {
    error = std::string("cannot draw in the window: ") + SDL_GetError();
    Close();
    return false;
  }
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer_, &info) == 0) {
    maxTextureSide_ = std::min(info.max_texture_width, info.max_texture_height);
    rendererName_ = info.name;
  }
  image_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING,
                             ImageWidth, ImageHeight);
  if (image_ == nullptr) {
    error = std::string("cannot make the window's texture: ") + SDL_GetError();
    Close();
    return false;
  }
  SDL_SetTextureScaleMode(image_, SDL_ScaleModeNearest);
  std::memset(pixels_->pixels, 0, sizeof pixels_->pixels);
  return Upload();
}

void WindowView::Show() {
  if (window_ == nullptr) return;
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  FitFrame();
}

void WindowView::FitFrame() {
  int top = 0, left = 0, bottom = 0, right = 0;
  if (framed_ || window_ == nullptr || fullscreen() ||
      SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0 ||
      top + left + bottom + right == 0)
    return;
  framed_ = true;
  const int display = SDL_GetWindowDisplayIndex(window_);
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(display < 0 ? 0 : display, &usable) != 0) return;
  const PixelSize room{usable.w - left - right, usable.h - top - bottom};
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  if ((width <= room.width && height <= room.height) || room.width <= 0 || room.height <= 0) return;
  const PixelSize size = LargestFourByThree(room);
  SDL_SetWindowSize(window_, size.width, size.height);
  SDL_SetWindowPosition(window_, usable.x + left + (room.width - size.width) / 2,
                        usable.y + top + (room.height - size.height) / 2);
}

uint32_t WindowView::windowId() const { return window_ ? SDL_GetWindowID(window_) : 0; }

bool WindowView::Draw(const ScreenCells& cells) {
  RenderCells(cells, *pixels_);
  if (!Upload()) return false;
  prescaledStale_ = true;
  if (!Compose()) return false;
  SDL_RenderPresent(renderer_);
  return true;
}

bool WindowView::Redraw() {
  // Target textures may have lost their contents (a resize, a device reset).
  prescaledStale_ = true;
  if (!Compose()) return false;
  SDL_RenderPresent(renderer_);
  return true;
}

void WindowView::ToggleFullscreen() {
  if (window_ == nullptr) return;
  if (!byHand_) {
    SDL_SetWindowFullscreen(window_, fullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    return;
  }
  // The window takes the display's bounds and gives them back; the size it
  // really has then comes as a size change, and the next draw lays the
  // picture out for it.
  SDL_Rect to{windowed_.x, windowed_.y, windowed_.width, windowed_.height};
  if (!handFull_) {
    SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
    SDL_GetWindowSize(window_, &windowed_.width, &windowed_.height);
    const int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &to) != 0) return;
  }
  handFull_ = !handFull_;
  SDL_SetWindowBordered(window_, handFull_ ? SDL_FALSE : SDL_TRUE);
  SDL_SetWindowSize(window_, to.w, to.h);
  SDL_SetWindowPosition(window_, to.x, to.y);
}

bool WindowView::fullscreen() const {
  if (byHand_) return handFull_;
  return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
}

bool WindowView::Upload() {
  void* target = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(image_, nullptr, &target, &pitch) != 0) return false;
  auto* rows = static_cast<uint8_t*>(target);
  for (int y = 0; y < ImageHeight; ++y)
    std::memcpy(rows + static_cast<size_t>(y) * pitch, &pixels_->pixels[y * ImageWidth],
                ImageRowBytes);
  SDL_UnlockTexture(image_);
  return true;
}

bool WindowView::EnsurePrescaled() {
  const PixelSize factors = PrescaleFactors(content_, maxTextureSide_);
  if (prescaled_ && factors == prescale_) return true;
  if (prescaled_) SDL_DestroyTexture(prescaled_);
  prescaled_ = nullptr;
  prescale_ = factors;
  if (!SDL_RenderTargetSupported(renderer_)) return true;  // linear from the image alone
  prescaled_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                 ImageWidth * factors.width, ImageHeight * factors.height);
  if (prescaled_ == nullptr) return false;
  SDL_SetTextureScaleMode(prescaled_, SDL_ScaleModeLinear);
  prescaledStale_ = true;
  return true;
}

bool WindowView::Compose() {
  int width = 0, height = 0;
  if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0) return false;
  output_ = {width, height};
  content_ = ContentRect(output_);
  if (!EnsurePrescaled()) return false;
  SDL_Texture* source = image_;
  if (prescaled_) {
    if (prescaledStale_) {
      if (SDL_SetRenderTarget(renderer_, prescaled_) != 0) return false;
      SDL_RenderCopy(renderer_, image_, nullptr, nullptr);
      SDL_SetRenderTarget(renderer_, nullptr);
      prescaledStale_ = false;
    }
    source = prescaled_;
  } else {
    SDL_SetTextureScaleMode(image_, SDL_ScaleModeLinear);
  }
  // Black bars beside or above and below the content; the content covers
  // the rest (clearing it all too costs a software renderer a tenth).
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  const SDL_Rect bars[2] = {
      {0, 0, content_.x > 0 ? content_.x : output_.width,
       content_.x > 0 ? output_.height : content_.y},
      content_.x > 0 ? SDL_Rect{content_.x + content_.width, 0,
                                output_.width - content_.x - content_.width, output_.height}
                     : SDL_Rect{0, content_.y + content_.height, output_.width,
                                output_.height - content_.y - content_.height}};
  SDL_RenderFillRects(renderer_, bars, 2);
  const SDL_Rect place{content_.x, content_.y, content_.width, content_.height};
  return SDL_RenderCopy(renderer_, source, nullptr, &place) == 0;
}

bool WindowView::ReadPixels(std::vector<uint8_t>& rgba, PixelSize& size) {
  if (renderer_ == nullptr || !Compose()) return false;
  size = output_;
  rgba.resize(static_cast<size_t>(size.width) * size.height * 4);
  return SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGBA32, rgba.data(),
                              size.width * 4) == 0;
}

}  // namespace cellshow
