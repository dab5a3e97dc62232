#pragma once
// Every escape sequence cellshow writes to a terminal, in one table: the
// encoders, the terminal backend (enter, restore, resize) and the export's
// progress line take their bytes from here. Each is commented with its
// terminfo capability name where terminfo has one, then what it does. The
// bytes are the ECMA-48 / xterm forms, which every terminal the show runs
// on takes; none is read from terminfo (the encoders' move costs are counted
// in these exact forms). Header only, all constexpr.
#include <cstddef>

namespace cellshow::escape {

// The control sequence introducer that starts every sequence below.
inline constexpr char Csi[] = "\x1b[";

// Whole sequences, each under its terminfo capability name.

// sgr0: default colours, no attributes.
inline constexpr char ResetPen[] = "\x1b[0m";
// clear, without its cursor home: every cell erased, in the pen's background
// where the terminal has bce (else in its own default background).
inline constexpr char EraseScreen[] = "\x1b[2J";
// el: from the cursor to the end of its line.
inline constexpr char EraseLineRight[] = "\x1b[K";
// smam: printing in the last column wraps to the next row.
inline constexpr char AutowrapOn[] = "\x1b[?7h";
// rmir: printing replaces cells, never inserts.
inline constexpr char InsertModeOff[] = "\x1b[4l";
// csr without parameters: no scrolling region, the whole screen scrolls.
inline constexpr char WholeScreenScrolls[] = "\x1b[r";
// cub1: the cursor one cell left.
inline constexpr char CursorLeftOne[] = "\x1b[D";
// ich1: a blank inserted at the cursor, the rest of the row pushed right.
inline constexpr char InsertOneCell[] = "\x1b[@";
// smcup / rmcup: the alternate screen, and the main screen back.
inline constexpr char AltScreenEnter[] = "\x1b[?1049h";
inline constexpr char AltScreenLeave[] = "\x1b[?1049l";
// civis / cnorm: the cursor hidden, and shown.
inline constexpr char CursorHide[] = "\x1b[?25l";
inline constexpr char CursorShow[] = "\x1b[?25h";
// Sync (an extended capability): a synchronized update begins, and ends; the
// terminal shows what came between at once. Terminals without it ignore it.
inline constexpr char SyncBegin[] = "\x1b[?2026h";
inline constexpr char SyncEnd[] = "\x1b[?2026l";

// SGR parameters, written between Csi and SetRendition with others.
// bold: with 8 colours, what shows a foreground bright; 22: neither bold nor
// faint, the foreground normal again.
inline constexpr char BoldParameter[] = "1;";
inline constexpr char NormalIntensityParameter[] = "22;";

// Final bytes of the parameterised sequences, CSI n <final> (a parameter of 1
// may be left out: cuu1, cud1, cuf1, cub1, ich1, dch1).
inline constexpr char CursorUp = 'A';       // cuu
inline constexpr char CursorDown = 'B';     // cud
inline constexpr char CursorRight = 'C';    // cuf
inline constexpr char CursorLeft = 'D';     // cub
inline constexpr char ColumnAddress = 'G';  // hpa (CHA): 1-based column
inline constexpr char CursorAddress = 'H';  // cup: 1-based row ; column, 1 left out
inline constexpr char InsertCells = '@';    // ich: n blanks at the cursor, the rest pushed right
inline constexpr char DeleteCells = 'P';    // dch: n cells at the cursor gone, the rest pulled left
inline constexpr char SetRendition = 'm';   // sgr, setaf, setab: parameters split by ';'
inline constexpr char WindowOp = 't';       // xterm window operations (8 ; rows ; columns: resize)

// Sequences written one after another, as one null-terminated array: for
// the fixed strings that must be a single piece (a write that may be cut,
// a test that looks for it). Join(AutowrapOn, InsertModeOff).text is
// "\x1b[?7h\x1b[4l".
template <size_t N>
struct Joined {
  char text[N];
};
template <size_t... N>
constexpr Joined<(N + ...) - sizeof...(N) + 1> Join(const char (&... parts)[N]) {
  Joined<(N + ...) - sizeof...(N) + 1> out{};
  size_t at = 0;
  auto append = [&](const char* part, size_t size) {
    for (size_t i = 0; i + 1 < size; ++i) out.text[at++] = part[i];
  };
  (append(parts, N), ...);
  return out;
}
static_assert(sizeof Join(AutowrapOn, InsertModeOff).text == 5 + 4 + 1);
static_assert(Join(AutowrapOn, InsertModeOff).text[5] == '\x1b');

}  // namespace cellshow::escape
