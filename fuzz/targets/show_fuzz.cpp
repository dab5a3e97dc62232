// The whole show on data files from the fuzzer's bytes, and what a terminal
// is sent of any grid at any size.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "render/ansi/terminal_view.h"
#include "shell/assets.h"
#include "show/show.h"

namespace cellshow::fuzz {
namespace {

// The show's host with its files in memory and its ticks run back to back,
// as many as the budget allows; presents and media commands go nowhere.
class MemoryHost : public Host {
 public:
  explicit MemoryHost(uint32_t tickBudget) : tickBudget_(tickBudget) {}

  std::map<std::string, std::vector<uint8_t>> files;  // by built-in name

  void PrepareConsole() override {}
  void PresentScreen(const ScreenCells&) override {}
  FileHandle OpenFile(const char* name) override {
    const auto found = files.find(name);
    if (found == files.end()) return InvalidFile;
    open_.push_back({&found->second, 0});
    return static_cast<FileHandle>(open_.size() - 1);
  }
  uint32_t ReadFile(FileHandle file, void* destination, uint32_t count) override {
    if (file < 0 || static_cast<size_t>(file) >= open_.size()) return 0;
    OpenedFile& f = open_[static_cast<size_t>(file)];
    const size_t left = f.bytes->size() - f.position;
    const uint32_t n = count < left ? count : static_cast<uint32_t>(left);
    std::copy_n(f.bytes->data() + f.position, n, static_cast<uint8_t*>(destination));
    f.position += n;
    return n;
  }
  void RewindFile(FileHandle file) override {
    if (file >= 0 && static_cast<size_t>(file) < open_.size())
      open_[static_cast<size_t>(file)].position = 0;
  }
  void CloseFile(FileHandle) override {}
  void SendMediaCommand(const char*) override {}
  uint32_t StartTimer(int32_t, int32_t, TickCallback tick, void* context) override {
    tick_ = tick;
    context_ = context;
    return 1;
  }
  void KillTimer(uint32_t) override { tick_ = nullptr; }
  int32_t KeyHit() override {
    if (ended_ || tick_ == nullptr || ticks_ >= tickBudget_) return 1;
    ++ticks_;
    tick_(context_);
    return ended_ ? 1 : 0;
  }
  void KeepTicksOut() override { tick_ = nullptr; }
  void AwaitExit() override {}
  void ExitProcess(int) override { ended_ = true; }

 private:
  struct OpenedFile {
    const std::vector<uint8_t>* bytes;
    size_t position;
  };
  const uint32_t tickBudget_;
  std::vector<OpenedFile> open_;
  TickCallback tick_ = nullptr;
  void* context_ = nullptr;
  uint32_t ticks_ = 0;
  bool ended_ = false;
};

}  // namespace

int FuzzShowData(const uint8_t* data, size_t size) {
  // The first byte picks the entry of the script the show starts at: 0 plays
  // the whole show (3773 ticks); any other entry plays that scene and the
  // next for a few hundred ticks, so that the scenes that read files most
  // are reached at many executions a second.
  ByteReader in(data, size);
  const uint8_t entry = in.Byte() % ScriptLength;
  // Then the nine files the show reads, in the order it opens them; the
  // tenth, the music, is only named in a media command, never read.
  constexpr size_t FileCount = sizeof ShowFileNames / sizeof ShowFileNames[0] - 1;
  const auto rest = in.Rest();
  const auto parts = SplitParts(rest.data(), rest.size(), FileCount);
  MemoryHost host(entry == 0 ? 3800 : 400);
  for (size_t i = 0; i < FileCount; ++i)
    host.files[ShowFileNames[i]].assign(parts[i].begin(), parts[i].end());
  const auto show = std::make_unique<Show>(host);
  StartUp(*show);
  show->seq.ScriptIndex = entry;
  show->seq.CurrentScene = SceneScript[entry];
  while (host.KeyHit() == 0) {
  }
  Shutdown(*show);
  return 0;
}

int FuzzTerminalView(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  const uint8_t setup = in.Byte();
  TerminalCapabilities capabilities;
  capabilities.colors = static_cast<ColorDepth>(setup & 3);
  capabilities.glyphs = setup & 4 ? GlyphSet::Ascii : GlyphSet::Unicode;
  capabilities.backgroundColorErase = (setup & 8) != 0;
  const FitMode fit = static_cast<FitMode>((setup >> 4) % 3);
  TerminalView view(capabilities, fit);
  // Exactly the room the view promises to stay within, so that a write past
  // it is caught.
  const auto out = std::make_unique<char[]>(TerminalView::MaxFrameBytes);
  static ScreenCells screen;
  for (int step = 0; step < 8 && !in.empty(); ++step) {
    const uint8_t flags = in.Byte();
    TerminalSize terminal{in.Word(), in.Word()};
    if (flags & 1) view.Invalidate();
    // New cells from the bytes, a character then an attribute each; the
    // rest of the grid keeps the last frame's.
    const auto cells = in.Take(flags & 2 ? 2 * ScreenCellCount : 2 * (flags >> 2));
    for (size_t k = 0; 2 * k + 1 < cells.size(); ++k)
      screen[k] = Cell{cells[2 * k], cells[2 * k + 1]};
    view.Encode(screen, terminal, out.get());
  }
  return 0;
}

}  // namespace cellshow::fuzz
