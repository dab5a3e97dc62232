#include "support/vterm_screen.h"

#include <vterm.h>

#include <cstdio>
#include <stdexcept>

namespace cellshow::test {

namespace {

VtColor Convert(const VTermColor& color, bool foreground) {
  VtColor out;
  if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&color) : VTERM_COLOR_IS_DEFAULT_BG(&color)) {
    out.kind = VtColor::Default;
  } else if (VTERM_COLOR_IS_INDEXED(&color)) {
    out.kind = VtColor::Indexed;
    out.index = color.indexed.idx;
  } else {
    out.kind = VtColor::Rgb;
    out.r = color.rgb.red;
    out.g = color.rgb.green;
    out.b = color.rgb.blue;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string Describe(const VtColor& color) {
  char text[40];
  switch (color.kind) {
    case VtColor::Default:
      return "default";
    case VtColor::Indexed:
      std::snprintf(text, sizeof text, "index %d", color.index);
      return text;
    case VtColor::Rgb:
      std::snprintf(text, sizeof text, "rgb %d,%d,%d", color.r, color.g, color.b);
      return text;
  }
  return "?";
}

VtermScreen::VtermScreen(int rows, int columns) : rows_(rows), columns_(columns) {
  vt_ = vterm_new(rows, columns);
  if (vt_ == nullptr) throw std::runtime_error("vterm_new failed");
  vterm_set_utf8(vt_, 1);
  screen_ = vterm_obtain_screen(vt_);
  static const VTermScreenCallbacks callbacks = [] {
    VTermScreenCallbacks c{};
    c.sb_pushline = [](int cols, const VTermScreenCell* cells, void* user) {
      return PushLine(cols, cells, user);
    };
    // Moved cells are not damage: only prints and erases are reported.
    c.moverect = [](VTermRect, VTermRect, void*) { return 1; };
    c.damage = [](VTermRect rect, void* user) {
      return Damage(rect.start_row, rect.end_row, rect.start_col, rect.end_col, user);
    };
    return c;
  }();
  vterm_screen_set_callbacks(screen_, &callbacks, this);
  static const VTermParserCallbacks fallbacks = [] {
    VTermParserCallbacks c{};
    c.csi = &UnknownCsi;
    return c;
  }();
  vterm_screen_set_unrecognised_fallbacks(screen_, &fallbacks, this);
  vterm_screen_reset(screen_, 1);
}

VtermScreen::~VtermScreen() { vterm_free(vt_); }

int VtermScreen::PushLine(int, const void*, void* user) {
  auto* self = static_cast<VtermScreen*>(user);
  if (self->feeding_) ++self->scrolled_;
  return 1;
}

// A print damages exactly its own cell and leaves a glyph there; an erased
// cell holds no character at all, not even a space.
int VtermScreen::Damage(int startRow, int endRow, int startColumn, int endColumn, void* user) {
  auto* self = static_cast<VtermScreen*>(user);
  if (self->feeding_ && endRow - startRow == 1 && endColumn - startColumn == 1 &&
      startRow == self->rows_ - 1 && startColumn == self->columns_ - 1) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(self->screen_, VTermPos{startRow, startColumn}, &cell);
    if (cell.chars[0] != 0) ++self->lastCellPrints_;
  }
  return 1;
}

int VtermScreen::UnknownCsi(const char* leader, const long args[], int argCount, const char*,
                            char command, void* user) {
  auto* self = static_cast<VtermScreen*>(user);
  std::string& out = self->unknown_;
  out += "CSI ";
  if (leader != nullptr) out += leader;
  for (int i = 0; i < argCount; ++i) {
    if (i > 0) out += ';';
    if (!CSI_ARG_IS_MISSING(args[i])) out += std::to_string(CSI_ARG(args[i]));
  }
  out += command;
  out += '\n';
  return 1;
}

void VtermScreen::Feed(std::string_view bytes) {
  feeding_ = true;
  vterm_input_write(vt_, bytes.data(), bytes.size());
  vterm_screen_flush_damage(screen_);
  feeding_ = false;
}

void VtermScreen::Resize(int rows, int columns) {
  rows_ = rows;
  columns_ = columns;
  vterm_set_size(vt_, rows, columns);
}

VtCell VtermScreen::At(int row, int column) const {
  VTermScreenCell cell{};
  vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
  VtCell out;
  out.glyph = cell.chars[0] == 0 ? U' ' : static_cast<char32_t>(cell.chars[0]);
  out.fg = Convert(cell.fg, true);
  out.bg = Convert(cell.bg, false);
  out.bold = cell.attrs.bold;
  out.blink = cell.attrs.blink;
  out.reverse = cell.attrs.reverse;
  return out;
}

std::string VtermScreen::RowText(int row) const {
  std::string text;
  for (int column = 0; column < columns_; ++column) AppendUtf8(text, At(row, column).glyph);
  return text;
}

int VtermScreen::cursorRow() const {
  VTermPos pos;
  vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
  return pos.row;
}

int VtermScreen::cursorColumn() const {
  VTermPos pos;
  vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
  return pos.col;
}

}  // namespace cellshow::test
