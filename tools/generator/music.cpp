// The show's music: an integer synthesizer playing a tune in A minor, 45
// seconds of 44100 Hz stereo, composed to the show's script.
//
// The show starts the music at the end of its opening plasma; every later
// scene change falls a fixed number of 17 ms ticks after that. The tune is
// cut into sections at those moments, each a whole number of sixteenths
// long, and each section keeps its own tempo so that the next one begins
// exactly on the cut: about 104 beats a minute throughout (102 to 107). A
// section begins with a crash, a kick and a chord stab; the sixteenth before
// it is a stop, with a drum fill leading into it.
//
// Voices: a pad (detuned triangles), a plucked bass, a 16th-note arpeggio, an
// FM lead with an echo, drums (kick, snare, hats, crash) and a noise riser
// under the line bursts and the fly-off.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "canvas.h"
#include "show_data.h"

namespace cellshow::datagen {
namespace {

constexpr int64_t Rate = MusicSampleRate;
constexpr int64_t TotalSamples = 45 * Rate;
constexpr int64_t FadeSamples = 2 * Rate;

int64_t Seconds(int64_t milliseconds) { return milliseconds * Rate / 1000; }
// The sample at which a show tick, counted from the music's start, falls:
// 17 ms a tick, 749.7 samples.
constexpr int64_t TickSample(int64_t ticks) { return (ticks * 7497 + 5) / 10; }

// Phase increment of a MIDI note for a 32-bit phase accumulator.
uint32_t NoteIncrement(int note) {
  static constexpr int64_t SemitoneQ30[12] = {1073741824, 1137589835, 1205234447, 1276901417,
                                              1352829926, 1433273380, 1518500250, 1608794974,
                                              1704458901, 1805811301, 1913190429, 2026954652};
  constexpr int64_t A4Increment = 42852281;  // 440 Hz
  int offset = note - 69;
  int octave = 0;
  while (offset < 0) {
    offset += 12;
    --octave;
  }
  octave += offset / 12;
  int64_t inc = A4Increment * SemitoneQ30[offset % 12] >> 30;
  inc = octave >= 0 ? inc << octave : inc >> -octave;
  return static_cast<uint32_t>(inc);
}

// Waveforms of a 32-bit phase, -32768 to 32767.
int32_t SineWave(uint32_t phase) { return Sin(static_cast<int32_t>(phase >> 16)) / 2; }
int32_t SawWave(uint32_t phase) { return static_cast<int32_t>(phase >> 16) - 32768; }
int32_t TriangleWave(uint32_t phase) {
  const int32_t p = static_cast<int32_t>(phase >> 15);  // 0 to 131071
  return p < 65536 ? p - 32768 : 98303 - p;
}
int32_t PulseWave(uint32_t phase, uint32_t width) { return phase < width ? 24000 : -24000; }
int64_t WhiteNoise(Random& noise) { return static_cast<int32_t>(noise.Next() >> 16) - 32768; }

// Attack, decay to a sustain level, and release after the note's length;
// levels in 1/65536.
struct Envelope {
  int64_t attack, decay, sustain, release;
  // The level while the note is held.
  int64_t Held(int64_t t) const {
    if (t < attack) return Unit * t / attack;
    if (t < attack + decay) return Unit - (Unit - sustain) * (t - attack) / decay;
    return sustain;
  }
  int64_t Level(int64_t t, int64_t length) const {
    if (t < length) return Held(t);
    const int64_t after = t - length;
    return after >= release ? 0 : Held(length) * (release - after) / release;
  }
  int64_t Span(int64_t length) const { return length + release; }
};

class Mix {
 public:
  Mix() : left_(TotalSamples), right_(TotalSamples) {}
  // Adds a sample at `at` with gains in 1/256.
  void Add(int64_t at, int64_t value, int64_t gainLeft, int64_t gainRight) {
    if (at < 0 || at >= TotalSamples) return;
    left_[at] += value * gainLeft >> 8;
    right_[at] += value * gainRight >> 8;
  }
  std::vector<int64_t>& left() { return left_; }
  std::vector<int64_t>& right() { return right_; }

