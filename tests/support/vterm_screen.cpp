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

VtermScreen::VtermScreen(int rows, int columns, bool backgroundColorErase)
    : rows_(rows), columns_(columns), backgroundColorErase_(backgroundColorErase) {
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
  if (backgroundColorErase_) {
    vterm_input_write(vt_, bytes.data(), bytes.size());
  } else {
    FeedWithoutColorErase(bytes);
  }
  vterm_screen_flush_damage(screen_);
  feeding_ = false;
}

// libvterm always erases in the pen's background. Without colour erase, each
// CSI sequence that fills cells (ED, EL, ECH, ICH, DCH, IL, DL, SU, SD) is
// fed with the background set to the default around it.
void VtermScreen::FeedWithoutColorErase(std::string_view input) {
  std::string bytes = std::move(partial_);
  partial_.clear();
  bytes.append(input);
  size_t done = 0;
  size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] != '\x1b') {
      ++i;
      continue;
    }
    if (i + 1 >= bytes.size()) break;  // cut after ESC
    if (bytes[i + 1] != '[') {
      i += 2;
      continue;
    }
    size_t end = i + 2;
    while (end < bytes.size() && (static_cast<unsigned char>(bytes[end]) < 0x40 ||
                                  static_cast<unsigned char>(bytes[end]) > 0x7E)) {
      ++end;
    }
    if (end >= bytes.size()) break;  // cut inside the sequence
    if (std::string_view("JKX@PLMST").find(bytes[end]) != std::string_view::npos) {
      vterm_input_write(vt_, bytes.data() + done, i - done);
      FeedErase(std::string_view(bytes).substr(i, end + 1 - i));
      done = end + 1;
    }
    i = end + 1;
  }
  if (i < bytes.size()) {
    vterm_input_write(vt_, bytes.data() + done, i - done);
    partial_ = bytes.substr(i);
  } else {
    vterm_input_write(vt_, bytes.data() + done, bytes.size() - done);
  }
}

void VtermScreen::FeedErase(std::string_view sequence) {
  VTermValue pen{};
  vterm_state_get_penattr(vterm_obtain_state(vt_), VTERM_ATTR_BACKGROUND, &pen);
  const VTermColor& bg = pen.color;
  std::string restore = "\x1b[";
  if (VTERM_COLOR_IS_DEFAULT_BG(&bg)) {
    restore += "49";
  } else if (VTERM_COLOR_IS_INDEXED(&bg)) {
    restore += "48;5;" + std::to_string(bg.indexed.idx);
  } else {
    restore += "48;2;" + std::to_string(bg.rgb.red) + ";" + std::to_string(bg.rgb.green) + ";" +
               std::to_string(bg.rgb.blue);
  }
  restore += "m";
  const std::string bytes = "\x1b[49m" + std::string(sequence) + restore;
  vterm_input_write(vt_, bytes.data(), bytes.size());
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
