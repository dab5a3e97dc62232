#pragma once
// Encode once, send many. Viewers whose terminals are alike (capabilities,
// fit and size) and that have been sent every present of the show since
// their first are sent exactly the same bytes from one present to the next,
// whenever each of them started. A log per kind of terminal holds those
// bytes: one terminal view encodes each present once, for the first viewer
// that needs it, and every other viewer sends the same bytes later.
//
// A log keeps at most MemberBytes for each viewer in it, and MaxLogBytes in
// all; older changes are let go first. A viewer that finds the change it
// needs let go (it started much later or fell behind) is encoded on its own
// from then on (viewer.h). A log with no viewers left is dropped.
//
// Single-threaded: the server's loop owns it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ssh/show_reel.h"
#include "render/ansi/terminal_view.h"

namespace cellshow {

struct TerminalKind {
  TerminalCapabilities capabilities;
  FitMode fit = FitMode::Auto;
  TerminalSize size;
  friend bool operator==(const TerminalKind&, const TerminalKind&) = default;
};

class FrameLogs {
 public:
  static constexpr size_t MemberBytes = size_t{512} << 10;
  static constexpr size_t MaxLogBytes = size_t{16} << 20;

  struct Log;

  // `scratch` has TerminalView::MaxFrameBytes of room; the logs encode into
  // it and copy what they keep.
  FrameLogs(const ShowReel& reel, char* scratch);
  ~FrameLogs();
  FrameLogs(const FrameLogs&) = delete;
  FrameLogs& operator=(const FrameLogs&) = delete;

  // A viewer of this kind of terminal joins its log, which is made when it
  // is the first.
  Log* Join(const TerminalKind& kind);
  void Leave(Log* log);

  // The bytes that bring a terminal in `log` from present `present - 1` to
  // `present` (for present 0: from nothing shown to the first frame, drawn
  // whole). Valid until the next call. False when they have been let go.
  bool Change(Log* log, int present, std::string_view& bytes);

  // Figures: logs, encodes done, bytes held.
  size_t logs() const { return logs_.size(); }
  uint64_t encodes() const { return encodes_; }
  size_t bytesHeld() const;

 private:
  const ShowReel& reel_;
  char* const scratch_;
  std::vector<std::unique_ptr<Log>> logs_;
  uint64_t encodes_ = 0;
};

struct FrameLogs::Log {
  explicit Log(const TerminalKind& k) : kind(k), view(k.capabilities, k.fit) {}
  TerminalKind kind;
  TerminalView view;                // has encoded presents 0 .. encoded - 1
  std::deque<std::string> changes;  // presents first .. encoded - 1
  int first = 0;
  int encoded = 0;
  size_t bytes = 0;  // held in `changes`
  int members = 0;
};

}  // namespace cellshow
