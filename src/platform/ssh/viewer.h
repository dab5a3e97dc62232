#pragma once
// One viewer of the show over SSH, after the protocol: what the viewer's
// client asks for on its session channel (a pty with a terminal type and a
// size, environment values, a shell or a command, window changes, typed
// bytes) and the bytes that go back. No sockets and no SSH types: the server
// (ssh_server.h) feeds it what libssh parsed, and a test or a fuzzer can
// feed it directly.
//
// The show is a playback cursor over the reel on the server's clock: the
// present due at a time is the newest whose tick has passed since the
// viewer's start. Never more than one frame is in hand: a frame is made only
// once the one before has been taken whole, so a viewer that cannot take
// frames as fast as they come skips to the newest (as the local writer does
// for a slow terminal). Frames come from a log of alike terminals
// (frame_logs.h): the one every show starts in, and after a skip or a resize
// the one drawn whole at the present skipped to. A viewer that skips again
// and again (MaxRedraws times) is a slow one: a terminal view of its own
// then sends it only what changed, as the local writer would.
//
// What a viewer can make the server hold: this object (under 200 bytes plus
// its terminal type, at most 64 bytes kept), one frame's bytes not yet taken,
// its share of a log (at most FrameLogs::MemberBytes), and a terminal view of
// its own once it needs one (about 0.5 MiB).
//
// Single-threaded: the server's loop owns it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ssh/frame_logs.h"
#include "platform/ssh/show_reel.h"
#include "platform/ssh/terminal_types.h"
#include "render/ansi/terminal_view.h"

namespace cellshow {

constexpr int64_t ShowTickNs = 17'000'000;

// The figures of every viewer together, for --stats and the benchmark.
struct ServeFigures {
  uint64_t frames = 0;   // frames handed out
  uint64_t skipped = 0;  // presents never sent
  uint64_t bytes = 0;    // bytes taken
  uint64_t ownEncodes = 0;
  // Lateness of each frame handed out, against the tick it belongs to:
  // lateness[i] counts those from i to i+1 ms late; the last, 1 s or more.
  uint64_t lateness[1001] = {};
  // The smallest lateness at or above which a share `q` (0..1) of the frames
  // lie, in ms.
  int LatenessQuantile(double q) const;
};

// What every viewer shares: the reel, the logs (nullptr: each viewer
// encodes alone), the terminal types and a scratch buffer of
// TerminalView::MaxFrameBytes for encoding.
struct ViewerContext {
  const ShowReel& reel;
  FrameLogs* logs;
  TerminalTypes& types;
  char* scratch;
  ServeFigures& figures;
  // The server's choices (--colors, --glyphs, --fit) for every viewer.
  ColorMode colors = ColorMode::Auto;
  GlyphMode glyphs = GlyphMode::Auto;
  FitMode fit = FitMode::Auto;
};

class Viewer {
 public:
  // Why a viewer's show ended (or never began).
  enum class End : uint8_t {
    None,
    Key,         // the viewer typed
    ShowOver,    // the show's own end
    NoTerminal,  // a shell without a pty: "use ssh -t"
    Command,     // a command was asked for
    Unsuitable,  // the terminal type cannot place the cursor
    Stopping,    // the server is stopping
    Stalled,     // read nothing for too long (the server's call)
    Gone,        // the connection closed or failed
  };
  static const char* Describe(End end);

  explicit Viewer(ViewerContext& context);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  // Channel requests; each returns whether it is granted. Sizes outside
  // 0..65535 are taken as the nearest bound.
  bool Pty(std::string_view term, int64_t columns, int64_t rows);
  bool Env(std::string_view name, std::string_view value);
  // The show starts (or, without a pty, the line that asks for one goes
  // out). `startNs` is the clock's time of the show's tick 0.
  bool Shell(int64_t startNs);
  // A command: refused with a line; granted so that the line is read.
  bool Exec(std::string_view command, int64_t startNs);
  void WindowChange(int64_t columns, int64_t rows);
  // Bytes typed: while the show plays, any ends it.
  void Typed(size_t count);
  // The server ends it: Stopping gives the terminal back first; Stalled and
  // Gone send nothing more.
  void Stop(End why);

  // What to send at `nowNs`: nothing, a frame, or the bytes that end it.
  // `toStderr`: the bytes are a message for the standard error stream.
  // After a non-empty answer, Took must say how much was sent.
  struct Chunk {
    std::string_view bytes;
    bool toStderr = false;
  };
  Chunk Next(int64_t nowNs);
  void Took(size_t count);

  // The show has begun (a shell or command was granted).
  bool started() const { return phase_ != Phase::Setup; }
  // Everything is sent: the exit status goes out and the channel closes.
  bool done() const { return phase_ == Phase::Done; }
  int exitStatus() const { return exitStatus_; }
  End end() const { return end_; }
  const std::string& term() const { return term_; }
  TerminalSize size() const { return size_; }
  uint64_t framesSent() const { return frames_; }
  uint64_t framesSkipped() const { return skipped_; }
  uint64_t bytesSent() const { return bytes_; }
  int64_t startNs() const { return startNs_; }
  bool inLog() const { return log_ != nullptr; }

 private:
  enum class Phase : uint8_t { Setup, Playing, Closing, Done };
  void Close(End why, std::string_view bytes, bool toStderr, int status);
  std::string_view Frame(int due, int64_t nowNs);
  bool CatchUp(int due);
  void LeaveLog();
  // Carries out what arrived while bytes were offered (an end, a resize):
  // never while the transport may still read the offered bytes.
  void Settle();
  std::string Line(const std::string& text) const;

  ViewerContext& context_;
  Phase phase_ = Phase::Setup;
  End end_ = End::None;
  int exitStatus_ = 0;
  bool pty_ = false;
  std::string term_;
  TerminalSize size_{0, 0};
  std::string colorterm_, lcAll_, lcCtype_, lang_;  // each at most 64 bytes
  TerminalKind kind_;
  int64_t startNs_ = 0;
  bool entered_ = false;  // the enter sequence has been handed out
  int sent_ = -1;         // the present the terminal shows (or is being sent)
  FrameLogs::Log* log_ = nullptr;
  std::unique_ptr<TerminalView> own_;
  // Skips that began a log drawn whole; past MaxRedraws the view of its own.
  static constexpr int MaxRedraws = 3;
  int redraws_ = 0;
  // Bytes handed out by Next and not taken yet; the rest of a frame or of
  // the closing bytes is copied to `tail_`.
  std::string_view offered_;
  bool offering_ = false;
  bool offeredIsTail_ = false;
  End pendingEnd_ = End::None;
  std::string tail_;
  bool tailToStderr_ = false;
  uint64_t frames_ = 0, skipped_ = 0, bytes_ = 0;
};

}  // namespace cellshow
