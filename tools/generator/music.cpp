// The show's music: an integer synthesizer playing a short tune in A minor,
// 45 seconds of 44100 Hz stereo.
//
// The show starts the music at the end of its opening plasma and ends 42.1 s
// later. One beat is 30 ticks of the show (0.51 s), so the twenty bars of the
// tune end as the closing black screen begins, and the last chord rings out
// under it.
//
// Voices: a pad (detuned triangles), a plucked bass, a 16th-note arpeggio, an
// FM lead with an echo, and drums (kick, snare, hats). Chords: Am F C G, the
// last round Am F G E, ending on Am.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "canvas.h"
#include "show_data.h"

namespace cellshow::datagen {
namespace {

constexpr int64_t Rate = MusicSampleRate;
constexpr int64_t BeatSamples = 22491;  // 30 ticks of 17 ms
constexpr int64_t TotalSamples = 45 * Rate;
constexpr int Bars = 20;  // then the final chord
constexpr int64_t FadeSamples = 2 * Rate;

int64_t SixteenthAt(int64_t sixteenth) { return sixteenth * BeatSamples / 4; }
int64_t Seconds(int64_t milliseconds) { return milliseconds * Rate / 1000; }

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

const Chord& ChordOfBar(int bar) {
  static const Chord* const Cycle[4] = {&Am, &F, &C, &G};
  static const Chord* const Cadence[4] = {&Am, &F, &G, &E};
  if (bar >= Bars) return Am;
  return bar >= 16 ? *Cadence[bar % 4] : *Cycle[bar % 4];
}

struct Note {
  int pitch;  // MIDI; 0 is a rest
  int eighths;
};

// The lead, bars 4 to 19 (counted from 0), four bars to a line.
constexpr Note Melody[] = {
    // A
    {76, 2},
    {69, 1},
    {72, 1},
    {76, 2},
    {74, 1},
    {72, 1},  //
    {72, 3},
    {69, 1},
    {72, 2},
    {74, 2},  //
    {76, 2},
    {79, 2},
    {76, 2},
    {74, 1},
    {72, 1},  //
    {74, 4},
    {71, 2},
    {67, 2},  //
    // A'
    {76, 2},
    {69, 1},
    {72, 1},
    {76, 2},
    {79, 1},
    {81, 1},  //
    {81, 3},
    {79, 1},
    {77, 2},
    {76, 2},  //
    {76, 2},
    {79, 2},
    {72, 2},
    {76, 2},  //
    {74, 6},
    {0, 2},  //
    // B
    {81, 3},
    {79, 1},
    {76, 2},
    {72, 2},  //
    {77, 3},
    {76, 1},
    {72, 2},
    {69, 2},  //
    {79, 3},
    {76, 1},
    {72, 2},
    {76, 2},  //
    {74, 3},
    {71, 1},
    {67, 2},
    {71, 2},  //
    // B', to the cadence
    {81, 3},
    {79, 1},
    {76, 2},
    {81, 2},  //
    {84, 3},
    {81, 1},
    {77, 2},
    {81, 2},  //
    {79, 3},
    {74, 1},
    {71, 2},
    {74, 2},  //
    {71, 2},
    {76, 2},
    {80, 4},  //
};
constexpr int MelodyFirstBar = 4;

constexpr int MelodyEighths() {
  int total = 0;
  for (const Note& n : Melody) total += n.eighths;
  return total;
}
static_assert(MelodyEighths() == (Bars - MelodyFirstBar) * 8, "the lead fills its bars exactly");

// ---- Voices ----------------------------------------------------------------

// Pad: two detuned triangles per chord note, one each side, through a
// low-pass filter; each bar's chord swells in and overlaps the next.
void PlayPad(Mix& mix) {
  const Envelope env{Seconds(350), Seconds(400), Unit * 3 / 4, Seconds(600)};
  for (int bar = 0; bar <= Bars; ++bar) {
    const Chord& chord = ChordOfBar(bar);
    const int64_t start = SixteenthAt(bar * 16);
    const int64_t length = bar == Bars ? Seconds(2600) : SixteenthAt(16) - Seconds(100);
    const int volume = bar < 2 ? 20 + bar * 6 : 30;
    for (const int note : chord.notes)
      for (int side = 0; side < 2; ++side) {
        const uint32_t base = NoteIncrement(note);
        const uint32_t inc = side == 0 ? base - base / 300 : base + base / 300;
        uint32_t phase = static_cast<uint32_t>(note * 977 + side * 40503) << 16;
        int64_t low = 0;
        int64_t gl, gr;
        Gains(side == 0 ? 64 : 192, volume, gl, gr);
        for (int64_t t = 0; t < env.Span(length); ++t) {
          phase += inc;
          low += (TriangleWave(phase) + SawWave(phase) / 4 - low) * 6000 >> 16;
          mix.Add(start + t, low * env.Level(t, length) >> 16, gl, gr);
        }
      }
  }
}

// Bass: saw and square an octave down, with a filter that closes after each
// pluck; a syncopated figure of roots, octaves and fifths.
void PlayBass(Mix& mix) {
  struct Hit {
    int sixteenth, interval, length;
  };
  static constexpr Hit Figure[] = {{0, 0, 3}, {3, 0, 2},  {6, 12, 2},
                                   {8, 0, 3}, {11, 0, 2}, {14, 7, 2}};
  const Envelope env{Seconds(4), Seconds(160), Unit * 5 / 8, Seconds(40)};
  int64_t gl, gr;
  Gains(128, 150, gl, gr);
  for (int bar = 2; bar <= Bars; ++bar) {
    const Chord& chord = ChordOfBar(bar);
    for (const Hit& hit : Figure) {
      if (bar == Bars && hit.sixteenth > 0) break;
      const int note = chord.root + hit.interval;
      const uint32_t inc = NoteIncrement(note);
      const int64_t start = SixteenthAt(bar * 16 + hit.sixteenth);
      const int64_t length = bar == Bars ? Seconds(1500) : SixteenthAt(hit.length) - Seconds(20);
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
  }
}

// Arpeggio: short pulse-wave plucks over the chord, left and right in turn.
void PlayArpeggio(Mix& mix) {
  static constexpr int Order[8] = {0, 1, 2, 3, 4, 3, 2, 1};
  const Envelope env{Seconds(2), Seconds(110), Unit / 5, Seconds(60)};
  for (int bar = 8; bar < Bars; ++bar) {
    const Chord& chord = ChordOfBar(bar);
    const int tones[5] = {chord.notes[0] + 12, chord.notes[1] + 12, chord.notes[2] + 12,
                          chord.notes[0] + 24, chord.notes[1] + 24};
    for (int s = 0; s < 16; ++s) {
      const int note = tones[Order[s % 8]];
      const uint32_t inc = NoteIncrement(note);
      const int64_t start = SixteenthAt(bar * 16 + s);
      const int64_t length = SixteenthAt(1) / 2;
      int64_t gl, gr;
      Gains(s % 2 == 0 ? 70 : 186, bar < 12 ? 40 : 50, gl, gr);
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
  const Envelope env{Seconds(8), Seconds(180), Unit * 3 / 4, Seconds(140)};
  int64_t eighth = MelodyFirstBar * 8;
  auto play = [&](int pitch, int64_t start, int64_t length) {
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
      const int64_t value = Sin(angle) / 2;
      const int64_t at = start + t;
      if (at >= 0 && at < TotalSamples) dry[at] += value * env.Level(t, length) >> 16;
    }
  };
  for (const Note& note : Melody) {
    const int64_t start = SixteenthAt(eighth * 2);
    const int64_t length = SixteenthAt(note.eighths * 2) - Seconds(30);
    if (note.pitch != 0) play(note.pitch, start, length);
    eighth += note.eighths;
  }
  play(81, SixteenthAt(Bars * 16), Seconds(2400));  // the last note, over the final chord
}

// Echo on the lead: a dotted eighth, bouncing left and right.
void MixLeadWithEcho(Mix& mix, const std::vector<int64_t>& dry) {
  const int64_t delay = BeatSamples * 3 / 4;
  std::vector<int64_t> echoLeft(TotalSamples), echoRight(TotalSamples);
  for (int64_t i = 0; i < TotalSamples; ++i) {
    if (i >= delay) {
      echoLeft[i] = (dry[i - delay] + echoRight[i - delay]) * 90 >> 8;
      echoRight[i] = echoLeft[i - delay] * 90 >> 8;
    }
    mix.Add(i, dry[i], 160, 160);
    mix.Add(i, echoLeft[i], 80, 20);
    mix.Add(i, echoRight[i], 20, 80);
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
    const int64_t white = static_cast<int32_t>(noise.Next() >> 16) - 32768;
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
    const int64_t white = static_cast<int32_t>(noise.Next() >> 16) - 32768;
    low += (white - low) * 20000 >> 16;
    const int64_t high = white - low;  // only the hiss
    const int64_t level = Unit * (length - t) / length;
    mix.Add(start + t, high * (level * level >> 16) >> 18, gl, gr);
  }
}

void PlayDrums(Mix& mix) {
  Random noise(7771);
  for (int bar = 2; bar < Bars; ++bar) {
    const bool drive = bar >= 12;  // four on the floor, 16th hats
    for (int s = 0; s < 16; ++s) {
      const int64_t at = SixteenthAt(bar * 16 + s);
      const bool kick = drive ? s % 4 == 0 : (s == 0 || s == 8 || (bar % 2 == 1 && s == 10));
      if (kick) Kick(mix, at, 190);
      const bool fill = (bar == 11 || bar == Bars - 1) && s >= 12;
      if (bar >= 4 && (s == 4 || s == 12 || fill))
        Snare(mix, noise, at, fill && s != 12 ? 90 : 130);
      if (s % 2 == 0 || drive) {
        const bool open = bar >= 8 && s == 14;
        Hat(mix, noise, at, s % 4 == 2 ? 110 : (s % 2 == 0 ? 80 : 50), open);
      }
    }
  }
  Kick(mix, SixteenthAt(Bars * 16), 230);
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
