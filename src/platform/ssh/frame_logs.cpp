#include "platform/ssh/frame_logs.h"

#include <algorithm>

namespace cellshow {

FrameLogs::FrameLogs(const ShowReel& reel, char* scratch) : reel_(reel), scratch_(scratch) {}

FrameLogs::~FrameLogs() = default;

FrameLogs::Log* FrameLogs::Join(const TerminalKind& kind, int start) {
  for (const auto& log : logs_) {
    if (log->kind == kind && log->start == start) {
      ++log->members;
      ++log->at[start - 1];
      return log.get();
    }
  }
  logs_.push_back(std::make_unique<Log>(kind, start));
  logs_.back()->members = 1;
  ++logs_.back()->at[start - 1];
  return logs_.back().get();
}

void FrameLogs::Moved(Log* log, int from, int to) {
  const auto at = log->at.find(from);
  if (at != log->at.end() && --at->second == 0) log->at.erase(at);
  ++log->at[to];
}

void FrameLogs::Leave(Log* log, int at) {
  if (log == nullptr) return;
  const auto there = log->at.find(at);
  if (there != log->at.end() && --there->second == 0) log->at.erase(there);
  if (--log->members > 0) return;
  std::erase_if(logs_, [log](const std::unique_ptr<Log>& l) { return l.get() == log; });
}

bool FrameLogs::Change(Log* log, int present, std::string_view& bytes) {
  if (present < log->first || present >= reel_.presents()) return false;
  ScreenCells cells;
  while (log->encoded <= present) {
    reel_.Cells(log->encoded, cells);
    const size_t n = log->view.Encode(cells, log->kind.size, scratch_);
    log->changes.emplace_back(scratch_, n);
    log->bytes += n;
    ++log->encoded;
    ++encodes_;
  }
  const size_t budget = std::min(MaxLogBytes, MemberBytes * static_cast<size_t>(log->members));
  // Changes every viewer has been sent go, and past the budget the oldest;
  // the one asked for stays.
  const int slowest = log->at.empty() ? present - 1 : log->at.begin()->first;
  while (log->first < present && (log->first <= slowest || log->bytes > budget)) {
    log->bytes -= log->changes.front().size();
    log->changes.pop_front();
    ++log->first;
  }
  bytes = log->changes[static_cast<size_t>(present - log->first)];
  return true;
}

size_t FrameLogs::bytesHeld() const {
  size_t held = 0;
  for (const auto& log : logs_) held += log->bytes;
  return held;
}

}  // namespace cellshow
