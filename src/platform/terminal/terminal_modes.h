#pragma once
// The fixed byte strings and mode settings of the terminal backend: small
// pure pieces, kept apart so they can be tested alone.
#include <termios.h>

#include <cstddef>
#include <cstdint>

#include "platform/stats/stats_text.h"
#include "platform/terminal/frame_writer.h"
#include "platform/ticks/tick_timer.h"
#include "platform/tty/tty_keyboard.h"  // the show's input modes
#include "render/ansi/frame_encoder.h"
#include "render/ansi/terminal_sequences.h"

namespace cellshow {

// Every time the show takes the terminal (start-up, and each continue after
// a stop): alternate screen, cursor hidden.
inline constexpr auto EnterBytes = escape::Join(escape::AltScreenEnter, escape::CursorHide);
inline constexpr const auto& EnterSequence = EnterBytes.text;
// Every end: colours reset, synchronized update off, cursor shown, main
// screen back. Starts with ESC, so it also ends a sequence cut short.
inline constexpr auto RestoreBytes =
    escape::Join(escape::ResetPen, escape::SyncEnd, escape::CursorShow, escape::AltScreenLeave);
inline constexpr const auto& RestoreSequence = RestoreBytes.text;

template <size_t N>
constexpr size_t Length(const char (&)[N]) {
  return N - 1;
}

// The request to xterm-style terminals to become `size` (no reply comes
// back): CSI 8 ; rows ; columns t. Returns its length; `out` has 32 bytes.
size_t FormatSizeRequest(TerminalSize size, char* out);

// The size to ask for at start-up so that the grid fits: each side grown to
// the grid's, never shrunk. Equal to `size` when it fits already.
TerminalSize SizeToRequest(TerminalSize size);

// A size the kernel reports; 0 (unknown, as on a fresh pty) counts as 80x50.
TerminalSize SizeFromKernel(unsigned columns, unsigned rows);

// The writer's lines of the --stats report.
void AddWriterStats(StatsText& stats, const WriterStats& frames);

}  // namespace cellshow
