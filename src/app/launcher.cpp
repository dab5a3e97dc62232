#include "app/launcher.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files/asset_paths.h"
#include "platform/headless/headless_run.h"
#include "show/show.h"
#ifdef _WIN32
#include "platform/win32/console_platform.h"
#elif !defined(__EMSCRIPTEN__)
#include "export/export_run.h"
#include "platform/ssh/serve_show.h"
#include "platform/terminal/terminal_show.h"
#include "platform/window/window_show.h"
#endif

namespace cellshow {
namespace {

// A live output: the choice that names it, whether the default choice tries
// it first on this machine, and how it opens with its own settings. An open
// that fails returns nullptr with one line in `error`.
struct LiveOutput {
  OutputChoice choice;
  bool (*preferred)();  // nullptr: the default's last resort
  Host* (*open)(const Options& options, Show& show, std::string& error);
};

#ifdef _WIN32
Host* OpenConsole(const Options& o, Show&, std::string& error) {
  return OpenConsoleHost(ConsoleSettings{o.dataDir, o.keyAfter, o.mute, o.stats}, error);
}
constexpr LiveOutput Outputs[] = {
    {OutputChoice::Terminal, nullptr, OpenConsole},
};
constexpr const char* NoSuchOutput = "this Windows build plays in the console; it has no window";
#elif defined(__EMSCRIPTEN__)
// Under node the page is the only live output, and it starts itself.
constexpr LiveOutput Outputs[] = {{OutputChoice::Auto, nullptr, nullptr}};
constexpr const char* NoSuchOutput =
    "under node only --record plays the show; serve the page to watch it (try --help)";
#else
// Set when the window was tried and could not open: the terminal's messages
// then do not send the user to it.
bool windowFailed = false;

int VolumeOf(const Options& o) { return o.volume < 0 ? 100 : o.volume; }

Host* OpenTerminal(const Options& o, Show&, std::string& error) {
  return OpenTerminalHost(
      TerminalSettings{o.dataDir, o.keyAfter, o.mute, o.stats, o.colors, o.glyphs, o.fit,
                       VolumeOf(o), DisplayNamed() && !windowFailed},
      error);
}
Host* OpenWindow(const Options& o, Show& show, std::string& error) {
  Host* host = OpenWindowHost(
      WindowSettings{o.dataDir, o.keyAfter, o.mute, o.stats, o.fullscreen, VolumeOf(o)}, show,
      error);
  windowFailed = host == nullptr;
  return host;
}
// A terminal that shows the whole grid plays there; otherwise a display
// gets a window.
bool WindowSuits() { return !TerminalShowsWholeGrid() && DisplayNamed(); }

constexpr LiveOutput Outputs[] = {
    {OutputChoice::Window, WindowSuits, OpenWindow},
    {OutputChoice::Terminal, nullptr, OpenTerminal},  // scaled when smaller, the notice below 40x12
};
constexpr const char* NoSuchOutput = "this build has no such output";

int Export(const Options& options) {
  const ExportSettings settings{options.exportPath,
                                options.dataDir,
                                MapAssetName(options.dataDir, MusicFileName),
                                options.atTick,
                                options.atText,
                                options.keyAfter,
                                options.mute,
                                static_cast<uint32_t>(options.startTick),
                                options.aspect};
  if (const int usage = CheckExportUsage(settings)) return usage;
  ReportMissingShowFiles(options.dataDir, options.dataSearched);
  return RunExport(settings);
}

int Serve(const Options& o) {
  ServeSettings settings;
  settings.dataDir = o.dataDir;
  settings.address = o.serveAddress;
  settings.port = o.servePort;
  settings.hostKeyPath = o.hostKey;
  settings.limits.maxViewers = o.maxViewers;
  settings.limits.maxPerAddress = o.maxPerAddress;
  settings.keyAfter = o.keyAfter;
  settings.stats = o.stats;
  settings.colors = o.colors;
  settings.glyphs = o.glyphs;
  settings.fit = o.fit;
  const char* shared = std::getenv("CELLSHOW_SERVE_SHARED");
  settings.shareFrames = shared == nullptr || std::strcmp(shared, "0") != 0;
  ReportMissingShowFiles(o.dataDir, o.dataSearched);
  return RunServe(settings);
}
#endif

// The live host for `options`, opened; nullptr after one line on stderr.
Host* OpenLiveHost(const Options& options, Show& show) {
  std::string error = NoSuchOutput;
  if (options.output == OutputChoice::Auto) {
    for (const LiveOutput& output : Outputs) {
      // A preferred output that cannot open gives way silently to the next.
      if (output.preferred != nullptr && !output.preferred()) continue;
      if (output.open == nullptr) break;
      error.clear();
      if (Host* host = output.open(options, show, error)) return host;
      if (output.preferred == nullptr) break;
    }
  } else {
    for (const LiveOutput& output : Outputs) {
      if (output.choice != options.output) continue;
      error.clear();
      if (Host* host = output.open(options, show, error)) return host;
      break;
    }
  }
  std::fprintf(stderr, "cellshow: %s\n", error.c_str());
  return nullptr;
}

}  // namespace

int Launch(const Options& options) {
  if (options.record) {
    ReportMissingShowFiles(options.dataDir, options.dataSearched);
    return RunRecord(RecordSettings{options.dataDir, options.recordPath, options.keyAfter,
                                    options.stats, static_cast<uint32_t>(options.startTick)});
  }
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
  if (!options.exportPath.empty()) return Export(options);
  if (options.serve) return Serve(options);
#endif
  static Show show;
  Host* host = OpenLiveHost(options, show);
  if (host == nullptr) return 2;
  ReportMissingShowFiles(options.dataDir, options.dataSearched);
  show.host = host;
  show.play.StartTick = static_cast<uint32_t>(options.startTick);
  show.play.Loop = options.loop;
  Start(show);  // a live host ends the process in the show's shutdown
  return 0;
}

}  // namespace cellshow
