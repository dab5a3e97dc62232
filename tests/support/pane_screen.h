#pragma once
// What a tmux pane shows once it has stopped changing, replayed into an
// emulator of the pane's size, so that its cells and colours can be read.
#include <memory>

#include "support/tmux_pane.h"
#include "support/vterm_screen.h"

namespace cellshow::test {

// Polls the capture (with colours) until it reads the same twice in a row
// (the show stopped and tmux has taken every byte written), at most 5 s.
std::unique_ptr<VtermScreen> SteadyPaneScreen(const TmuxPane& pane, int columns, int rows);

}  // namespace cellshow::test
