#pragma once
// Turns frames of the cell grid into the bytes that make a terminal show them.
// It remembers what the terminal shows now, so a frame costs only its changes.
// Pure: no I/O, no allocation after construction.
//
// What the bytes rely on: SGR colours, absolute and relative cursor movement
// (CUP, CHA, CUU/CUD/CUF/CUB), insert and delete character, and autowrap (set
// on at every full redraw, with insert mode off and no scrolling region). The
// terminal's capabilities, given at construction, decide the rest: 8, 16 or
// 24-bit colour (a 256-colour terminal gets the 16); UTF-8 or ASCII glyphs; and whether an erase
// may leave cells in the current background colour (with `bce`, a mostly blank frame is drawn by
// erasing the screen in that colour; without, every cell that must show a colour is written, the
// margins of a larger terminal included). Nothing is ever printed in the last cell of the terminal,
// so it never scrolls, whether it wraps at once or delays the wrap; after a print in the last
// column only printing on or an absolute move follows, which both kinds of terminal take the same
// way. Every frame is one synchronized update (CSI ?2026h ... CSI ?2026l); terminals that do not
// know it ignore it.
#include <array>
#include <cstddef>
#include <cstdint>

#include "render/ansi/cell_writer.h"
#include "render/ansi/console_cells.h"
#include "render/ansi/terminal_capabilities.h"
#include "shell/screen.h"

namespace cellshow {

struct TerminalSize {
  int columns = 80;
  int rows = 50;
  friend bool operator==(TerminalSize, TerminalSize) = default;
};

// What the last Encode call produced.
struct FrameCost {
  size_t bytes = 0;
  int cellsWritten = 0;     // grid cells printed, including ones written through
  bool fullRedraw = false;  // the terminal was cleared and the grid drawn whole
  bool cleared = false;     // the screen was erased in one colour, then the rest drawn
  bool notice = false;      // the terminal is too small: the size notice is up
};

class FrameEncoder {
 public:
  // Enough for any frame on any terminal size (see WorstCaseFrameBytes in the
  // implementation), and for the scaled view's (grid_encoder.cpp).
  static constexpr size_t MaxFrameBytes = size_t{1} << 21;
  // Terminal sizes above this are taken as this.
  static constexpr int MaxTerminalSide = 65535;

  // Margins are written cell by cell (without `bce`) on terminals of at most
  // this many cells; larger ones are left to the erase.
  static constexpr int MaxFilledTerminalCells = 1 << 18;

  // `noticeNeeds` is the size the notice asks for (the grid's, or less when
  // the caller shows smaller terminals another way); the notice names
  // --window as the way out when `noticeOffersWindow`.
  explicit FrameEncoder(const TerminalCapabilities& capabilities,
                        TerminalSize noticeNeeds = {ScreenWidth, ScreenHeight},
                        bool noticeOffersWindow = true);
  // A UTF-8 terminal with background colour erase, 16 or 24-bit colour.
  explicit FrameEncoder(bool trueColor);

  // Forgets what the terminal shows: the next frame is a full redraw (after
  // start-up, a resize, a SIGCONT, or anything that may have disturbed it).
  void Invalidate();

  // Writes into `out` (MaxFrameBytes of room) the bytes that bring a terminal
  // of `size` from what it shows now to `screen`: the grid centred on black
  // when the terminal is larger, a centred notice of the size needed when it
  // is smaller. Returns the number of bytes written: 0 when the terminal
  // already shows exactly this (or has no cells at all).
  size_t Encode(const ScreenCells& screen, TerminalSize size, char* out);

  bool trueColor() const { return capabilities_.colors == ColorDepth::TrueColor; }
  const TerminalCapabilities& capabilities() const { return capabilities_; }
  const FrameCost& lastFrame() const { return last_; }

 private:
  void Redraw();
  void DrawNotice();
  void FillMargins();
  // The visible key of a cell as this terminal shows it. In ASCII a full
  // block is a blank in the block's colour: the same look, exactly.
  uint16_t Key(const Cell& cell) const;
  int ClearingBackground(const ScreenCells& screen) const;
  void DrawGrid(const ScreenCells& screen, bool rowsMayBeUnchanged);
  int RowShift(const uint16_t* keys, const uint16_t* shown, int changedInPlace) const;
  void ShiftRow(int row, const uint16_t* keys, int changedInPlace);

  const TerminalCapabilities capabilities_;
  const TerminalSize noticeNeeds_;
  const bool noticeOffersWindow_;
  bool valid_ = false;  // the terminal shows `shown_` (or the notice)
  bool noticeUp_ = false;
  TerminalSize size_{0, 0};
  int top_ = 0, left_ = 0;  // terminal row and column of grid cell (0, 0)
  // The cursor and the pen of the terminal, and the frame's bytes.
  CellWriter<ConsoleCells> out_;
  FrameCost last_;
  // Rows whose content moved sideways by up to this many cells are shifted in
  // the terminal (delete or insert characters) instead of being rewritten.
  static constexpr int MaxRowShift = 4;
  static constexpr int RowStride = MaxRowShift + ScreenWidth + MaxRowShift;
  uint16_t* ShownRow(int row) { return &shown_[row * RowStride + MaxRowShift]; }
  const uint16_t* ShownRow(int row) const { return &shown_[row * RowStride + MaxRowShift]; }
  // What each grid cell shows, as a visible key (see VisibleKey), row by row
  // with MaxRowShift cells either side that never match a key.
  uint16_t shown_[ScreenHeight * RowStride];
  // The cells of the frame drawn last, which `shown_` shows.
  ScreenCells previous_;
};

// The key of what a cell looks like: two cells with the same key look the
// same. Character 0 shows as a blank; a blank's foreground and a full block's
// background cannot be seen, so they are left out of the key.
namespace visible_key_detail {
// By character: the key's character part (high byte) and the mask of the
// attribute bits that can be seen (low byte).
constexpr std::array<uint16_t, 256> MakeParts() {
  std::array<uint16_t, 256> parts{};
  for (unsigned c = 0; c < 256; ++c) {
    const unsigned mask = c == 0 || c == 0x20 || c == 0xFF ? 0xF0 : c == 0xDB ? 0x0F : 0xFF;
    parts[c] = static_cast<uint16_t>((c == 0 ? 0x20 : c) << 8 | mask);
  }
  return parts;
}
inline constexpr std::array<uint16_t, 256> KeyParts = MakeParts();
}  // namespace visible_key_detail

constexpr uint16_t VisibleKey(const Cell& cell) {
  const unsigned parts = visible_key_detail::KeyParts[cell.Char & 0xFF];
  return static_cast<uint16_t>((parts & 0xFF00) | (cell.Attributes & parts & 0xFF));
}

CELLSHOW_HOT_INLINE uint16_t FrameEncoder::Key(const Cell& cell) const {
  const uint16_t key = VisibleKey(cell);
  if (capabilities_.glyphs == GlyphSet::Ascii && (key >> 8) == FullBlock) {
    return static_cast<uint16_t>(0x2000 | (key & 0x0F) << 4);
  }
  return key;
}

}  // namespace cellshow
