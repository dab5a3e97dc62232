#include "export/progress_line.h"

#include <cstdio>

#include "render/ansi/terminal_sequences.h"

namespace cellshow {
namespace {

std::string Clock(int64_t ms) {
  const int64_t s = ms / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60));
  return text;
}

}  // namespace

std::string ProgressText(const std::string& label, uint32_t done, uint32_t total,
                         int64_t elapsedMs) {
  if (done > total) done = total;
  const unsigned percent = total == 0 ? 100 : static_cast<unsigned>(uint64_t{done} * 100 / total);
  char counts[64];
  std::snprintf(counts, sizeof counts, "  %3u%%  %u/%u frames  ", percent, done, total);
  std::string text = label + counts + Clock(elapsedMs) + " elapsed";
  if (done > 0) {
    const int64_t left = static_cast<int64_t>(static_cast<double>(elapsedMs) *
                                              static_cast<double>(total - done) / done);
    text += "  " + Clock(left) + " left";
  }
  return text;
}

ProgressLine::ProgressLine(std::string label, uint32_t total, bool enabled)
    : label_(std::move(label)), total_(total), enabled_(enabled) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Update(uint32_t done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (now < nextDraw_) return;
  nextDraw_ = now + std::chrono::milliseconds(100);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_);
  // Carriage return, the line, then erase whatever a longer line left.
  std::fprintf(stderr, "\r%s%s", ProgressText(label_, done, total_, elapsed.count()).c_str(),
               escape::EraseLineRight);
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%s", escape::EraseLineRight);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace cellshow
