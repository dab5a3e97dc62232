// The functions the page calls (exported from the WebAssembly module), and
// the page hooks the backend calls back through (Module.onMusicPlay and
// Module.onMusicCloseAll, set by the page).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstring>

#include "platform/stats/stats_text.h"
#include "platform/web/web_platform.h"
#include "shell/assets.h"

namespace cellshow {
namespace {

EM_JS(void, PagePlayMusic, (const char* file, double dueMs), {
  if (Module["onMusicPlay"]) Module["onMusicPlay"](UTF8ToString(file), dueMs);
});

EM_JS(void, PageCloseAllMusic, (), {
  if (Module["onMusicCloseAll"]) Module["onMusicCloseAll"]();
});

class Page : public PageHooks {
 public:
  void PlayMusic(const char* file, double dueMs) override { PagePlayMusic(file, dueMs); }
  void CloseAllMusic() override { PageCloseAllMusic(); }
};

// The files the page fetches into /data before the start: every file the
// show opens, and the music of its play command.
constexpr int PageAssetCount = sizeof ShowFileNames / sizeof ShowFileNames[0];

Page page;
WebShow& TheShow() {
  static WebShow show("/data", page);
  return show;
}

}  // namespace
}  // namespace cellshow

using namespace cellshow;

extern "C" {

// The i-th file to fetch, as a path relative to the page ("data/img.txt");
// null past the last one.
EMSCRIPTEN_KEEPALIVE const char* cellshow_asset(int i) {
  if (i < 0 || i >= PageAssetCount) return nullptr;
  const char* builtIn = ShowFileNames[i];
  size_t length = std::strlen(builtIn);
  static char path[256];
  if (length >= sizeof path) length = sizeof path - 1;
  for (size_t k = 0; k < length; ++k) path[k] = builtIn[k] == '\\' ? '/' : builtIn[k];
  path[length] = '\0';
  return path;
}

EMSCRIPTEN_KEEPALIVE void cellshow_begin(double nowMs, int loop) {
  TheShow().Begin(nowMs, loop != 0);
}
EMSCRIPTEN_KEEPALIVE uint32_t cellshow_frame(double nowMs, uint32_t tickLimit) {
  return TheShow().Frame(nowMs, tickLimit);
}
EMSCRIPTEN_KEEPALIVE void cellshow_key() { TheShow().Key(); }
EMSCRIPTEN_KEEPALIVE const uint32_t* cellshow_image() { return TheShow().image().pixels; }
EMSCRIPTEN_KEEPALIVE uint32_t cellshow_ticks() { return TheShow().ticks(); }
EMSCRIPTEN_KEEPALIVE uint32_t cellshow_dropped_ticks() { return TheShow().schedule().dropped(); }
// The tick figures so far, as --stats prints them.
EMSCRIPTEN_KEEPALIVE const char* cellshow_stats() {
  static char text[StatsText::Room];
  StatsText stats;
  stats.Ticks(TheShow().schedule().Stats());
  std::memcpy(text, stats.text(), stats.size() + 1);
  return text;
}
EMSCRIPTEN_KEEPALIVE double cellshow_worst_lateness_ms() {
  return TheShow().schedule().worstLatenessMs();
}

}  // extern "C"
