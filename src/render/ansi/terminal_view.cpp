#include "render/ansi/terminal_view.h"

namespace cellshow {
namespace {

TerminalSize NoticeNeeds(FitMode fit) {
  if (fit == FitMode::Never) return {ScreenWidth, ScreenHeight};
  return {ScaledMinColumns, ScaledMinRows};
}

}  // namespace

TerminalView::TerminalView(const TerminalCapabilities& capabilities, FitMode fit,
                           bool noticeOffersWindow)
    : fit_(fit),
      depth_(capabilities.colors),
      halfBlocks_(capabilities.glyphs == GlyphSet::Unicode),
      glyphs_(capabilities, NoticeNeeds(fit), noticeOffersWindow),
      grid_(capabilities),
      scaled_(std::make_unique<ScaledView>()),
      cells_(std::make_unique<RgbCell[]>(GridEncoder::MaxCells)) {}

void TerminalView::Invalidate() {
  glyphs_.Invalidate();
  grid_.Invalidate();
}

const FrameCost& TerminalView::lastFrame() const {
  return shown_ == Shown::Scaled ? grid_.lastFrame() : glyphs_.lastFrame();
}

TerminalView::Shown TerminalView::Choose(TerminalSize size) const {
  if (size.columns <= 0 || size.rows <= 0) return Shown::Nothing;
  const bool gridFits = size.columns >= ScreenWidth && size.rows >= ScreenHeight;
  const bool scaledFits = size.columns >= ScaledMinColumns && size.rows >= ScaledMinRows;
  switch (fit_) {
    case FitMode::Never:
      return gridFits ? Shown::Glyphs : Shown::Notice;
    case FitMode::Always:
      return scaledFits ? Shown::Scaled : Shown::Notice;
    case FitMode::Auto:
      break;
  }
  return gridFits ? Shown::Glyphs : scaledFits ? Shown::Scaled : Shown::Notice;
}

size_t TerminalView::Encode(const ScreenCells& screen, TerminalSize size, char* out) {
  const Shown next = Choose(size);
  // The encoder that takes over knows nothing of what the other drew.
  const bool scaledBefore = shown_ == Shown::Scaled;
  if (next == Shown::Scaled && !scaledBefore) grid_.Invalidate();
  if (next != Shown::Scaled && scaledBefore) glyphs_.Invalidate();
  shown_ = next;
  if (next != Shown::Scaled) {
    // The glyph encoder draws the notice itself when the grid does not fit.
    return glyphs_.Encode(screen, size, out);
  }
  const ScaledBox& box = scaled_->Fit(size.columns, size.rows, halfBlocks_);
  scaled_->Render(screen, depth_, cells_.get());
  return grid_.Encode(cells_.get(), {box.columns, box.rows, box.left, box.top}, size, out);
}

}  // namespace cellshow
