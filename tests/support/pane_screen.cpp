#include "support/pane_screen.h"

#include <string>

#include "support/timing.h"

namespace cellshow::test {

std::unique_ptr<VtermScreen> SteadyPaneScreen(const TmuxPane& pane, int columns, int rows) {
  std::string capture = pane.Capture(true);
  for (int n = 0; n < 100; ++n) {
    SleepMs(50);
    std::string now = pane.Capture(true);
    if (now == capture) break;
    capture = std::move(now);
  }
  // The capture's lines become the terminal's rows.
  auto terminal = std::make_unique<VtermScreen>(rows, columns);
  std::string bytes;
  int lines = 0;
  for (char c : capture) {
    if (c == '\n') {
      if (++lines == rows) break;
      bytes += "\r\n";
    } else {
      bytes += c;
    }
  }
  terminal->Feed(bytes);
  return terminal;
}

}  // namespace cellshow::test
