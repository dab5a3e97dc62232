#include "viewer_rig.h"

#include <algorithm>
#include <vector>

#include "render/scaled/scaled_view.h"
#include "support/show_recording.h"
#include "support/vterm_colour_grid.h"
#include "support/vterm_grid.h"

namespace cellshow::test {

ViewerRig::ViewerRig()
    : scratch(new char[TerminalView::MaxFrameBytes]),
      logs(reel, scratch.get()),
      shared{reel, &logs, types, scratch.get(), figures},
      alone{reel, nullptr, types, scratch.get(), figures} {
  std::vector<uint32_t> ticks;
  std::vector<const ScreenCells*> frames;
  for (const auto& frame : DefaultShowFrames()) {
    ticks.push_back(frame->tick);
    frames.push_back(&frame->cells);
  }
  if (!ticks.empty()) reel.Assign(ticks, frames, ticks.back() + 1);
}

std::string FrameMismatch(const VtermScreen& terminal, const ScreenCells& cells,
                          const TerminalKind& kind) {
  const auto [columns, rows] = kind.size;
  if (columns >= ScreenWidth && rows >= ScreenHeight)
    return GridMismatch(terminal, cells, kind.capabilities);
  auto view = std::make_unique<ScaledView>();
  const ScaledBox& box = view->Fit(columns, rows, kind.capabilities.glyphs == GlyphSet::Unicode);
  std::vector<RgbCell> expected(static_cast<size_t>(box.columns * box.rows));
  view->Render(cells, kind.capabilities.colors, expected.data());
  return ColourGridMismatch(terminal, expected.data(), {box.columns, box.rows, box.left, box.top},
                            kind.capabilities);
}

size_t Pump(Viewer& viewer, int64_t nowNs, Sent& sent, size_t room) {
  size_t taken = 0;
  for (;;) {
    const Viewer::Chunk chunk = viewer.Next(nowNs);
    if (chunk.bytes.empty()) break;
    sent.largestChunk = std::max(sent.largestChunk, chunk.bytes.size());
    const size_t n = std::min(room - taken, chunk.bytes.size());
    const std::string_view took = chunk.bytes.substr(0, n);
    (chunk.toStderr ? sent.err : sent.out).append(took);
    viewer.Took(n);
    taken += n;
    if (n == chunk.bytes.size() && sent.terminal != nullptr) {
      sent.terminal->Feed(std::string_view(sent.out).substr(sent.fed));
      sent.fed = sent.out.size();
    }
    if (n < chunk.bytes.size()) break;
  }
  return taken;
}

}  // namespace cellshow::test
