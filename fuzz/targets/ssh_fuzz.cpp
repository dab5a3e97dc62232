// What an SSH viewer sends once the protocol is done (pty requests with any
// terminal name and size, environment values, shell or command, window
// changes, typed bytes), driven straight into the viewer objects the server
// keeps, on a clock of the fuzzer's own. No sockets: libssh is not ours to
// fuzz, what we do with what it parsed is.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "platform/ssh/viewer.h"

namespace cellshow::fuzz {
namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

// Terminal types as a function of the name alone, so that a run repeats
// exactly and never waits on the server's terminfo.
TerminfoFacts FakeTerminfo(const char* term) {
  unsigned hash = 0;
  for (const char* c = term; *c != '\0'; ++c) hash = hash * 31u + static_cast<unsigned char>(*c);
  TerminfoFacts facts;
  facts.known = (hash & 1) != 0;
  facts.cursorAddress = (hash & 2) != 0;
  facts.colors = std::array{-1, 8, 16, 256}[(hash >> 2) & 3];
  facts.backgroundColorErase = (hash & 16) != 0;
  facts.directColor = (hash & 32) != 0;
  return facts;
}

// A short show of frames unlike each other: presents every third tick.
struct FuzzReel {
  FuzzReel() {
    std::vector<uint32_t> ticks;
    std::vector<const ScreenCells*> pointers;
    for (size_t f = 0; f < frames.size(); ++f) {
      for (int k = 0; k < ScreenCellCount; ++k)
        frames[f][k] = Cell{static_cast<uint8_t>(k * (f + 1)), static_cast<uint8_t>(k / 80 + f)};
      ticks.push_back(static_cast<uint32_t>(3 * f));
      pointers.push_back(&frames[f]);
    }
    reel.Assign(ticks, pointers, static_cast<uint32_t>(3 * frames.size()));
  }
  std::array<ScreenCells, 6> frames;
  ShowReel reel;
};

std::string_view Text(ByteReader& in) {
  const auto bytes = in.Take(in.Byte() % 80);
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Sizes of every sign and magnitude, the bounds among them.
int64_t Size(ByteReader& in) {
  const uint8_t kind = in.Byte();
  if (kind < 200) return kind;
  const int64_t word = static_cast<int16_t>(in.Word());
  return kind & 1 ? word * 70000 : word;
}

}  // namespace

int FuzzSshViewer(const uint8_t* data, size_t size) {
  static const FuzzReel show;
  const auto scratch = std::make_unique<char[]>(TerminalView::MaxFrameBytes);
  FrameLogs logs(show.reel, scratch.get());
  TerminalTypes types(FakeTerminfo);
  ServeFigures figures;
  ViewerContext shared{show.reel, &logs, types, scratch.get(), figures};
  ViewerContext alone{show.reel, nullptr, types, scratch.get(), figures};
  // Two viewers share their logs, the third encodes alone.
  Viewer a(shared), b(shared), c(alone);
  Viewer* viewers[] = {&a, &b, &c};

  ByteReader in(data, size);
  int64_t now = 0;
  while (!in.empty()) {
    const uint8_t op = in.Byte();
    Viewer& v = *viewers[(op >> 4) % 3];
    switch (op & 15) {
      case 0: {
        const auto term = Text(in);
        const int64_t columns = Size(in);
        v.Pty(term, columns, Size(in));
        break;
      }
      case 1: {
        const auto name = Text(in);
        v.Env(name, Text(in));
        break;
      }
      case 2:
        v.Shell(now);
        break;
      case 3:
        v.Exec(Text(in), now);
        break;
      case 4: {
        const int64_t columns = Size(in);
        v.WindowChange(columns, Size(in));
        break;
      }
      case 5:
        v.Typed(in.Byte());
        break;
      case 6: {
        // The ends the server itself calls for.
        constexpr Viewer::End ends[] = {Viewer::End::Stopping, Viewer::End::Stalled,
                                        Viewer::End::Gone};
        v.Stop(ends[in.Byte() % 3]);
        break;
      }
      default: {
        // Time passes, and the viewer's connection takes what it has room
        // for: all of it, part of a chunk, or nothing.
        now += int64_t{in.Byte()} * ShowTickNs / 4;
        const size_t room = in.Word();
        for (size_t taken = 0;;) {
          const Viewer::Chunk chunk = v.Next(now);
          if (chunk.bytes.empty()) break;
          Require(!v.done());
          const size_t n = std::min(room - taken, chunk.bytes.size());
          v.Took(n);
          taken += n;
          if (n < chunk.bytes.size()) break;
        }
        break;
      }
    }
  }
  // Whatever happened, every viewer can be told to stop and then finishes.
  for (Viewer* v : viewers) {
    v->Stop(Viewer::End::Stopping);
    for (int k = 0; k < 4 && !v->done(); ++k) {
      const Viewer::Chunk chunk = v->Next(now);
      v->Took(chunk.bytes.size());
    }
    Require(v->done() || !v->started());
  }
  return 0;
}

}  // namespace cellshow::fuzz
