#include "platform/ssh/viewer.h"

#include <algorithm>

#include "platform/terminal/terminal_modes.h"

namespace cellshow {
namespace {

// What a viewer's client may set: the locale and COLORTERM, as the local
// program reads them. Longer values are refused.
constexpr size_t MaxEnvValue = 64;

// A viewer in a log that missed a few presents (the server's loop came late)
// is sent the log's changes one after another, when they are few and small,
// instead of leaving the log.
constexpr int MaxCatchUp = 4;
constexpr size_t MaxCatchUpBytes = 64 << 10;

int ClampSide(int64_t side) { return static_cast<int>(std::clamp<int64_t>(side, 0, 65535)); }

// A terminal type as the log line shows it: printable ASCII, at most
// MaxNameLength bytes.
std::string Printable(std::string_view text) {
  std::string out(text.substr(0, TerminalTypes::MaxNameLength));
  for (char& c : out)
    if (c < 0x21 || c > 0x7E) c = '?';
  return out;
}

}  // namespace

int ServeFigures::LatenessQuantile(double q) const {
  uint64_t total = 0;
  for (uint64_t n : lateness) total += n;
  if (total == 0) return 0;
  // The frame at that rank, counted from 0: the last one for q = 1.
  const auto wanted = std::min(total - 1, static_cast<uint64_t>(q * static_cast<double>(total)));
  uint64_t seen = 0;
  for (int ms = 0; ms <= 1000; ++ms) {
    seen += lateness[ms];
    if (seen > wanted) return ms;
  }
  return 1000;
}

const char* Viewer::Describe(End end) {
  switch (end) {
    case End::None:
      return "not started";
    case End::Key:
      return "key";
    case End::ShowOver:
      return "show over";
    case End::NoTerminal:
      return "no pty";
    case End::Command:
      return "command refused";
    case End::Unsuitable:
      return "terminal type cannot place the cursor";
    case End::Stopping:
      return "server stopping";
    case End::Stalled:
      return "read nothing for 30 s";
    case End::Gone:
      return "connection closed";
  }
  return "?";
}

Viewer::Viewer(ViewerContext& context) : context_(context) {}

Viewer::~Viewer() { LeaveLog(); }

bool Viewer::Pty(std::string_view term, int64_t columns, int64_t rows) {
  if (phase_ != Phase::Setup || pty_) return false;
  pty_ = true;
  // A name that cannot be terminfo's is kept only for the log line.
  term_ = TerminalTypes::Plausible(term) ? std::string(term) : Printable(term);
  if (!TerminalTypes::Plausible(term)) term_ += term.empty() ? "(none)" : " (unknown)";
  size_ = {ClampSide(columns), ClampSide(rows)};
  return true;
}

bool Viewer::Env(std::string_view name, std::string_view value) {
  if (phase_ != Phase::Setup || value.size() > MaxEnvValue) return false;
  std::string* slot = name == "COLORTERM"  ? &colorterm_
                      : name == "LC_ALL"   ? &lcAll_
                      : name == "LC_CTYPE" ? &lcCtype_
                      : name == "LANG"     ? &lang_
                                           : nullptr;
  if (slot == nullptr) return false;
  slot->assign(value);
  return true;
}

std::string Viewer::Line(const std::string& text) const {
  return "cellshow: " + text + (pty_ ? "\r\n" : "\n");
}

bool Viewer::Shell(int64_t startNs) {
  if (phase_ != Phase::Setup) return false;
  if (!pty_) {
    Close(End::NoTerminal,
          Line("the show needs a terminal; connect without -T (ssh -t asks for one)"), true, 2);
    return true;
  }
  const TerminfoFacts facts = context_.types.Facts(term_);
  if (!facts.cursorAddress) {
    Close(
        End::Unsuitable,
        Line("the terminal type '" + term_ + "' cannot place the cursor; watch from one that can"),
        true, 2);
    return true;
  }
  // The locale as the C library reads it: LC_ALL, then LC_CTYPE, then LANG;
  // UTF-8 when the client sends none.
  const std::string* locale = !lcAll_.empty() ? &lcAll_ : !lcCtype_.empty() ? &lcCtype_ : &lang_;
  const std::string codeset = locale->empty() ? "UTF-8" : CodesetOfLocaleName(locale->c_str());
  kind_.capabilities = ChooseCapabilities(facts, colorterm_.empty() ? nullptr : colorterm_.c_str(),
                                          codeset.c_str(), context_.colors, context_.glyphs);
  kind_.fit = context_.fit;
  kind_.size = size_;
  phase_ = Phase::Playing;
  startNs_ = startNs;
  if (context_.logs != nullptr) log_ = context_.logs->Join(kind_, 0);
  return true;
}

bool Viewer::Exec(std::string_view, int64_t) {
  if (phase_ != Phase::Setup) return false;
  Close(End::Command, Line("this server runs no commands; connect without one to watch the show"),
        true, 2);
  return true;
}

void Viewer::WindowChange(int64_t columns, int64_t rows) {
  size_ = {ClampSide(columns), ClampSide(rows)};
  if (!offering_) Settle();
}

void Viewer::Typed(size_t count) {
  if (count > 0 && phase_ == Phase::Playing && pendingEnd_ == End::None) pendingEnd_ = End::Key;
  if (!offering_) Settle();
}

void Viewer::Stop(End why) {
  if (pendingEnd_ == End::None || why == End::Gone || why == End::Stalled) pendingEnd_ = why;
  if (!offering_) Settle();
}

void Viewer::Settle() {
  const End why = pendingEnd_;
  pendingEnd_ = End::None;
  if (why == End::Gone || why == End::Stalled) {
    if (end_ == End::None) end_ = why;
    tail_.clear();
    phase_ = Phase::Done;
    LeaveLog();
  } else if (why != End::None && phase_ == Phase::Playing) {
    Close(why, entered_ ? std::string_view(RestoreSequence) : std::string_view(), false, 0);
  } else if (why == End::Stopping && phase_ == Phase::Setup) {
    Close(why, {}, false, 0);
  }
  if (phase_ == Phase::Playing && size_ != kind_.size) {
    // The log's bytes are for the old size: a view of its own redraws.
    LeaveLog();
    kind_.size = size_;
  }
}

void Viewer::Close(End why, std::string_view bytes, bool toStderr, int status) {
  if (end_ == End::None) end_ = why;
  exitStatus_ = status;
  tail_.assign(bytes);
  tailToStderr_ = toStderr;
  phase_ = tail_.empty() ? Phase::Done : Phase::Closing;
  LeaveLog();
}

void Viewer::LeaveLog() {
  if (log_ == nullptr) return;
  context_.logs->Leave(log_, sent_);
  log_ = nullptr;
}

Viewer::Chunk Viewer::Next(int64_t nowNs) {
  if (offering_) return {offered_, offeredIsTail_ && tailToStderr_};
  Settle();
  Chunk chunk;
  if (!tail_.empty()) {
    chunk = {tail_, tailToStderr_};
    offeredIsTail_ = true;
  } else if (phase_ == Phase::Closing) {
    phase_ = Phase::Done;
  } else if (phase_ == Phase::Playing) {
    offeredIsTail_ = false;
    if (!entered_) {
      entered_ = true;
      chunk.bytes = EnterSequence;
    } else {
      const int64_t elapsed = nowNs > startNs_ ? (nowNs - startNs_) / ShowTickNs : 0;
      const auto tick = static_cast<uint32_t>(std::min<int64_t>(elapsed, UINT32_MAX));
      const int due = context_.reel.NewestAt(tick, sent_);
      if (due != sent_) {
        chunk.bytes = Frame(due, nowNs);
        offeredIsTail_ = chunk.bytes.data() == tail_.data();
      } else if (tick >= context_.reel.endTick() && sent_ == context_.reel.presents() - 1) {
        Close(End::ShowOver, RestoreSequence, false, 0);
        chunk.bytes = tail_;
        offeredIsTail_ = true;
      }
    }
  }
  offered_ = chunk.bytes;
  offering_ = !offered_.empty();
  return chunk;
}

void Viewer::Took(size_t count) {
  if (!offering_) return;
  count = std::min(count, offered_.size());
  bytes_ += count;
  context_.figures.bytes += count;
  if (offeredIsTail_) {
    tail_.erase(0, count);
  } else {
    tail_.assign(offered_.substr(count));
    tailToStderr_ = false;
  }
  offered_ = {};
  offering_ = false;
  if (phase_ == Phase::Closing && tail_.empty()) phase_ = Phase::Done;
  Settle();
}

// Sends the changes of the viewer's log from the present it shows up to
// `due` one after another, into tail_. False when they are too many or too
// large, or have been let go.
bool Viewer::CatchUp(int due) {
  if (due - sent_ > MaxCatchUp) return false;
  tail_.clear();
  for (int present = sent_ + 1; present <= due; ++present) {
    std::string_view change;
    if (!context_.logs->Change(log_, present, change) ||
        tail_.size() + change.size() > MaxCatchUpBytes) {
      tail_.clear();
      return false;
    }
    tail_.append(change);
  }
  return true;
}

std::string_view Viewer::Frame(int due, int64_t nowNs) {
  const int missed = due - sent_ - 1;
  int from = sent_;  // where the viewer is in log_
  std::string_view bytes;
  bool shared = false, skipped = missed > 0;
  if (log_ != nullptr) {
    shared = missed == 0 ? context_.logs->Change(log_, due, bytes) : CatchUp(due);
    if (shared && missed > 0) bytes = tail_;
    skipped = !shared && missed > 0;
    if (!shared) {
      LeaveLog();
      ++redraws_;
    }
  }
  // Out of step (or resized): drawn whole at `due`, in the log that starts
  // there, while it has not skipped too often.
  if (!shared && own_ == nullptr && context_.logs != nullptr && redraws_ <= MaxRedraws) {
    log_ = context_.logs->Join(kind_, due);
    from = due - 1;
    shared = context_.logs->Change(log_, due, bytes);
  }
  if (!shared) {
    if (log_ != nullptr) context_.logs->Leave(log_, from);
    log_ = nullptr;
    if (own_ == nullptr) own_ = std::make_unique<TerminalView>(kind_.capabilities, kind_.fit);
    ScreenCells cells;
    context_.reel.Cells(due, cells);
    bytes = {context_.scratch, own_->Encode(cells, size_, context_.scratch)};
    ++context_.figures.ownEncodes;
  }
  if (log_ != nullptr) context_.logs->Moved(log_, from, due);
  if (skipped) {
    skipped_ += static_cast<uint64_t>(missed);
    context_.figures.skipped += static_cast<uint64_t>(missed);
  }
  sent_ = due;
  ++frames_;
  ++context_.figures.frames;
  const int64_t dueNs = startNs_ + int64_t{context_.reel.tickOf(due)} * ShowTickNs;
  const int64_t lateMs = std::clamp<int64_t>((nowNs - dueNs) / 1'000'000, 0, 1000);
  ++context_.figures.lateness[lateMs];
  return bytes;
}

}  // namespace cellshow
