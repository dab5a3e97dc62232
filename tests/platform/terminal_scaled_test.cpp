// The real program in tmux panes smaller than the grid: what a pane shows
// mid-show is the scaled view of a frame of the recorded show, and resizing
// while it plays switches between the glyph grid and the scaled view.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "render/scaled/scaled_view.h"
#include "support/pane_screen.h"
#include "support/shell_run.h"
#include "support/show_recording.h"
#include "support/timing.h"
#include "support/tmux_pane.h"
#include "support/vterm_colour_grid.h"
#include "support/vterm_screen.h"

namespace cellshow {
namespace {

using test::ShellQuote;
using test::SleepMs;
using test::SteadyPaneScreen;
using test::TmuxPane;

// The show from the default data, in the pane's UTF-8 locale, with
// `environment` (assignments for env) over the pane's own (tmux's TERM, no
// COLORTERM). Run from the pane's shell, or as the
// pane's own process when it is to be stopped from outside (a shell would
// take the stop as its job's).
class ScaledShow {
 public:
  enum Start { FromShell, AsThePane };
  ScaledShow(const std::string& name, int columns, int rows, Start start,
             const std::string& environment = "")
      : pane_(name, columns, rows), start_(start) {
    const std::string command = "env LC_ALL=C.UTF-8 " + environment + " " +
                                ShellQuote(CELLSHOW_BINARY) + " --mute --data " +
                                ShellQuote(std::string(CELLSHOW_BUILD_DIR) + "/data");
    if (start == FromShell) {
      pane_.TypeLine(command + "; echo EXIT=$?");
    } else {
      pane_.Tmux("respawn-pane -k -t show " + ShellQuote("exec " + command));
    }
  }
  TmuxPane& pane() { return pane_; }
  pid_t pid() const { return static_cast<pid_t>(std::stol("0" + pane_.Format("#{pane_pid}"))); }
  // Ends the show with a key: true once it has ended (from the shell, with
  // status 0).
  bool EndWithKey() {
    pane_.TypeLiteral("q");
    if (start_ == FromShell) return pane_.WaitForText("EXIT=0", 5000);
    return pane_.WaitForFormat("#{pane_dead}", "1", 5000);
  }

 private:
  TmuxPane pane_;
  Start start_;
};

// Stopped mid-show, the pane shows the scaled view of a recorded frame, cell
// for cell with its margins black, on terminal types without background
// colour erase: tmux's own (256 colours), GNU screen's (8 colours, dithered)
// and tmux's with 24-bit colour.
TEST(TerminalScaled, AStoppedPaneShowsTheScaledFrameOfItsTick) {
  const auto& frames = test::DefaultShowFrames();
  ASSERT_GT(frames.size(), 1000u);
  struct Case {
    const char* environment;
    TerminalCapabilities capabilities;
  };
  const Case cases[] = {
      {"TERM=tmux-256color", {ColorDepth::Xterm256, GlyphSet::Unicode, false}},
      {"TERM=screen", {ColorDepth::Eight, GlyphSet::Unicode, false}},
      {"TERM=tmux-256color COLORTERM=truecolor", {ColorDepth::TrueColor, GlyphSet::Unicode, false}},
  };
  for (const Case& c : cases) {
    ScaledShow show("cellshow-scaled", 80, 24, ScaledShow::AsThePane, c.environment);
    TmuxPane& pane = show.pane();
    ASSERT_TRUE(pane.ok());
    ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 5000)) << c.environment;
    ASSERT_TRUE(pane.WaitForText("\u2580", 5000)) << c.environment << "\n" << pane.Capture();
    ASSERT_GT(show.pid(), 0);

    // Each recorded frame through the scaled view, as the pane must show one.
    auto view = std::make_unique<ScaledView>();
    const ScaledBox& box = view->Fit(80, 24, true);
    const GridPlace place{box.columns, box.rows, box.left, box.top};
    const size_t perFrame = static_cast<size_t>(box.columns * box.rows);
    std::vector<RgbCell> expected(perFrame * frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      view->Render(frames[i]->cells, c.capabilities.colors, &expected[i * perFrame]);
    }

    // Stopped mid-frame, the pane may hold parts of two: try again later.
    long matchedTick = -1;
    for (int attempt = 0; attempt < 6 && matchedTick < 0; ++attempt) {
      SleepMs(400);
      kill(show.pid(), SIGSTOP);
      const auto terminal = SteadyPaneScreen(pane, 80, 24);
      for (size_t i = 0; i < frames.size() && matchedTick < 0; ++i) {
        if (test::ColourGridMismatch(*terminal, &expected[i * perFrame], place, c.capabilities) ==
            "") {
          matchedTick = frames[i]->tick;
        }
      }
      kill(show.pid(), SIGCONT);
    }
    ASSERT_GE(matchedTick, 0) << c.environment
                              << ": the pane never showed a scaled frame of the show\n"
                              << pane.Capture();
    EXPECT_GT(matchedTick, 0);
    RecordProperty(c.environment, static_cast<int>(matchedTick));
    EXPECT_TRUE(show.EndWithKey()) << pane.Capture();
  }
}

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Rows that show any glyph of the plasma (the glyph grid), the half blocks
// of the scaled view and anything else printed, in what the pane shows.
struct Look {
  int plasmaRows = 0;
  int halfBlocks = 0;
  int others = 0;  // neither a blank nor a half block
  int rows = 0;
};
Look LookAt(const TmuxPane& pane) {
  Look look;
  std::stringstream in(pane.Capture());
  for (std::string line; std::getline(in, line);) {
    ++look.rows;
    const int halves = CountOf(line, "\u2580");
    look.halfBlocks += halves;
    look.others += static_cast<int>(line.size()) - 3 * halves - CountOf(line, " ");
    look.plasmaRows += line.find_first_of("o+O0'") != std::string::npos;
  }
  return look;
}

template <typename Condition>
bool WaitFor(const TmuxPane& pane, Condition condition, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 50) {
    if (condition(LookAt(pane))) return true;
    SleepMs(50);
  }
  return false;
}

TEST(TerminalScaled, ResizingWhilePlayingSwitchesTheView) {
  ScaledShow show("cellshow-resize", 80, 50, ScaledShow::FromShell);
  TmuxPane& pane = show.pane();
  ASSERT_TRUE(pane.ok());
  ASSERT_TRUE(pane.WaitForFormat("#{alternate_on}", "1", 5000));
  auto glyphs = [](const Look& look) {
    return look.rows >= 50 && look.plasmaRows >= 10 && look.halfBlocks == 0;
  };
  // Half blocks and blanks alone (a cell whose halves are alike is a blank).
  auto scaled = [](const Look& look) {
    return look.rows == 24 && look.halfBlocks > 0 && look.others == 0;
  };
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(WaitFor(pane, glyphs, 5000)) << "round " << round << "\n" << pane.Capture();
    pane.Tmux("resize-window -t show -x 80 -y 24");
    ASSERT_TRUE(WaitFor(pane, scaled, 5000)) << "round " << round << "\n" << pane.Capture();
    pane.Tmux("resize-window -t show -x 80 -y 50");
  }
  ASSERT_TRUE(WaitFor(pane, glyphs, 5000)) << pane.Capture();
  EXPECT_TRUE(show.EndWithKey()) << pane.Capture();
}

}  // namespace
}  // namespace cellshow
