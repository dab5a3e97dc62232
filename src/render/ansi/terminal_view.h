#pragma once
// What a terminal shows of each frame, by its size: the 80x50 grid of glyphs
// when it has room, the whole frame scaled into it when it is smaller (from
// 40x12 up), and a notice of the size needed below that. `--fit` moves the
// line: `always` scales at any size from 40x12 up, `never` keeps the notice
// below 80x50.
// A change of size switches at the next frame. Pure: no I/O, no allocation
// after construction.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/ansi/frame_encoder.h"
#include "render/ansi/grid_encoder.h"
#include "render/scaled/scaled_view.h"

namespace cellshow {

class TerminalView {
 public:
  static constexpr size_t MaxFrameBytes = FrameEncoder::MaxFrameBytes;
  static_assert(GridEncoder::MaxFrameBytes == MaxFrameBytes);

  enum class Shown : uint8_t { Nothing, Glyphs, Scaled, Notice };

  // The glyph grid and the scaled view are written for a terminal of
  // `capabilities`: the scaled view in its colour depth, as half blocks with
  // Unicode glyphs, one pixel per blank cell with ASCII. The notice offers
  // the window when `noticeOffersWindow`.
  TerminalView(const TerminalCapabilities& capabilities, FitMode fit,
               bool noticeOffersWindow = true);

  // Forgets what the terminal shows: the next frame is a full redraw.
  void Invalidate();

  // Writes into `out` (MaxFrameBytes of room) the bytes that bring a terminal
  // of `size` from what it shows now to `screen`. Returns the number of
  // bytes: 0 when it already shows exactly this.
  size_t Encode(const ScreenCells& screen, TerminalSize size, char* out);

  // What the last Encode call left on the terminal, and what it cost.
  Shown shown() const { return shown_; }
  const FrameCost& lastFrame() const;
  FitMode fit() const { return fit_; }

 private:
  Shown Choose(TerminalSize size) const;

  const FitMode fit_;
  const ColorDepth depth_;  // the scaled view's
  const bool halfBlocks_;
  FrameEncoder glyphs_;  // the glyph grid and the notice
  GridEncoder grid_;     // the scaled view's cells
  std::unique_ptr<ScaledView> scaled_;
  std::unique_ptr<RgbCell[]> cells_;  // the scaled view's last frame
  Shown shown_ = Shown::Nothing;
};

}  // namespace cellshow
