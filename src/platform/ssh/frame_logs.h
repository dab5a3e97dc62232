#pragma once
// Encode once, send many. Viewers whose terminals are alike (capabilities,
// fit and size) and that were drawn whole at the same present and sent every
// present since are sent exactly the same bytes from one present to the next,
// whenever each of them started. A log per kind of terminal and present
// drawn whole holds those bytes: one terminal view encodes each present
// once, for the first viewer that needs it, and every other viewer sends the
// same bytes later. Every show starts in the log drawn whole at present 0; a
// viewer that skipped presents (it could not take them in time) is drawn
// whole at the present it skipped to, in the log that starts there, which
// the viewers that skipped to it at the same time share.
//
// A log keeps the changes from the present its slowest viewer was sent last
// on (viewers say where they are as they move), and at most MemberBytes for
// each viewer in it, MaxLogBytes in all; older changes are let go first. A
// viewer that finds the change it needs let go moves on as after a skip. A
// log with no viewers is dropped.
//
// Single-threaded: the server's loop owns it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
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

  // A viewer of this kind of terminal, drawn whole at present `start`,
  // joins its log, which is made when it is the first; it is at `start - 1`.
  Log* Join(const TerminalKind& kind, int start);
  // The viewer at present `from` has been sent the changes up to `to`.
  void Moved(Log* log, int from, int to);
  // The viewer at present `at` leaves.
  void Leave(Log* log, int at);

  // The bytes that bring a terminal in `log` from present `present - 1` to
  // `present` (for the log's start: from anything to that frame, drawn
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
  Log(const TerminalKind& k, int s)
      : kind(k), start(s), view(k.capabilities, k.fit), first(s), encoded(s) {}
  TerminalKind kind;
  int start;                        // the present drawn whole
  TerminalView view;                // has encoded presents start .. encoded - 1
  std::deque<std::string> changes;  // presents first .. encoded - 1
  int first;
  int encoded;
  size_t bytes = 0;  // held in `changes`
  int members = 0;
  std::map<int, int> at;  // the present each viewer was sent last: viewers there
};

}  // namespace cellshow
