#include "export/art_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cellshow {

ArtExport::ArtExport(ArtFormat format, uint32_t atTick, std::time_t now)
    : format_(format), atTick_(atTick), now_(now) {}

ExportStatus ArtExport::Begin(const ShowTimeline&, const std::string& path) {
  path_ = path;
  ClearScreen(screen_);  // black before the first present
  return {};
}

ExportStatus ArtExport::Frame(uint32_t tick, const ScreenCells& cells) {
  if (tick <= atTick_) std::memcpy(screen_, cells, sizeof screen_);
  return {};
}

ExportStatus ArtExport::Finish() {
  char title[40], date[16];
  std::snprintf(title, sizeof title, "cellshow at %u.%03u s", atTick_ * TickMilliseconds / 1000,
                atTick_ * TickMilliseconds % 1000);
  std::tm day{};
  gmtime_r(&now_, &day);
  std::strftime(date, sizeof date, "%Y%m%d", &day);
  const std::vector<uint8_t> bytes = WriteArt(format_, screen_, ArtLabel{title, date});
  std::FILE* out = std::fopen(path_.c_str(), "wb");
  if (out == nullptr) return ExportStatus::Fail(std::strerror(errno));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const int saved = errno;
  if (std::fclose(out) != 0 || !written)
    return ExportStatus::Fail(std::strerror(written ? errno : saved));
  return {};
}

}  // namespace cellshow
