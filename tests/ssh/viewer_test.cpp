// The viewer object alone, on the default show and a clock of the test's
// own: every kind of terminal sees the frame due at its tick (read back
// through libvterm), viewers that share a log are sent exactly what a view
// of their own would send, a slow viewer skips to the newest frame, and
// every request a client can make ends as it should.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/terminal/terminal_modes.h"
#include "viewer_rig.h"

namespace cellshow {
namespace {

using test::Pump;
using test::Sent;
using test::ViewerRig;
using test::VtermScreen;

constexpr int64_t Start = 1'000'000'000;
constexpr TerminalCapabilities Xterm256{ColorDepth::Xterm256, GlyphSet::Unicode, true};
constexpr TerminalKind Xterm80x50{Xterm256, FitMode::Auto, {80, 50}};

// "" when the terminal fed by `sent` shows present `present` as `kind` must.
std::string Mismatch(const Sent& sent, const ViewerRig& rig, int present,
                     const TerminalKind& kind = Xterm80x50) {
  ScreenCells cells;
  rig.reel.Cells(present, cells);
  return test::FrameMismatch(sent.Screen(), cells, kind);
}

// A viewer on an 80x50 xterm whose show starts at `start`.
std::unique_ptr<Viewer> Watching(ViewerContext& context, int64_t start = Start) {
  auto viewer = std::make_unique<Viewer>(context);
  viewer->Pty("xterm-256color", 80, 50);
  viewer->Shell(start);
  return viewer;
}

TEST(ViewerShow, EveryKindOfTerminalShowsTheFrameDueAtItsTick) {
  ViewerRig rig;
  ASSERT_GT(rig.reel.presents(), 1000);
  struct Case {
    const char* name;
    std::string term;
    std::vector<std::pair<std::string, std::string>> env;
    TerminalKind kind;  // what the viewer must be written for (scaled below 80x50)
  };
  const Case cases[] = {
      {"xterm-256color 80x50", "xterm-256color", {}, Xterm80x50},
      {"screen in Latin-1, 100x60",
       "screen",
       {{"LANG", "en_US.ISO-8859-1"}},
       {{ColorDepth::Eight, GlyphSet::Ascii, false}, FitMode::Auto, {100, 60}}},
      {"tmux with COLORTERM, 80x24",
       "tmux-256color",
       {{"COLORTERM", "truecolor"}, {"LC_ALL", "C.UTF-8"}},
       {{ColorDepth::TrueColor, GlyphSet::Unicode, false}, FitMode::Auto, {80, 24}}},
      {"unknown type", "no-such-terminal", {}, Xterm80x50},
      {"10 KB name", std::string(10000, 'x'), {}, {Xterm256, FitMode::Auto, {120, 40}}},
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
    EXPECT_EQ(Mismatch(sent, rig, last, c.kind), "");
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
  for (Run& run : runs) run.viewer = Watching(*run.context, run.start);
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
  const auto viewer = Watching(rig.shared);
  Sent sent;
  sent.terminal = std::make_unique<VtermScreen>(50, 80, true);
  // 600 bytes a tick: well under what the plasma needs.
  int64_t now = Start;
  for (int tick = 0; tick < 1500; ++tick, now += ShowTickNs) Pump(*viewer, now, sent, 600);
  EXPECT_GT(viewer->framesSkipped(), 0u);
  EXPECT_FALSE(viewer->inLog());
  // Once it takes all it is given, it shows the present due.
  Pump(*viewer, now, sent);
  now += ShowTickNs;
  Pump(*viewer, now, sent);
  EXPECT_EQ(
      Mismatch(sent, rig, rig.reel.NewestAt(static_cast<uint32_t>((now - Start) / ShowTickNs))),
      "");
}

// Viewers that could take nothing for a while skip together to the newest
// present: drawn whole there once, for both, and in step again after it.
TEST(ViewerShow, ViewersThatSkipTogetherShareTheirRedraw) {
  ViewerRig rig;
  const auto a = Watching(rig.shared), b = Watching(rig.shared);
  Sent sentA, sentB;
  int64_t now = Start;
  for (int tick = 0; tick < 300; ++tick, now += ShowTickNs) {
    const size_t room = tick >= 100 && tick < 160 ? 0 : SIZE_MAX;  // a second with no room
    Pump(*a, now, sentA, room);
    Pump(*b, now, sentB, room);
  }
  EXPECT_GT(a->framesSkipped(), 0u);
  EXPECT_EQ(a->framesSkipped(), b->framesSkipped());
  EXPECT_TRUE(a->inLog() && b->inLog());
  EXPECT_EQ(rig.logs.logs(), 1u);
  EXPECT_TRUE(sentA.out == sentB.out);
  // Every present sent was encoded once for the two.
  EXPECT_LE(rig.logs.encodes(), a->framesSent() + 2);
}

// A request a client makes, and whether the viewer grants it (requests
// with no answer count as granted); then `play` presents pumped.
struct Step {
  std::function<bool(Viewer&)> request;
  bool granted = true;
  int play = 0;
};
Step Pty(std::string term = "xterm", int64_t columns = 80, int64_t rows = 50, bool granted = true) {
  return {[=](Viewer& v) { return v.Pty(term, columns, rows); }, granted};
}
Step Env(std::string name, std::string value, bool granted = true) {
  return {[=](Viewer& v) { return v.Env(name, value); }, granted};
}
Step Shell(bool granted = true) {
  return {[](Viewer& v) { return v.Shell(Start); }, granted};
}
Step Exec(bool granted = true) {
  return {[](Viewer& v) { return v.Exec("ls", Start); }, granted};
}
Step Window(int64_t columns, int64_t rows) {
  return {[=](Viewer& v) { return v.WindowChange(columns, rows), true; }};
}
Step Type(size_t bytes) {
  return {[=](Viewer& v) { return v.Typed(bytes), true; }};
}
Step Stop(Viewer::End end) {
  return {[=](Viewer& v) { return v.Stop(end), true; }};
}
Step Play(int presents) { return {nullptr, true, presents}; }

TEST(ViewerRequests, EachRequestIsGrantedOrRefusedAndEndsAsItShould) {
  using End = Viewer::End;
  // A refusal says why on stderr with status 2; a show that began ends with
  // status 0 and the terminal given back, unless its connection went.
  struct Case {
    const char* name;
    End end;
    std::string refusal;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"a shell without a pty", End::NoTerminal, "ssh -t", {Shell()}},
      {"a command", End::Command, "runs no commands", {Pty(), Exec()}},
      {"a dumb terminal",
       End::Unsuitable,
       "'dumb' cannot place the cursor",
       {Pty("dumb"), Shell()}},
      {"a key", End::Key, "", {Pty(), Shell(), Play(50), Type(1)}},
      {"a key typed before the show is not the show's",
       End::Stopping,
       "",
       {Pty(), Type(1), Shell(), Play(30), Stop(End::Stopping)}},
      {"the server stops", End::Stopping, "", {Pty(), Shell(), Play(5), Stop(End::Stopping)}},
      {"the connection goes", End::Gone, "", {Pty(), Shell(), Play(5), Stop(End::Gone)}},
      {"the show's end", End::ShowOver, "", {Pty(), Shell(), Play(INT32_MAX)}},
      {"a second pty, odd values, unknown names",
       End::Key,
       "",
       {Pty("xterm", -5, 1LL << 40), Pty("vt100", 80, 50, false),
        Env("LD_PRELOAD", "/tmp/x", false), Env("LANG", std::string(65, 'x'), false),
        Env("LANG", "C.UTF-8"), Shell(), Shell(false), Exec(false), Window(80, 50), Play(30),
        Type(1)}},
      {"0x0, then room",
       End::Key,
       "",
       {Pty("xterm", 0, 0), Shell(), Play(20), Window(80, 50), Play(20), Type(1)}},
      {"65535x65535", End::Key, "", {Pty("xterm", 65535, 65535), Shell(), Play(30), Type(1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewerRig rig;
    Viewer viewer(rig.shared);
    Sent sent;
    int presents = 0;
    // The time `later` presents on; past the last present, the show's end.
    auto due = [&](int later = 0) {
      return presents + later < rig.reel.presents()
                 ? rig.DueNs(Start, presents + later)
                 : Start + int64_t{rig.reel.endTick()} * ShowTickNs;
    };
    for (const Step& s : c.steps) {
      if (s.request) {
        EXPECT_EQ(s.request(viewer), s.granted);
      }
      for (int i = 0; i < s.play && presents < rig.reel.presents(); ++i, ++presents)
        Pump(viewer, due(), sent);
      if (s.play > 0) {
        EXPECT_FALSE(viewer.done()) << "ended before the show's end";
      }
      Pump(viewer, due(), sent);
    }
    const size_t before = sent.out.size() + sent.err.size();
    Pump(viewer, due(100), sent);
    EXPECT_EQ(sent.out.size() + sent.err.size(), before) << "sent more after its end";
    EXPECT_TRUE(viewer.done());
    EXPECT_EQ(viewer.end(), c.end);
    if (c.end != End::Gone) {
      EXPECT_EQ(viewer.exitStatus(), c.refusal.empty() ? 0 : 2);
    }
    EXPECT_NE(sent.err.find(c.refusal), std::string::npos) << sent.err;
    EXPECT_EQ(sent.out.ends_with(RestoreSequence), c.refusal.empty() && c.end != End::Gone);
    EXPECT_EQ(viewer.framesSkipped(), 0u);
    EXPECT_LE(sent.largestChunk, TerminalView::MaxFrameBytes);
  }
}

// Any number of window changes between frames, of any size: each frame is
// written for the size of its time, and the last size shows the frame due.
TEST(ViewerRequests, AFloodOfWindowChangesEndsWithTheFrameDueAtTheLastSize) {
  ViewerRig rig;
  const auto viewer = Watching(rig.shared);
  Sent sent;
  int present = 0;
  for (int round = 0; round < 40; ++round, ++present) {
    for (int change = 0; change < 250; ++change)
      viewer->WindowChange(change % 3 == 0 ? 0 : 40 + change % 200, 12 + change % 100);
    Pump(*viewer, rig.DueNs(Start, present), sent);
  }
  viewer->WindowChange(80, 50);
  // The change of size redraws in full: the terminal needs nothing before.
  sent.terminal = std::make_unique<VtermScreen>(50, 80, true);
  sent.fed = sent.out.size();
  Pump(*viewer, rig.DueNs(Start, present), sent);
  EXPECT_EQ(Mismatch(sent, rig, present), "");
}

}  // namespace
}  // namespace cellshow
