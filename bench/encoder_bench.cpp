// Bytes and encode time of every present of the show, for our terminal
// encoder (16-colour and 24-bit), a naive full redraw and ncursesw.
//
// Frames: the presents of a headless recording named by CELLSHOW_RECORDING
// (made with `cellshow --record FILE`); without it, a generated sequence that
// follows the show's script: plasma frames every third tick, full-screen
// animations, growing line bursts, wireframes, black frames between scenes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/recording.h"
#include "render/ansi/console_palette.h"
#include "render/ansi/cp437_glyphs.h"
#include "render/ansi/frame_encoder.h"

#ifdef CELLSHOW_HAVE_NCURSESW
#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include <clocale>
#endif

namespace cellshow {
namespace {

struct Frame {
  Cell cells[ScreenCellCount];
};
using Frames = std::vector<Frame>;

// ---------------------------------------------------------------------------
// The generated show.

void Put(Frame& f, int x, int y, uint8_t c, uint8_t a) {
  if (x >= 0 && x < ScreenWidth && y >= 0 && y < ScreenHeight)
    f.cells[y * ScreenWidth + x] = {c, a};
}

void Line(Frame& f, int x0, int y0, int x1, int y1, uint8_t c, uint8_t a, int limit = 1 << 30) {
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (int n = 0; n < limit; ++n) {
    Put(f, x0, y0, c, a);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

int Level(int phase) {
  phase &= 255;
  return phase < 44 ? 2 : phase < 87 ? 1 : phase < 172 ? 0 : phase < 215 ? 1 : 2;
}

Frame Plasma(int n) {
  static const uint8_t glyphs[9] = {0, 0, 39, 7, 111, 43, 79, 48, 2};
  static const uint8_t glow[3] = {255, 239, 191};
  Frame f{};
  const int d = n * 3 / 16;
  const int gx = 80 - d, gy = (d - 39) * (d - 39) / 128;
  for (int y = 0; y < 35; ++y) {
    for (int x = 0; x < ScreenWidth; ++x) {
      int s = Level(5 + 7 * n + 2 * x) + Level(20 + 22 * n + 14 * x) + Level(10 + 17 * n + 12 * y) +
              Level(15 + 14 * n + 15 * y) + Level(15 + 7 * n + 32 * x) +
              Level(2 + 22 * n + 25 * x) + Level(20 + 17 * n + 18 * y) +
              Level(25 + 15 * n + 20 * y);
      const int r = (x - 40) * (x - 40) + (y + 100) * (y + 100);
      s -= (r > 12000) * 2 + (r > 14000) * 2 + (r > 15000) + (r > 16000) * 2;
      s = std::max(s, 0);
      const int i = s > 8 ? s - 8 : s;
      const int g = (x - gx) * (x - gx) + (y - gy) * (y - gy);
      const int cls = std::min(2, (i >> 2 & 1) + (g > 80) + (g > 300));
      f.cells[y * ScreenWidth + x] = {glyphs[i], glow[cls]};
    }
  }
  for (int k = 35 * ScreenWidth; k < ScreenCellCount; ++k) f.cells[k] = {32, 64};
  // An overlay picture over rows 32 to 39: a framed sign.
  for (int y = 32; y < 40; ++y) {
    for (int x = 20; x < 60; ++x) {
      if (y == 32 || y == 39 || x == 20 || x == 59)
        Put(f, x, y, 0xB1, 0x4E);
      else if ((x + y + d) % 7 == 0)
        Put(f, x, y, 'A' + (x % 26), 0x1F);
    }
  }
  const int tip = 17 + d / 2;
  for (int ray = 0; ray < 5; ++ray) Line(f, 34 + ray, 38 + (ray > 0), tip, 50, 0xDB, 0);
  return f;
}

// Full-screen animations, each with the motion of its kind: a spinning
// shaded disc over a starfield (a loop of 63 frames), rings that spread from
// a hit point, and colour bars that scroll under a line of text.
Frame Animation(int kind, int n) {
  static const uint8_t shades[4] = {0xB0, 0xB1, 0xB2, 0xDB};
  Frame f{};
  if (kind == 0) {
    n %= 63;
    const double turn = n * 2 * 3.14159265 / 63;
    const double half = 24 * std::fabs(std::cos(turn)) + 2;
    for (int y = 0; y < ScreenHeight; ++y) {
      for (int x = 0; x < ScreenWidth; ++x) {
        if ((x * 7 + y * 13) % 97 == 0) Put(f, x, y, (n + x) % 8 < 4 ? '.' : '*', 0x07);
        const double dx = (x - 40) / half, dy = (y - 25) / 22.0;
        const double r = dx * dx + dy * dy;
        if (r <= 1) {
          const int shade = std::min(3, static_cast<int>((1 - r) * 4));
          const uint8_t colour = std::cos(turn) >= 0 ? 0x0E : 0x0C;
          Put(f, x, y, shades[shade], static_cast<uint8_t>(colour | (shade < 2 ? 0x40 : 0)));
        }
      }
    }
  } else if (kind == 1) {
    for (int y = 0; y < ScreenHeight; ++y) {
      for (int x = 0; x < ScreenWidth; ++x) {
        const int dx = x - 52, dy = 2 * (y - 20);
        const int ring = static_cast<int>(std::sqrt(dx * dx + dy * dy)) - n % 70;
        if (ring > 0 || ring < -40) continue;
        const int band = -ring / 4;
        static const uint8_t colours[5] = {0x0F, 0x0E, 0x0C, 0x04, 0x08};
        Put(f, x, y, shades[3 - (-ring % 4)], colours[std::min(band, 4)]);
      }
    }
  } else {
    static const uint8_t bars[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    for (int y = 0; y < ScreenHeight; ++y) {
      for (int x = 0; x < ScreenWidth; ++x) {
        const int bar = ((x + n + y / 10) / 8) % 6;
        Put(f, x, y, 32, bars[bar]);
      }
    }
    static const char text[] = "    greetings to every terminal that keeps up with 17 ms ticks    ";
    for (int x = 0; x < ScreenWidth; ++x) {
      Put(f, x, 24, static_cast<uint8_t>(text[(x + n) % (sizeof text - 1)]), 0x1F);
    }
  }
  return f;
}

// Twelve lines growing out of the centre, `length` cells each.
Frame Burst(int set, int length) {
  Frame f{};
  for (int k = 0; k < 12; ++k) {
    const double a = (k + set * 0.5) * 3.14159265 / 6;
    const int x1 = 39 + static_cast<int>(60 * std::cos(a)),
              y1 = 24 + static_cast<int>(35 * std::sin(a));
    Line(f, 39 + static_cast<int>(7 * std::cos(a)), 24 + static_cast<int>(4 * std::sin(a)), x1, y1,
         0xDB, 15, length);
  }
  return f;
}

// Nine edges of a spinning, projected model.
Frame Wireframe(int n, int flight) {
  Frame f{};
  const double a = n * 0.07;
  const double lift = flight > 0 ? (flight - 20) * (flight - 20) * 0.05 - 20 : 0;
  int px[18], py[18];
  for (int i = 0; i < 18; ++i) {
    const double x = 14 * std::cos(i * 0.7), y = 10 * std::sin(i * 1.3), z = 12 * std::sin(i * 0.7);
    const double rx = x * std::cos(a) - z * std::sin(a), rz = x * std::sin(a) + z * std::cos(a);
    const double depth = rz + 40 + flight * 0.3;
    px[i] = static_cast<int>(40 + rx * 40 / depth);
    py[i] = static_cast<int>(25 + (y + lift) * 40 / depth);
  }
  for (int e = 0; e < 9; ++e) Line(f, px[2 * e], py[2 * e], px[2 * e + 1], py[2 * e + 1], 0xDB, 15);
  return f;
}

Frames GeneratedShow() {
  Frames frames;
  const Frame black{};
  for (int n = 0; n < 431; ++n) frames.push_back(Plasma(n));
  frames.push_back(black);
  auto animation = [&](int kind, int count) {
    for (int n = 0; n < count; ++n) frames.push_back(Animation(kind, n));
  };
  auto burst = [&](int set) {
    for (int tick = 1; tick <= 65; ++tick)
      frames.push_back(Burst(set, 1 + tick * tick / 60 + tick / 3));
    frames.push_back(black);
  };
  animation(0, 100);
  frames.push_back(black);
  burst(0);
  animation(1, 142);
  animation(2, 137);
  frames.push_back(black);
  burst(1);
  for (int n = 0; n < 120; ++n) frames.push_back(Wireframe(n, 0));
  animation(0, 100);
  frames.push_back(black);
  for (int n = 0; n < 190; ++n) frames.push_back(Wireframe(n, n >= 130 ? n - 129 : 0));
  animation(1, 142);
  for (int run = 0; run < 3; ++run) {
    animation(2, 137);
    frames.push_back(black);
  }
  frames.push_back(black);  // the shutdown frame
  return frames;
}

const Frames& ShowFrames() {
  static const Frames frames = [] {
    const char* path = std::getenv("CELLSHOW_RECORDING");
    if (path == nullptr || *path == 0) return GeneratedShow();
    std::vector<Record> records;
    std::string error;
    if (!ReadRecordingFile(path, records, error)) {
      std::fprintf(stderr, "encoder_bench: %s: %s\n", path, error.c_str());
      std::exit(2);
    }
    Frames fromFile;
    for (const Record& r : records) {
      if (r.kind != PresentRecord) continue;
      CellsOf(r, fromFile.emplace_back().cells);
    }
    return fromFile;
  }();
  return frames;
}

// ---------------------------------------------------------------------------
// The renderers.

// Home, then every cell in order (the terminal wraps the rows), with a colour
// change whenever the foreground or background changes.
size_t NaiveFullRedraw(const Frame& frame, char* out) {
  char* p = out;
  std::memcpy(p, "\x1b[H", 3);
  p += 3;
  int fg = -1, bg = -1;
  for (const Cell& cell : frame.cells) {
    const int f = cell.Attributes & 15, b = cell.Attributes >> 4 & 15;
    if (f != fg || b != bg) {
      *p++ = '\x1b';
      *p++ = '[';
      if (f != fg)
        std::memcpy(p, AnsiForeground[f].text, AnsiForeground[f].size), p += AnsiForeground[f].size;
      if (f != fg && b != bg) *p++ = ';';
      if (b != bg)
        std::memcpy(p, AnsiBackground[b].text, AnsiBackground[b].size), p += AnsiBackground[b].size;
      *p++ = 'm';
      fg = f, bg = b;
    }
    const Utf8Glyph& g = Cp437Utf8[cell.Char & 0xFF];
    std::memcpy(p, g.bytes, g.size);
    p += g.size;
  }
  return static_cast<size_t>(p - out);
}

#ifdef CELLSHOW_HAVE_NCURSESW
// ncursesw on an 80x50 xterm-256color whose output goes to `out`; every
// frame is laid into stdscr whole, then refresh() sends what changed.
class Curses {
 public:
  explicit Curses(std::FILE* out) : out_(out) {
    std::setlocale(LC_ALL, "C.UTF-8");
    setenv("LINES", "50", 1);
    setenv("COLUMNS", "80", 1);
    in_ = std::fopen("/dev/null", "r");
    screen_ = newterm("xterm-256color", out_, in_);
    set_term(screen_);
    start_color();
    for (int a = 0; a < 256; ++a)
      init_pair(static_cast<short>(a + 1), static_cast<short>(AnsiColor(a & 15)),
                static_cast<short>(AnsiColor(a >> 4)));
    curs_set(0);
    leaveok(stdscr, TRUE);
    std::fflush(out_);
  }
  ~Curses() {
    endwin();
    delscreen(screen_);
    std::fclose(in_);
  }
  void Lay(const Frame& frame) {
    for (int row = 0; row < ScreenHeight; ++row) {
      cchar_t line[ScreenWidth];
      for (int column = 0; column < ScreenWidth; ++column) {
        const Cell& cell = frame.cells[row * ScreenWidth + column];
        const wchar_t text[2] = {static_cast<wchar_t>(Cp437CodePoints[cell.Char & 0xFF]), 0};
        setcchar(&line[column], text, A_NORMAL, static_cast<short>((cell.Attributes & 0xFF) + 1),
                 nullptr);
      }
      mvadd_wchnstr(row, 0, line, ScreenWidth);
    }
  }
  void Refresh() { refresh(); }

 private:
  std::FILE* out_;
  std::FILE* in_ = nullptr;
  SCREEN* screen_ = nullptr;
};
#endif

// ---------------------------------------------------------------------------
// Bytes over one pass of the show, in total and scene by scene (a scene ends
// with an all-black frame), printed before the timings.

struct Bytes {
  size_t ansi16 = 0, trueColor = 0, naive = 0, curses = 0;
  void Add(const Bytes& b) {
    ansi16 += b.ansi16, trueColor += b.trueColor, naive += b.naive, curses += b.curses;
  }
};

std::vector<Bytes> BytesPerPresent() {
  const Frames& frames = ShowFrames();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  std::vector<Bytes> bytes(frames.size());
  FrameEncoder ansi(false), rgb(true);
  for (size_t i = 0; i < frames.size(); ++i) {
    bytes[i].ansi16 = ansi.Encode(frames[i].cells, {80, 50}, out.data());
    bytes[i].trueColor = rgb.Encode(frames[i].cells, {80, 50}, out.data());
    bytes[i].naive = NaiveFullRedraw(frames[i], out.data());
  }
#ifdef CELLSHOW_HAVE_NCURSESW
  std::FILE* sink = std::tmpfile();
  {
    Curses curses(sink);
    for (size_t i = 0; i < frames.size(); ++i) {
      const long before = std::ftell(sink);
      curses.Lay(frames[i]);
      curses.Refresh();
      bytes[i].curses = static_cast<size_t>(std::ftell(sink) - before);
    }
  }
  std::fclose(sink);
#endif
  return bytes;
}

bool IsBlack(const Frame& f) {
  for (const Cell& c : f.cells) {
    if (c.Char != 0 || c.Attributes != 0) return false;
  }
  return true;
}

void PrintBytes() {
  const Frames& frames = ShowFrames();
  const std::vector<Bytes> bytes = BytesPerPresent();
  const char* source = std::getenv("CELLSHOW_RECORDING");
  std::printf("frames: %s, %zu presents\n", source && *source ? source : "generated show",
              frames.size());
  std::printf("%-16s %10s %10s %10s %10s %8s\n", "presents", "ours 16", "ours 24bit", "naive",
              "ncursesw", "16/nc");
  auto row = [](const char* name, const Bytes& b) {
    std::printf("%-16s %10zu %10zu %10zu %10zu %8.3f\n", name, b.ansi16, b.trueColor, b.naive,
                b.curses,
                b.curses ? static_cast<double>(b.ansi16) / static_cast<double>(b.curses) : 0.0);
  };
  Bytes total, scene;
  size_t first = 0;
  bool content = false;
  for (size_t i = 0; i < frames.size(); ++i) {
    scene.Add(bytes[i]);
    total.Add(bytes[i]);
    const bool black = IsBlack(frames[i]);
    content = content || !black;
    if ((black && content) || i + 1 == frames.size()) {
      content = false;
      char name[32];
      std::snprintf(name, sizeof name, "%zu-%zu", first, i);
      row(name, scene);
      scene = {};
      first = i + 1;
    }
  }
  row("whole show", total);
  std::printf("per present: ours 16 %.1f, ours 24-bit %.1f, naive %.1f, ncursesw %.1f bytes\n",
              static_cast<double>(total.ansi16) / static_cast<double>(frames.size()),
              static_cast<double>(total.trueColor) / static_cast<double>(frames.size()),
              static_cast<double>(total.naive) / static_cast<double>(frames.size()),
              static_cast<double>(total.curses) / static_cast<double>(frames.size()));
  std::fflush(stdout);
}

// ---------------------------------------------------------------------------
// Timings: one iteration is one present, walking the show in order.

void BM_Encoder(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  FrameEncoder encoder(state.range(0) != 0);
  size_t i = 0, bytes = 0;
  for (auto _ : state) {
    bytes += encoder.Encode(frames[i].cells, {80, 50}, out.data());
    benchmark::DoNotOptimize(out.data());
    if (++i == frames.size()) i = 0;
  }
  state.counters["bytes/present"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_Encoder)->Arg(0)->ArgName("truecolor")->Arg(1);

// The same walk on the terminals that terminfo and the locale describe:
// 0 xterm-256color in UTF-8 (as BM_Encoder/truecolor:0), 1 the Linux console
// (8 colours), 2 GNU screen in a C locale (8 colours, ASCII, no colour erase),
// 3 tmux-256color (no colour erase).
void BM_EncoderTerminals(benchmark::State& state) {
  static const TerminalCapabilities kinds[] = {
      {ColorDepth::Sixteen, GlyphSet::Unicode, true},
      {ColorDepth::Eight, GlyphSet::Unicode, true},
      {ColorDepth::Eight, GlyphSet::Ascii, false},
      {ColorDepth::Sixteen, GlyphSet::Unicode, false},
  };
  const Frames& frames = ShowFrames();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  FrameEncoder encoder(kinds[state.range(0)]);
  size_t i = 0, bytes = 0;
  for (auto _ : state) {
    bytes += encoder.Encode(frames[i].cells, {80, 50}, out.data());
    benchmark::DoNotOptimize(out.data());
    if (++i == frames.size()) i = 0;
  }
  state.counters["bytes/present"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_EncoderTerminals)->ArgName("terminal")->DenseRange(0, 3);

void BM_NaiveFullRedraw(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  std::vector<char> out(FrameEncoder::MaxFrameBytes);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NaiveFullRedraw(frames[i], out.data()));
    if (++i == frames.size()) i = 0;
  }
}
BENCHMARK(BM_NaiveFullRedraw);

#ifdef CELLSHOW_HAVE_NCURSESW
// Laying the frame into stdscr and refresh(), written to /dev/null; with
// argument 1 only refresh() is timed.
void BM_Ncursesw(benchmark::State& state) {
  const Frames& frames = ShowFrames();
  const bool refreshOnly = state.range(0) != 0;
  std::FILE* sink = std::fopen("/dev/null", "w");
  {
    Curses curses(sink);
    size_t i = 0;
    for (auto _ : state) {
      if (refreshOnly) state.PauseTiming();
      curses.Lay(frames[i]);
      if (refreshOnly) state.ResumeTiming();
      curses.Refresh();
      if (++i == frames.size()) i = 0;
    }
  }
  std::fclose(sink);
}
BENCHMARK(BM_Ncursesw)->ArgName("refreshOnly")->Arg(0)->Arg(1);
#endif

}  // namespace
}  // namespace cellshow

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cellshow::PrintBytes();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
