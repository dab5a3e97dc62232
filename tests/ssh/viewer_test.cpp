// The viewer object alone, on the default show and a clock of the test's
// own: every kind of terminal sees the frame due at its tick (read back
// through libvterm), viewers that share a log are sent exactly what a view
// of their own would send, a slow viewer skips to the newest frame, and
// every request a client can make ends as it should.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/terminal/terminal_modes.h"
#include "render/scaled/scaled_view.h"
#include "support/vterm_colour_grid.h"
#include "support/vterm_grid.h"
#include "viewer_rig.h"

namespace cellshow {
namespace {

using test::Pump;
using test::Sent;
using test::ViewerRig;
using test::VtermScreen;

constexpr int64_t Start = 1'000'000'000;

// "" when the terminal shows present `present` as a viewer of `kind` must
// see it: the grid, or the scaled picture.
std::string Mismatch(const VtermScreen& terminal, const ViewerRig& rig, int present,
                     const TerminalKind& kind, bool scaled) {
  ScreenCells cells;
  rig.reel.Cells(present, cells);
  if (!scaled) return test::GridMismatch(terminal, cells, kind.capabilities);
  auto view = std::make_unique<ScaledView>();
  const ScaledBox& box =
      view->Fit(kind.size.columns, kind.size.rows, kind.capabilities.glyphs == GlyphSet::Unicode);
  std::vector<RgbCell> expected(static_cast<size_t>(box.columns * box.rows));
  view->Render(cells, kind.capabilities.colors, expected.data());
  return test::ColourGridMismatch(terminal, expected.data(),
                                  {box.columns, box.rows, box.left, box.top}, kind.capabilities);
}

TEST(ViewerShow, EveryKindOfTerminalShowsTheFrameDueAtItsTick) {
  ViewerRig rig;
  ASSERT_GT(rig.reel.presents(), 1000);
  struct Case {
    const char* name;
    std::string term;
    std::vector<std::pair<std::string, std::string>> env;
    TerminalKind kind;  // what the viewer must be written for
    bool scaled;
  };
  const std::string longName(10000, 'x');
  const TerminalCapabilities xterm{ColorDepth::Xterm256, GlyphSet::Unicode, true};
  const Case cases[] = {
      {"xterm-256color 80x50", "xterm-256color", {}, {xterm, FitMode::Auto, {80, 50}}, false},
      {"screen in Latin-1, 100x60",
       "screen",
       {{"LANG", "en_US.ISO-8859-1"}},
       {{ColorDepth::Eight, GlyphSet::Ascii, false}, FitMode::Auto, {100, 60}},
       false},
      {"tmux with COLORTERM, 80x24",
       "tmux-256color",
       {{"COLORTERM", "truecolor"}, {"LC_ALL", "C.UTF-8"}},
       {{ColorDepth::TrueColor, GlyphSet::Unicode, false}, FitMode::Auto, {80, 24}},
       true},
      {"unknown type", "no-such-terminal", {}, {xterm, FitMode::Auto, {80, 50}}, false},
      {"10 KB name", longName, {}, {xterm, FitMode::Auto, {120, 40}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Viewer viewer(rig.shared);
    ASSERT_TRUE(viewer.Pty(c.term, c.kind.size.columns, c.kind.size.rows));
    for (const auto& [name, value] : c.env) EXPECT_TRUE(viewer.Env(name, value));
    ASSERT_TRUE(viewer.Shell(Start));
    Sent sent;
    sent.terminal = std::make_unique<VtermScreen>(c.kind.size.rows, c.kind.size.columns,
                                                  c.kind.capabilities.backgroundColorErase);
    const int last = 400;  // into the plasma
    for (int present = 0; present <= last; ++present) Pump(viewer, rig.DueNs(Start, present), sent);
    EXPECT_EQ(sent.out.rfind(EnterSequence, 0), 0u);
    EXPECT_TRUE(viewer.inLog());
    EXPECT_EQ(viewer.framesSent(), static_cast<uint64_t>(last + 1));
    EXPECT_EQ(Mismatch(sent.Screen(), rig, last, c.kind, c.scaled), "");
    EXPECT_EQ(sent.Screen().scrolledLines(), 0);
  }
}

TEST(ViewerShow, ViewersInALogAreSentWhatAViewOfTheirOwnWouldSend) {
  ViewerRig rig;
  const int presents = 300;
  struct Run {
    ViewerContext* context;
    int64_t start;
    Sent sent;
    std::unique_ptr<Viewer> viewer;
  } runs[] = {{&rig.shared, Start, {}, {}},
              {&rig.shared, Start + 7 * ShowTickNs, {}, {}},
              {&rig.alone, Start + 1000 * ShowTickNs, {}, {}}};
  for (Run& run : runs) {
    run.viewer = std::make_unique<Viewer>(*run.context);
    run.viewer->Pty("xterm-256color", 80, 50);
    run.viewer->Shell(run.start);
  }
  // All at once, in the order of their clocks. The log holds only what its
  // slowest viewer has not been sent: a few presents, not the show.
  size_t held = 0;
  for (int step = 0; step < presents * 3; ++step) {
    Run* first = nullptr;
    int64_t firstNs = 0;
    for (Run& run : runs) {
      const int next = static_cast<int>(run.viewer->framesSent());
      if (next >= presents) continue;
      const int64_t due = rig.DueNs(run.start, next);
      if (first == nullptr || due < firstNs) first = &run, firstNs = due;
    }
    if (first == nullptr) break;
    Pump(*first->viewer, firstNs, first->sent);
    held = std::max(held, rig.logs.bytesHeld());
  }
  for (Run& run : runs) run.viewer.reset();
  ASSERT_GT(runs[0].sent.out.size(), 100000u);
  EXPECT_TRUE(runs[1].sent.out == runs[0].sent.out) << "a viewer in the log was sent other bytes";
  EXPECT_TRUE(runs[2].sent.out == runs[0].sent.out) << "a view of its own sent other bytes";
  // Each present was encoded once for the two that shared, once for the one
  // alone.
  EXPECT_EQ(rig.logs.encodes(), static_cast<uint64_t>(presents));
  EXPECT_EQ(rig.figures.ownEncodes, static_cast<uint64_t>(presents));
  EXPECT_EQ(rig.logs.logs(), 0u) << "a log outlived its viewers";
  EXPECT_LT(held, runs[0].sent.out.size() / 20);
}

TEST(ViewerShow, ASlowViewerSkipsToTheNewestFrameAndShowsIt) {
  ViewerRig rig;
  Viewer viewer(rig.shared);
  viewer.Pty("xterm-256color", 80, 50);
  viewer.Shell(Start);
  Sent sent;
  sent.terminal = std::make_unique<VtermScreen>(50, 80, true);
  // 600 bytes a tick: well under what the plasma needs.
  int64_t now = Start;
  for (int tick = 0; tick < 1500; ++tick, now += ShowTickNs) Pump(viewer, now, sent, 600);
  EXPECT_GT(viewer.framesSkipped(), 0u);
  EXPECT_FALSE(viewer.inLog());
  // Once it takes all it is given, it shows the present due.
  Pump(viewer, now, sent);
  now += ShowTickNs;
  Pump(viewer, now, sent);
  const int due = rig.reel.NewestAt(static_cast<uint32_t>((now - Start) / ShowTickNs));
  EXPECT_EQ(
      Mismatch(sent.Screen(), rig, due,
               {{ColorDepth::Xterm256, GlyphSet::Unicode, true}, FitMode::Auto, {80, 50}}, false),
      "");
}

// Viewers that could take nothing for a while skip together to the newest
// present: drawn whole there once, for both, and in step again after it.
TEST(ViewerShow, ViewersThatSkipTogetherShareTheirRedraw) {
  ViewerRig rig;
  Viewer a(rig.shared), b(rig.shared);
  Sent sentA, sentB;
  for (Viewer* v : {&a, &b}) {
    v->Pty("xterm-256color", 80, 50);
    v->Shell(Start);
  }
  int64_t now = Start;
  for (int tick = 0; tick < 300; ++tick, now += ShowTickNs) {
    const bool stalled = tick >= 100 && tick < 160;  // a second with no room
    Pump(a, now, sentA, stalled ? 0 : SIZE_MAX);
    Pump(b, now, sentB, stalled ? 0 : SIZE_MAX);
  }
  EXPECT_GT(a.framesSkipped(), 0u);
  EXPECT_EQ(a.framesSkipped(), b.framesSkipped());
  EXPECT_TRUE(a.inLog() && b.inLog());
  EXPECT_EQ(rig.logs.logs(), 1u);
  EXPECT_TRUE(sentA.out == sentB.out);
  // Every present sent was encoded once for the two.
  EXPECT_LE(rig.logs.encodes(), a.framesSent() + 2);
}

// The requests a client makes, in order, and how the viewer ends.
struct Step {
  enum Kind { Pty, Env, Shell, Exec, Window, Type, Stop, Play } kind;
  std::string text;
  int64_t a = 0, b = 0;  // sizes; Play: presents to pump; Stop: the End
  bool granted = true;
};

TEST(ViewerRequests, EachRequestIsGrantedOrRefusedAndEndsAsItShould) {
  using End = Viewer::End;
  struct Case {
    const char* name;
    std::vector<Step> steps;
    End end;
    int status;
    std::string message;  // in what went to stderr
    bool restored;        // the output ends with the restore sequence
  };
  const std::string tooLong(65, 'x');
  const Case cases[] = {
      {"a shell without a pty", {{Step::Shell, ""}}, End::NoTerminal, 2, "ssh -t", false},
      {"a command",
       {{Step::Pty, "xterm", 80, 50}, {Step::Exec, "ls"}},
       End::Command,
       2,
       "runs no commands",
       false},
      {"a terminal that cannot place the cursor",
       {{Step::Pty, "dumb", 80, 50}, {Step::Shell, ""}},
       End::Unsuitable,
       2,
       "'dumb' cannot place the cursor",
       false},
      {"a key",
       {{Step::Pty, "xterm", 80, 50}, {Step::Shell, ""}, {Step::Play, "", 50}, {Step::Type, "q"}},
       End::Key,
       0,
       "",
       true},
      {"a key typed before the show is not the show's",
       {{Step::Pty, "xterm", 80, 50},
        {Step::Type, "q"},
        {Step::Shell, ""},
        {Step::Play, "", 30},
        {Step::Stop, "", static_cast<int64_t>(End::Stopping)}},
       End::Stopping,
       0,
       "",
       true},
      {"the server stops",
       {{Step::Pty, "xterm", 80, 50},
        {Step::Shell, ""},
        {Step::Play, "", 5},
        {Step::Stop, "", static_cast<int64_t>(End::Stopping)}},
       End::Stopping,
       0,
       "",
       true},
      {"the connection goes",
       {{Step::Pty, "xterm", 80, 50},
        {Step::Shell, ""},
        {Step::Play, "", 5},
        {Step::Stop, "", static_cast<int64_t>(End::Gone)}},
       End::Gone,
       0,
       "",
       false},
      {"a second pty, odd values, unknown names",
       {{Step::Pty, "xterm", -5, 1LL << 40},
        {Step::Pty, "vt100", 80, 50, false},
        {Step::Env, "LD_PRELOAD=/tmp/x", 0, 0, false},
        {Step::Env, "LANG=" + tooLong, 0, 0, false},
        {Step::Env, "LANG=C.UTF-8"},
        {Step::Shell, ""},
        {Step::Shell, "", 0, 0, false},
        {Step::Exec, "ls", 0, 0, false},
        {Step::Window, "", 80, 50},
        {Step::Play, "", 30},
        {Step::Type, "\x03"}},
       End::Key,
       0,
       "",
       true},
      {"0x0, then room",
       {{Step::Pty, "xterm", 0, 0},
        {Step::Shell, ""},
        {Step::Play, "", 20},
        {Step::Window, "", 80, 50},
        {Step::Play, "", 20},
        {Step::Type, "q"}},
       End::Key,
       0,
       "",
       true},
      {"65535x65535",
       {{Step::Pty, "xterm", 65535, 65535},
        {Step::Shell, ""},
        {Step::Play, "", 30},
        {Step::Type, "q"}},
       End::Key,
       0,
       "",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewerRig rig;
    Viewer viewer(rig.shared);
    Sent sent;
    int presents = 0;
    for (const Step& s : c.steps) {
      const size_t eq = s.text.find('=');
      switch (s.kind) {
        case Step::Pty:
          EXPECT_EQ(viewer.Pty(s.text, s.a, s.b), s.granted);
          break;
        case Step::Env:
          EXPECT_EQ(viewer.Env(s.text.substr(0, eq), s.text.substr(eq + 1)), s.granted);
          break;
        case Step::Shell:
          EXPECT_EQ(viewer.Shell(Start), s.granted);
          break;
        case Step::Exec:
          EXPECT_EQ(viewer.Exec(s.text, Start), s.granted);
          break;
        case Step::Window:
          viewer.WindowChange(s.a, s.b);
          break;
        case Step::Type:
          viewer.Typed(s.text.size());
          break;
        case Step::Stop:
          viewer.Stop(static_cast<Viewer::End>(s.a));
          break;
        case Step::Play:
          for (int64_t i = 0; i < s.a; ++i, ++presents)
            Pump(viewer, rig.DueNs(Start, presents), sent);
          break;
      }
      Pump(viewer, rig.DueNs(Start, presents), sent);
    }
    const size_t before = sent.out.size() + sent.err.size();
    Pump(viewer, rig.DueNs(Start, presents + 100), sent);
    EXPECT_EQ(sent.out.size() + sent.err.size(), before) << "sent more after its end";
    EXPECT_TRUE(viewer.done());
    EXPECT_EQ(viewer.end(), c.end);
    if (c.end != End::Gone) {
      EXPECT_EQ(viewer.exitStatus(), c.status);
    }
    if (!c.message.empty()) {
      EXPECT_NE(sent.err.find(c.message), std::string::npos) << sent.err;
    }
    const std::string restore = RestoreSequence;
    const bool restored =
        sent.out.size() >= restore.size() &&
        sent.out.compare(sent.out.size() - restore.size(), restore.size(), restore) == 0;
    EXPECT_EQ(restored, c.restored);
    EXPECT_LE(sent.largestChunk, TerminalView::MaxFrameBytes);
  }
}

// Any number of window changes between frames, of any size: each frame is
// written for the size of its time, and the last size shows the frame due.
TEST(ViewerRequests, AFloodOfWindowChangesEndsWithTheFrameDueAtTheLastSize) {
  ViewerRig rig;
  Viewer viewer(rig.shared);
  viewer.Pty("xterm-256color", 80, 50);
  viewer.Shell(Start);
  Sent sent;
  int present = 0;
  for (int round = 0; round < 40; ++round, ++present) {
    for (int change = 0; change < 250; ++change)
      viewer.WindowChange(change % 3 == 0 ? 0 : 40 + change % 200, 12 + change % 100);
    Pump(viewer, rig.DueNs(Start, present), sent);
  }
  viewer.WindowChange(80, 50);
  // The change of size redraws in full: the terminal needs nothing before.
  sent.terminal = std::make_unique<VtermScreen>(50, 80, true);
  sent.fed = sent.out.size();
  Pump(viewer, rig.DueNs(Start, present), sent);
  EXPECT_EQ(
      Mismatch(sent.Screen(), rig, present,
               {{ColorDepth::Xterm256, GlyphSet::Unicode, true}, FitMode::Auto, {80, 50}}, false),
      "");
}

// The show's own end gives the terminal back with status 0.
TEST(ViewerRequests, TheShowsEndGivesTheTerminalBack) {
  ViewerRig rig;
  Viewer viewer(rig.shared);
  viewer.Pty("xterm-256color", 80, 50);
  viewer.Shell(Start);
  Sent sent;
  for (int present = 0; present < rig.reel.presents(); ++present)
    Pump(viewer, rig.DueNs(Start, present), sent);
  EXPECT_FALSE(viewer.done());
  Pump(viewer, Start + int64_t{rig.reel.endTick()} * ShowTickNs, sent);
  EXPECT_TRUE(viewer.done());
  EXPECT_EQ(viewer.end(), Viewer::End::ShowOver);
  EXPECT_EQ(viewer.exitStatus(), 0);
  EXPECT_EQ(viewer.framesSkipped(), 0u);
  EXPECT_EQ(sent.out.substr(sent.out.size() - std::string(RestoreSequence).size()),
            RestoreSequence);
}

}  // namespace
}  // namespace cellshow