 private:
  std::vector<int64_t> left_, right_;
};

// Pan 0 (left) to 256 (right), volume in 1/256.
void Gains(int pan, int volume, int64_t& left, int64_t& right) {
  left = int64_t{volume} * (256 - pan) / 128;
  right = int64_t{volume} * pan / 128;
}

// ---- The score -------------------------------------------------------------

struct Chord {
  int root;      // bass note
  int notes[3];  // pad voicing
};
constexpr Chord Am{45, {57, 60, 64}};
constexpr Chord F{41, {57, 60, 65}};
constexpr Chord C{48, {55, 60, 64}};
constexpr Chord G{43, {55, 59, 62}};
constexpr Chord E{40, {56, 59, 64}};

// How a bar is played.
enum Part : uint8_t {
  Intro,      // pad, long bass notes, kick and hats
  Riser,      // a snare roll and a noise sweep over a pulsing bass
  Groove,     // the full band but the lead
  Lead,       // the full band
  Breakdown,  // no kick: pad, arpeggio, the lead softer
  Build,      // four on the floor, eighth-note bass
  Climax,     // four on the floor, 16th hats, open hats on the off-beats
  Final,      // the last chord
};

struct Bar {
  int sixteenths;
  const Chord* chord;
  Part part;
  bool cue;  // begins at a scene change
};

// The scenes after the plasma and the bars that play under them. A section
// runs from one cue to the next.
constexpr Bar Score[] = {
    {16, &Am, Intro, true},    {8, &F, Intro, false},                              // img.txt tunnel
    {8, &E, Riser, true},                                                          // line burst
    {16, &Am, Groove, true},   {18, &F, Groove, false},                            // hit.img
    {16, &G, Lead, true},                                                          // bl.img
    {8, &E, Riser, true},                                                          // line burst
    {16, &Am, Lead, true},     {16, &F, Lead, false},     {10, &G, Lead, false},   // two models
    {16, &C, Breakdown, true}, {8, &G, Breakdown, false},                          // img.txt
    {16, &Am, Build, true},    {16, &F, Build, false},    {12, &E, Build, false},  // flight
    {16, &Am, Climax, true},   {18, &F, Climax, false},                            // hit.img
    {16, &C, Climax, true},                                                        // bl.img
    {16, &G, Climax, true},                                                        // bl.img
    {16, &E, Climax, true},                                                        // bl.img
    {16, &Am, Final, true},                                                        // black
};
constexpr int BarCount = sizeof Score / sizeof Score[0];

// The cues in show ticks after the music's start: the first entry of every
// scene after the plasma (ticks 1497, 1563, 1850, ... 3696 of the show) less
// the 1296 ticks of the plasma.
constexpr int64_t CueTicks[] = {0,    201,  267,  554,  692,  758, 1119,
                                1319, 1700, 1986, 2124, 2262, 2400};
constexpr int CueCount = sizeof CueTicks / sizeof CueTicks[0];
// The model of the flight scene flies off on its 131st frame, on the scene's
// 263rd tick: a riser leads from there to the next cue.
constexpr int64_t FlyOffTick = 1319 + 262;

constexpr int CueBars() {
  int n = 0;
  for (const Bar& b : Score) n += b.cue;
  return n;
}
static_assert(CueBars() == CueCount, "one cue for every scene change");

// Where each cue falls in the score, in sixteenths.
struct TempoMap {
  int64_t cuePosition[CueCount] = {};
  int64_t barStart[BarCount + 1] = {};
  TempoMap() {
    int cue = 0;
    for (int b = 0; b < BarCount; ++b) {
      if (Score[b].cue) cuePosition[cue++] = barStart[b];
      barStart[b + 1] = barStart[b] + Score[b].sixteenths;
    }
  }
  // The sample of a score position: each section's sixteenths share its
  // length evenly; after the last cue the last section's tempo holds.
  int64_t SampleAt(int64_t sixteenth) const {
    int k = 0;
    while (k + 1 < CueCount && cuePosition[k + 1] <= sixteenth) ++k;
    const int from = k + 1 < CueCount ? k : k - 1;
    const int64_t samples = TickSample(CueTicks[from + 1]) - TickSample(CueTicks[from]);
    const int64_t positions = cuePosition[from + 1] - cuePosition[from];
    return TickSample(CueTicks[k]) + (sixteenth - cuePosition[k]) * samples / positions;
  }
};
const TempoMap& Tempo() {
  static const TempoMap map;
  return map;
}
int64_t SixteenthAt(int64_t sixteenth) { return Tempo().SampleAt(sixteenth); }
// A nominal beat (34 ticks) for the echo.
constexpr int64_t BeatSamples = TickSample(34);

// A bar and its place: `stop` is the first sixteenth on which nothing new may
// start, the last sixteenth of a bar that leads into a cue.
struct BarAt {
  const Bar& bar;
  int64_t start;  // sixteenths
  int stop;
  bool fill;  // leads into a cue
};
BarAt BarOf(int b) {
  const bool fill = b + 1 < BarCount && Score[b + 1].cue;
  return {Score[b], Tempo().barStart[b], fill ? Score[b].sixteenths - 1 : Score[b].sixteenths,
          fill};
}
// Sample length of `sixteenths` from `position`, cut short at `limit`.
int64_t LengthAt(int64_t position, int64_t sixteenths, int64_t limit) {
  return SixteenthAt(std::min(position + sixteenths, limit)) - SixteenthAt(position);
}

struct Note {
  int pitch;  // MIDI; 0 is a rest
  int sixteenths;
};

// The lead, from the bar under bl.img on, bar by bar.
constexpr Note Melody[] = {
    {74, 4}, {71, 2}, {67, 2}, {69, 2}, {71, 2}, {74, 3}, {0, 1},  // G
    {0, 8},                                                        // E, burst
    {76, 4}, {69, 2}, {72, 2}, {76, 4}, {74, 2}, {72, 2},          // Am
    {72, 6}, {69, 2}, {72, 4}, {74, 4},                            // F
    {74, 2}, {71, 2}, {67, 2}, {71, 3}, {0, 1},                    // G, 10
    {76, 8}, {79, 4}, {76, 4},                                     // C
    {74, 6}, {0, 2},                                               // G, 8
    {76, 8}, {81, 8},                                              // Am
    {77, 8}, {76, 4}, {74, 4},                                     // F
    {71, 4}, {68, 4}, {0, 4},                                      // E, 12
    {81, 4}, {76, 2}, {79, 2}, {81, 4}, {84, 2}, {83, 2},          // Am
    {84, 6}, {81, 2}, {77, 4}, {79, 4}, {0, 2},                    // F, 18
    {79, 4}, {76, 2}, {72, 2}, {76, 4}, {79, 3}, {0, 1},           // C
    {83, 4}, {79, 2}, {74, 2}, {79, 4}, {83, 3}, {0, 1},           // G
    {83, 6}, {80, 2}, {76, 4}, {80, 3}, {0, 1},                    // E
};
constexpr int MelodyFirstBar = 5;

constexpr int MelodySixteenths() {
  int total = 0;
  for (const Note& n : Melody) total += n.sixteenths;
  return total;
}
constexpr int BarsSixteenths(int from, int to) {
  int total = 0;
  for (int b = from; b < to; ++b) total += Score[b].sixteenths;
  return total;
}
static_assert(MelodySixteenths() == BarsSixteenths(MelodyFirstBar, BarCount - 1),
              "the lead fills its bars exactly");

// ---- Voices ----------------------------------------------------------------

// Pad: two detuned triangles per chord note, one each side, through a
// low-pass filter; each bar's chord swells in and overlaps the next.
void PlayPad(Mix& mix) {
  const Envelope env{Seconds(300), Seconds(400), Unit * 3 / 4, Seconds(500)};
  for (int b = 0; b < BarCount; ++b) {
    const BarAt at = BarOf(b);
    const int64_t start = SixteenthAt(at.start);
    const int64_t length =
        at.bar.part == Final ? Seconds(2600) : LengthAt(at.start, at.bar.sixteenths, 1 << 20);
    static constexpr int Volume[] = {24, 22, 28, 28, 36, 26, 30, 34};
    for (const int note : at.bar.chord->notes)
      for (int side = 0; side < 2; ++side) {
        const uint32_t base = NoteIncrement(note);
        const uint32_t inc = side == 0 ? base - base / 300 : base + base / 300;
        uint32_t phase = static_cast<uint32_t>(note * 977 + side * 40503) << 16;
        int64_t low = 0;
        int64_t gl, gr;
        Gains(side == 0 ? 64 : 192, Volume[at.bar.part], gl, gr);
        for (int64_t t = 0; t < env.Span(length); ++t) {
          phase += inc;
          low += (TriangleWave(phase) + SawWave(phase) / 4 - low) * 6000 >> 16;
          mix.Add(start + t, low * env.Level(t, length) >> 16, gl, gr);
        }
      }
  }
}

// One bass pluck: saw and square an octave down, with a filter that closes
// after the attack.
void BassNote(Mix& mix, int note, int64_t start, int64_t length, int volume) {
  const Envelope env{Seconds(4), Seconds(160), Unit * 5 / 8, Seconds(40)};
  int64_t gl, gr;
  Gains(128, volume, gl, gr);
  const uint32_t inc = NoteIncrement(note);
  uint32_t phase = 0, sub = 0;
  int64_t low = 0;
  for (int64_t t = 0; t < env.Span(length); ++t) {
    phase += inc;
    sub += inc / 2;
    const int64_t raw = SawWave(phase) / 2 + PulseWave(sub, 0x80000000u) / 2;
    // Cutoff falls from about 1.8 kHz to 300 Hz over 120 ms.
    const int64_t sweep = std::max<int64_t>(0, Seconds(120) - t);
    const int64_t coefficient = 2800 + 14000 * sweep / Seconds(120);
    low += (raw - low) * coefficient >> 16;
    mix.Add(start + t, low * env.Level(t, length) >> 16, gl, gr);
  }
}

void PlayBass(Mix& mix) {
  struct Hit {
    int sixteenth, interval, length;
  };
  // A syncopated figure of roots, octaves and fifths, repeated every bar.
  static constexpr Hit Figure[] = {{0, 0, 3}, {3, 0, 2},  {6, 12, 2},
                                   {8, 0, 3}, {11, 0, 2}, {14, 7, 2}};
  for (int b = 0; b < BarCount; ++b) {
    const BarAt at = BarOf(b);
    const int root = at.bar.chord->root;
    const int64_t limit = at.start + at.stop;
    auto play = [&](int s, int interval, int sixteenths, int volume) {
      if (s >= at.stop) return;
      const int64_t p = at.start + s;
      BassNote(mix, root + interval, SixteenthAt(p), LengthAt(p, sixteenths, limit) - Seconds(20),
               volume);
    };
    switch (at.bar.part) {
      case Intro:
        play(0, 0, at.bar.sixteenths, 120);
        break;
      case Riser:  // 16th pulses, louder towards the cue
        for (int s = 0; s < at.stop; ++s) play(s, 0, 1, 70 + 80 * s / at.stop);
        break;
      case Breakdown:
        play(0, 0, 8, 110);
        play(8, 7, 8, 100);
        break;
      case Build:  // eighths, with the octave on the off-beats
        for (int s = 0; s < at.bar.sixteenths; s += 2) play(s, s % 4 == 2 ? 12 : 0, 2, 140);
        break;
      case Final:
        BassNote(mix, root, SixteenthAt(at.start), Seconds(1500), 160);
        break;
      default:
        for (int s = 0; s < at.bar.sixteenths; s += 16)
          for (const Hit& hit : Figure) play(s + hit.sixteenth, hit.interval, hit.length, 150);
        break;
    }
  }
}

// Arpeggio: short pulse-wave plucks over the chord, left and right in turn.
void PlayArpeggio(Mix& mix) {
  static constexpr int Order[8] = {0, 1, 2, 3, 4, 3, 2, 1};
  const Envelope env{Seconds(2), Seconds(110), Unit / 5, Seconds(60)};
  for (int b = 0; b < BarCount; ++b) {
    const BarAt at = BarOf(b);
    const Part part = at.bar.part;
    if (part == Intro || part == Riser || part == Final) continue;
    const Chord& chord = *at.bar.chord;
    const int tones[5] = {chord.notes[0] + 12, chord.notes[1] + 12, chord.notes[2] + 12,
                          chord.notes[0] + 24, chord.notes[1] + 24};
    for (int s = 0; s < at.stop; ++s) {
      const uint32_t inc = NoteIncrement(tones[Order[s % 8]]);
      const int64_t start = SixteenthAt(at.start + s);
      const int64_t length = LengthAt(at.start + s, 1, 1 << 20) / 2;
      int64_t gl, gr;
      Gains(s % 2 == 0 ? 70 : 186, part == Groove ? 36 : part == Breakdown ? 54 : 46, gl, gr);
      uint32_t phase = 0;
      int64_t low = 0;
      for (int64_t t = 0; t < env.Span(length); ++t) {
        phase += inc;
        low += (PulseWave(phase, 0x40000000u) - low) * 9000 >> 16;
        mix.Add(start + t, low * env.Level(t, length) >> 16, gl, gr);
      }
    }
  }
}

// Lead: two-operator FM, bright at the attack and mellower as it holds, with
// a gentle vibrato on long notes. Rendered dry into `dry` for the echo.
void PlayLead(std::vector<int64_t>& dry) {
  const Envelope env{Seconds(8), Seconds(180), Unit * 3 / 4, Seconds(120)};
  auto play = [&](int pitch, int64_t start, int64_t length, int volume) {
    const uint32_t inc = NoteIncrement(pitch);
    uint32_t phase = 0, vibrato = 0;
    const uint32_t vibratoInc = NoteIncrement(69) / 80;  // 5.5 Hz
    for (int64_t t = 0; t < env.Span(length); ++t) {
      const int64_t depthSweep = std::max<int64_t>(0, Seconds(250) - t);
      const int64_t depth = 5000 + 14000 * depthSweep / Seconds(250);  // in 1/65536 turn
      int64_t step = inc;
      if (t > Seconds(260)) step += int64_t{inc} * Sin(static_cast<int32_t>(vibrato >> 16)) >> 24;
      vibrato += vibratoInc;
      phase += static_cast<uint32_t>(step);
      const int64_t modulator = Sin(static_cast<int32_t>(phase >> 16));
      const auto angle = static_cast<int32_t>((phase >> 16) + (modulator * depth >> 16));
      const int64_t value = Sin(angle) / 2 * volume >> 8;
      const int64_t at = start + t;
      if (at >= 0 && at < TotalSamples) dry[at] += value * env.Level(t, length) >> 16;
    }
  };
  int b = MelodyFirstBar;
  int64_t position = Tempo().barStart[b];
  for (const Note& note : Melody) {
    while (position >= Tempo().barStart[b + 1]) ++b;
    const BarAt at = BarOf(b);
    if (note.pitch != 0) {
      const int64_t length = LengthAt(position, note.sixteenths, at.start + at.stop) - Seconds(25);
      play(note.pitch, SixteenthAt(position), length, at.bar.part == Breakdown ? 180 : 256);
    }
    position += note.sixteenths;
  }
  play(81, SixteenthAt(Tempo().barStart[BarCount - 1]), Seconds(2400), 256);  // the last note
}

// Echo on the lead: a dotted eighth, bouncing left and right.
void MixLeadWithEcho(Mix& mix, const std::vector<int64_t>& dry) {
  const int64_t delay = BeatSamples * 3 / 4;
  std::vector<int64_t> echoLeft(TotalSamples), echoRight(TotalSamples);
  for (int64_t i = 0; i < TotalSamples; ++i) {
    if (i >= delay) {
      echoLeft[i] = (dry[i - delay] + echoRight[i - delay]) * 80 >> 8;
      echoRight[i] = echoLeft[i - delay] * 80 >> 8;
    }
    mix.Add(i, dry[i], 150, 150);
    mix.Add(i, echoLeft[i], 70, 20);
    mix.Add(i, echoRight[i], 20, 70);
  }
}

// ---- Drums -----------------------------------------------------------------

void Kick(Mix& mix, int64_t start, int volume) {
  int64_t gl, gr;
  Gains(128, volume, gl, gr);
  uint32_t phase = 0;
  for (int64_t t = 0; t < Seconds(450); ++t) {
    // Pitch falls from about 150 Hz to 45 Hz, the level over 0.45 s.
    const int64_t fall = Unit * Seconds(60) / (Seconds(60) + t);
    const int64_t hz = 45 + (105 * fall >> 16);
    phase += static_cast<uint32_t>(hz * (int64_t{1} << 32) / Rate);
    const int64_t level = Unit * (Seconds(450) - t) / Seconds(450);
    const int64_t shaped = level * level >> 16;
    mix.Add(start + t, SineWave(phase) * shaped >> 16, gl, gr);
  }
}

void Snare(Mix& mix, Random& noise, int64_t start, int volume) {
  int64_t gl, gr;
  Gains(140, volume, gl, gr);
  uint32_t phase = 0;
  int64_t previous = 0;
  for (int64_t t = 0; t < Seconds(200); ++t) {
    phase += NoteIncrement(54);  // about 185 Hz
    const int64_t white = WhiteNoise(noise);
    const int64_t bright = white - previous / 2;
    previous = white;
    const int64_t noiseLevel = Unit * Seconds(200) / (Seconds(200) + 12 * t) - Unit / 13;
    const int64_t toneLevel = std::max<int64_t>(0, Unit - Unit * t / Seconds(80));
    const int64_t value =
        (bright * std::max<int64_t>(noiseLevel, 0) >> 17) + (SineWave(phase) * toneLevel >> 17);
    mix.Add(start + t, value, gl, gr);
  }
}

void Hat(Mix& mix, Random& noise, int64_t start, int volume, bool open) {
  int64_t gl, gr;
  Gains(170, volume, gl, gr);
  const int64_t length = open ? Seconds(220) : Seconds(45);
  int64_t low = 0;
  for (int64_t t = 0; t < length; ++t) {
    const int64_t white = WhiteNoise(noise);
    low += (white - low) * 20000 >> 16;
    const int64_t high = white - low;  // only the hiss
    const int64_t level = Unit * (length - t) / length;
    mix.Add(start + t, high * (level * level >> 16) >> 18, gl, gr);
  }
}

// Crash: bright noise with a long, falling tail, wide in the stereo field.
void Crash(Mix& mix, Random& noise, int64_t start, int volume) {
  const int64_t length = Seconds(1800);
  int64_t lowL = 0, lowR = 0;
  for (int64_t t = 0; t < length; ++t) {
    const int64_t a = WhiteNoise(noise), b = WhiteNoise(noise);
    lowL += (a - lowL) * 12000 >> 16;
    lowR += (b - lowR) * 12000 >> 16;
    const int64_t tail = Unit * Seconds(150) / (Seconds(150) + t) * (length - t) / length;
    const int64_t level = int64_t{volume} * tail >> 16;
    mix.Add(start + t, (a - lowL) * level >> 9, 230, 90);
    mix.Add(start + t, (b - lowR) * level >> 9, 90, 230);
  }
}

// Stab: the chord in saws over two octaves, short and loud, on a cue.
void Stab(Mix& mix, const Chord& chord, int64_t start) {
  const Envelope env{Seconds(3), Seconds(90), Unit / 3, Seconds(160)};
  const int64_t length = Seconds(140);
  for (int octave = 0; octave < 2; ++octave)
    for (const int note : chord.notes) {
      const uint32_t inc = NoteIncrement(note + 12 * octave);
      uint32_t phase = static_cast<uint32_t>(note * 7919) << 16;
      int64_t low = 0;
      int64_t gl, gr;
      Gains(octave == 0 ? 100 : 156, 44, gl, gr);
      for (int64_t t = 0; t < env.Span(length); ++t) {
        phase += inc;
        low += (SawWave(phase) - low) * 16000 >> 16;
        mix.Add(start + t, low * env.Level(t, length) >> 16, gl, gr);
      }
    }
}

// Noise sweep: noise through a low-pass that opens and grows louder from `start`
// to `end`, where it stops.
void NoiseSweep(Mix& mix, Random& noise, int64_t start, int64_t end, int volume) {
  int64_t low = 0;
  const int64_t span = end - start;
  for (int64_t t = 0; t < span; ++t) {
    const int64_t rise = Unit * t / span;  // 0 to 1
    low += (WhiteNoise(noise) - low) * (1500 + (30000 * rise >> 16)) >> 16;
    const int64_t level = int64_t{volume} * (rise * rise >> 16) >> 8;
    mix.Add(start + t, low * level >> 16, 128, 128);
  }
}

void PlayDrums(Mix& mix) {
  Random noise(7771);
  for (int b = 0; b < BarCount; ++b) {
    const BarAt at = BarOf(b);
    const Part part = at.bar.part;
    const int length = at.bar.sixteenths;
    const int64_t barStart = SixteenthAt(at.start);
    if (at.bar.cue) {
      Crash(mix, noise, barStart, part == Final ? 240 : 200);
      Kick(mix, barStart, 230);
      Stab(mix, *at.bar.chord, barStart);
    }
    if (part == Riser) {
      NoiseSweep(mix, noise, barStart, SixteenthAt(at.start + at.stop), 120);
      for (int s = 0; s < at.stop; ++s)
        Snare(mix, noise, SixteenthAt(at.start + s), 50 + 90 * s / at.stop);
      continue;
    }
    if (part == Final) continue;
    // A fill of four snares leads into a cue, then the stop.
    const int fillFrom = at.fill ? at.stop - 4 : length;
    for (int s = 0; s < at.stop; ++s) {
      const int64_t t = SixteenthAt(at.start + s);
      if (s >= fillFrom) {
        Snare(mix, noise, t, 80 + 20 * (s - fillFrom));
        continue;
      }
      const int beat = s % 16;
      const bool floor = part == Build || part == Climax;
      bool kick = floor ? beat % 4 == 0
                        : beat == 0 || beat == 8 || (part != Intro && b % 2 == 0 && beat == 10);
      if (part == Breakdown) kick = false;
      if (kick && !(at.bar.cue && s == 0)) Kick(mix, t, 190);
      if (part != Intro && (beat == 4 || beat == 12))
        Snare(mix, noise, t, part == Breakdown ? 70 : 130);
      const bool sixteenths = part == Build || part == Climax;
      if (beat % 2 == 0 || sixteenths) {
        const bool open = part == Climax ? beat % 4 == 2 : part != Intro && beat == 14;
        const int volume = beat % 4 == 2 ? 110 : (beat % 2 == 0 ? 80 : 50);
        Hat(mix, noise, t, part == Intro || part == Breakdown ? volume * 2 / 3 : volume, open);
      }
    }
  }
  // The fly-off of the last model: a riser from the moment it flies to the
  // stop before the next cue.
  const int flight = 14;  // the last bar of the flight section
  NoiseSweep(mix, noise, TickSample(FlyOffTick),
             SixteenthAt(BarOf(flight).start + BarOf(flight).stop), 140);
}

}  // namespace

std::vector<int16_t> MakeMusic() {
  Mix mix;
  PlayPad(mix);
  PlayBass(mix);
  PlayArpeggio(mix);
  std::vector<int64_t> lead(TotalSamples);
  PlayLead(lead);
  MixLeadWithEcho(mix, lead);
  PlayDrums(mix);

  // Remove any DC offset and rumble (a high-pass of about 10 Hz), fade out at
  // the end, then scale the loudest sample to 90% of full scale.
  std::vector<int64_t>& left = mix.left();
  std::vector<int64_t>& right = mix.right();
  for (std::vector<int64_t>* channel : {&left, &right}) {
    int64_t previousIn = 0, previousOut = 0;
    for (int64_t& v : *channel) {
      const int64_t out = v - previousIn + ((previousOut * 65444 + 32768) >> 16);
      previousIn = v;
      previousOut = out;
      v = out;
    }
  }
  for (int64_t i = TotalSamples - FadeSamples; i < TotalSamples; ++i) {
    const int64_t gain = (TotalSamples - i) * Unit / FadeSamples;
    left[i] = left[i] * gain >> 16;
    right[i] = right[i] * gain >> 16;
  }
  int64_t peak = 1;
  for (int64_t i = 0; i < TotalSamples; ++i)
    peak = std::max({peak, left[i] < 0 ? -left[i] : left[i], right[i] < 0 ? -right[i] : right[i]});
  std::vector<int16_t> pcm(2 * TotalSamples);
  constexpr int64_t Target = 29490;  // 90% of full scale
  for (int64_t i = 0; i < TotalSamples; ++i) {
    pcm[2 * i] = static_cast<int16_t>(left[i] * Target / peak);
    pcm[2 * i + 1] = static_cast<int16_t>(right[i] * Target / peak);
  }
  return pcm;
}

}  // namespace cellshow::datagen
