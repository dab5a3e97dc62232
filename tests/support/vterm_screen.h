#pragma once
// A terminal emulated by libvterm: feed it bytes, read back what every cell
// shows (glyph, foreground, background) and whether anything scrolled. It can
// also be a terminal without background colour erase (like GNU screen by
// default): erases and inserted or deleted characters then leave cells in the
// default background, whatever the pen.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct VTerm;
struct VTermScreen;

namespace cellshow::test {

struct VtColor {
  enum Kind : uint8_t { Default, Indexed, Rgb };
  Kind kind = Default;
  uint8_t index = 0;            // Indexed: 0..255 (SGR 30-37 give 0..7, 90-97 give 8..15)
  uint8_t r = 0, g = 0, b = 0;  // Rgb
  friend bool operator==(const VtColor&, const VtColor&) = default;
};

struct VtCell {
  char32_t glyph = U' ';  // an erased cell reads as a space
  VtColor fg, bg;
  bool bold = false, blink = false, reverse = false;
};

std::string Describe(const VtColor& color);

class VtermScreen {
 public:
  VtermScreen(int rows, int columns, bool backgroundColorErase = true);
  ~VtermScreen();
  VtermScreen(const VtermScreen&) = delete;
  VtermScreen& operator=(const VtermScreen&) = delete;

  void Feed(std::string_view bytes);
  void Feed(const char* bytes, size_t size) { Feed(std::string_view(bytes, size)); }
  // The contents stay where they are, cut at the new edges.
  void Resize(int rows, int columns);

  int rows() const { return rows_; }
  int columns() const { return columns_; }
  VtCell At(int row, int column) const;
  // The glyphs of a row as UTF-8, trailing blanks included.
  std::string RowText(int row) const;
  int cursorRow() const;
  int cursorColumn() const;
  // Lines that went off the top while bytes were fed: the terminal scrolled.
  int scrolledLines() const { return scrolled_; }
  // Glyphs printed into the last cell of the screen (a terminal without
  // delayed wrapping would scroll there).
  int lastCellPrints() const { return lastCellPrints_; }
  // Escape sequences the emulator did not know, e.g. "CSI ?2026h".
  const std::string& unknownSequences() const { return unknown_; }

 private:
  static int PushLine(int columns, const void* cells, void* user);
  static int Damage(int startRow, int endRow, int startColumn, int endColumn, void* user);
  void FeedWithoutColorErase(std::string_view bytes);
  void FeedErase(std::string_view sequence);
  static int UnknownCsi(const char* leader, const long args[], int argCount, const char* intermed,
                        char command, void* user);

  VTerm* vt_ = nullptr;
  VTermScreen* screen_ = nullptr;
  int rows_, columns_;
  int scrolled_ = 0;
  int lastCellPrints_ = 0;
  bool feeding_ = false;
  const bool backgroundColorErase_;
  std::string partial_;  // an escape sequence cut at the end of the last feed
  std::string unknown_;
};

}  // namespace cellshow::test
