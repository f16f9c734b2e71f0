#include "synth/score.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace synth {

namespace {

// ---------------------------------------------------------------------------
// Timeline

enum SectionId { kOpening, kCaveLight, kHeaving, kBreak, kLens, kCaveAgain, kSwarm, kClosing, kSilence };

// A run of equal bars; `lastBeats` > 0 changes the length of the run's last bar.
struct BarRun {
  int section, bars;
  double beatMs, beats, lastBeats;
};

const BarRun kRuns[] = {
    {kOpening, 1, 400.0, 3.0, 0.0},             // pick-up: the fade-in from silence
    {kOpening, 18, 400.0, 4.0, 0.0},            // 1.2 .. 30 s
    {kCaveLight, 20, 400.0, 4.0, 5.0},          // a five-beat fill bar lands on 62.4 s
    {kHeaving, 17, 400.0, 4.0, 5.0},            // the sweep ends on 90 s
    {kBreak, 1, 400.0, 1.25, 0.0},              // 90 .. 90.5 s, silent
    {kLens, 10, 400.0, 4.0, 0.0},               // smoke: 90.5 .. 106.5 s
    {kLens, 17, 425.0, 4.0, 0.0},               // the lens grows one step per 1.7 s bar
    {kLens, 7, 11600.0 / 28.0, 4.0, 0.0},       // build back into the cave
    {kCaveAgain, 9, 15000.0 / 36.0, 4.0, 0.0},  // 144 BPM
    {kSwarm, 33, 53300.0 / 132.0, 4.0, 0.0},    // 148.6 BPM
    {kClosing, 52, 400.0, 4.0, 0.0},
    {kClosing, 1, 400.0, 10.0, 0.0},            // the last chord rings out to 302.5 s
    {kSilence, 1, 400.0, 3.75, 0.0},
};

// ---------------------------------------------------------------------------
// Instruments

enum PatchId : uint8_t {
  kKick, kKickSoft, kKickHeavy, kSnare, kSnareBig, kClap, kHat, kHatOpen, kShaker, kCrash, kTom, kBoom,
  kRiser, kPadWarm, kPadDark, kPadGlass, kBassSub, kBassOff, kBassReese, kBassRoll, kPluck, kPluckSoft,
  kLead, kLeadSuper, kLeadSoft, kBell, kStab, kSweep, kPatchCount
};

std::vector<Patch> MakePatches() {
  std::vector<Patch> p(kPatchCount);
  auto drum = [](Kind kind, float gain) {
    Patch d;
    d.kind = kind;
    d.gain = gain;
    d.drumBus = true;
    return d;
  };
  Patch& kick = p[kKick] = drum(Kind::Kick, 0.57f);
  kick.pitchDrop = 36.0f;
  kick.pitchDropTime = 0.09f;
  kick.toneDecay = 0.5f;
  kick.noiseDecay = 0.012f;
  kick.cutoff = 3000.0f;
  kick.noiseMix = 0.3f;
  kick.drive = 1.8f;
  kick.duck = 1.0f;
  Patch& soft = p[kKickSoft] = kick;
  soft.gain = 0.4f;
  soft.pitchDrop = 26.0f;
  soft.toneDecay = 0.38f;
  soft.drive = 1.2f;
  Patch& heavy = p[kKickHeavy] = kick;
  heavy.gain = 0.6f;
  heavy.pitchDrop = 40.0f;
  heavy.toneDecay = 0.65f;
  heavy.drive = 2.6f;
  heavy.reverbSend = 0.04f;

  Patch& snare = p[kSnare] = drum(Kind::Snare, 1.1f);
  snare.pitchDrop = 5.0f;
  snare.pitchDropTime = 0.05f;
  snare.toneDecay = 0.12f;
  snare.noiseDecay = 0.2f;
  snare.cutoff = 1800.0f;
  snare.noiseMix = 0.65f;
  snare.drive = 1.5f;
  snare.reverbSend = 0.15f;
  Patch& big = p[kSnareBig] = snare;
  big.noiseDecay = 0.32f;
  big.toneDecay = 0.18f;
  big.reverbSend = 0.45f;
  big.gain = 0.9f;
  Patch& clap = p[kClap] = drum(Kind::Clap, 1.0f);
  clap.cutoff = 1100.0f;
  clap.resonance = 1.2f;
  clap.noiseDecay = 0.18f;
  clap.reverbSend = 0.22f;
  clap.pan = 0.05f;
  Patch& hat = p[kHat] = drum(Kind::Hat, 0.4f);
  hat.cutoff = 7500.0f;
  hat.noiseDecay = 0.045f;
  hat.pan = 0.25f;
  hat.reverbSend = 0.03f;
  Patch& open = p[kHatOpen] = drum(Kind::Hat, 0.3f);
  open.cutoff = 6500.0f;
  open.noiseDecay = 0.3f;
  open.pan = -0.2f;
  open.reverbSend = 0.05f;
  Patch& shaker = p[kShaker] = drum(Kind::Hat, 0.2f);
  shaker.cutoff = 5200.0f;
  shaker.noiseDecay = 0.06f;
  shaker.pan = -0.35f;
  shaker.delaySend = 0.1f;
  Patch& crash = p[kCrash] = drum(Kind::Hat, 0.22f);
  crash.cutoff = 3800.0f;
  crash.noiseDecay = 2.2f;
  crash.reverbSend = 0.25f;
  Patch& tom = p[kTom] = drum(Kind::Kick, 0.6f);
  tom.pitchDrop = 7.0f;
  tom.pitchDropTime = 0.15f;
  tom.toneDecay = 0.35f;
  tom.noiseMix = 0.15f;
  tom.noiseDecay = 0.02f;
  tom.cutoff = 1500.0f;
  tom.drive = 1.3f;
  tom.reverbSend = 0.2f;
  Patch& boom = p[kBoom] = drum(Kind::Kick, 0.6f);
  boom.pitchDrop = 24.0f;
  boom.pitchDropTime = 0.5f;
  boom.toneDecay = 2.2f;
  boom.noiseDecay = 0.05f;
  boom.cutoff = 800.0f;
  boom.drive = 1.5f;
  boom.reverbSend = 0.3f;
  Patch& riser = p[kRiser] = drum(Kind::Riser, 0.32f);
  riser.cutoff = 400.0f;
  riser.resonance = 2.5f;
  riser.noiseDecay = 0.3f;
  riser.reverbSend = 0.3f;
  riser.delaySend = 0.1f;

  Patch& warm = p[kPadWarm];
  warm.unison = 7;
  warm.detuneCents = 22.0f;
  warm.stereoSpread = 0.9f;
  warm.cutoff = 900.0f;
  warm.resonance = 0.8f;
  warm.keyTrack = 0.3f;
  warm.envOctaves = 1.0f;
  warm.filterEnv = {1.5f, 2.0f, 0.4f, 1.5f};
  warm.amp = {0.8f, 1.0f, 0.85f, 1.6f};
  warm.gain = 0.09f;
  warm.reverbSend = 0.35f;
  warm.delaySend = 0.05f;
  warm.duck = 0.45f;
  Patch& dark = p[kPadDark];
  dark.unison = 5;
  dark.detuneCents = 30.0f;
  dark.stereoSpread = 0.8f;
  dark.cutoff = 520.0f;
  dark.resonance = 1.6f;
  dark.amp = {1.2f, 1.0f, 0.9f, 2.0f};
  dark.gain = 0.1f;
  dark.reverbSend = 0.4f;
  dark.duck = 0.3f;
  Patch& glass = p[kPadGlass];
  glass.wave = Wave::Pulse;
  glass.unison = 4;
  glass.pwmDepth = 0.25f;
  glass.pwmRate = 0.3f;
  glass.detuneCents = 12.0f;
  glass.stereoSpread = 0.8f;
  glass.cutoff = 1600.0f;
  glass.resonance = 0.9f;
  glass.amp = {0.4f, 1.0f, 0.8f, 2.0f};
  glass.gain = 0.07f;
  glass.reverbSend = 0.5f;
  glass.delaySend = 0.15f;
  glass.duck = 0.5f;

  Patch& sub = p[kBassSub];
  sub.wave = Wave::Triangle;
  sub.subLevel = 0.5f;
  sub.octave = -1.0f;
  sub.cutoff = 500.0f;
  sub.amp = {0.01f, 0.2f, 0.9f, 0.15f};
  sub.gain = 0.8f;
  sub.duck = 0.5f;
  Patch& off = p[kBassOff];
  off.unison = 2;
  off.detuneCents = 10.0f;
  off.subLevel = 0.5f;
  off.cutoff = 300.0f;
  off.resonance = 1.3f;
  off.envOctaves = 3.0f;
  off.filterEnv = {0.001f, 0.12f, 0.1f, 0.1f};
  off.keyTrack = 0.5f;
  off.amp = {0.002f, 0.15f, 0.7f, 0.04f};
  off.gain = 0.65f;
  off.duck = 0.6f;
  Patch& reese = p[kBassReese];
  reese.unison = 3;
  reese.detuneCents = 35.0f;
  reese.cutoff = 350.0f;
  reese.resonance = 2.0f;
  reese.envOctaves = 1.2f;
  reese.filterEnv = {0.3f, 1.2f, 0.3f, 0.3f};
  reese.subLevel = 0.6f;
  reese.amp = {0.01f, 0.5f, 0.9f, 0.12f};
  reese.gain = 0.35f;
  reese.duck = 0.3f;
  Patch& roll = p[kBassRoll];
  roll.unison = 2;
  roll.detuneCents = 6.0f;
  roll.subLevel = 0.4f;
  roll.cutoff = 450.0f;
  roll.resonance = 1.1f;
  roll.envOctaves = 2.2f;
  roll.filterEnv = {0.001f, 0.09f, 0.0f, 0.05f};
  roll.amp = {0.002f, 0.1f, 0.6f, 0.03f};
  roll.gain = 0.65f;
  roll.duck = 0.5f;

  Patch& pluck = p[kPluck];
  pluck.wave = Wave::Pulse;
  pluck.unison = 2;
  pluck.pulseWidth = 0.35f;
  pluck.detuneCents = 8.0f;
  pluck.stereoSpread = 0.4f;
  pluck.cutoff = 700.0f;
  pluck.resonance = 1.5f;
  pluck.envOctaves = 3.5f;
  pluck.filterEnv = {0.001f, 0.18f, 0.0f, 0.1f};
  pluck.keyTrack = 0.4f;
  pluck.amp = {0.002f, 0.25f, 0.0f, 0.1f};
  pluck.gain = 0.25f;
  pluck.delaySend = 0.35f;
  pluck.reverbSend = 0.2f;
  pluck.duck = 0.3f;
  Patch& softPluck = p[kPluckSoft];
  softPluck.wave = Wave::Triangle;
  softPluck.unison = 2;
  softPluck.detuneCents = 6.0f;
  softPluck.stereoSpread = 0.5f;
  softPluck.cutoff = 1500.0f;
  softPluck.envOctaves = 2.0f;
  softPluck.filterEnv = {0.001f, 0.3f, 0.0f, 0.2f};
  softPluck.amp = {0.002f, 0.4f, 0.0f, 0.2f};
  softPluck.gain = 0.3f;
  softPluck.delaySend = 0.4f;
  softPluck.reverbSend = 0.3f;

  Patch& lead = p[kLead];
  lead.unison = 3;
  lead.detuneCents = 14.0f;
  lead.stereoSpread = 0.5f;
  lead.cutoff = 2200.0f;
  lead.envOctaves = 1.5f;
  lead.filterEnv = {0.005f, 0.4f, 0.3f, 0.3f};
  lead.keyTrack = 0.5f;
  lead.amp = {0.01f, 0.3f, 0.8f, 0.25f};
  lead.vibratoCents = 18.0f;
  lead.vibratoRate = 5.5f;
  lead.vibratoDelay = 0.25f;
  lead.gain = 0.2f;
  lead.delaySend = 0.3f;
  lead.reverbSend = 0.25f;
  lead.duck = 0.25f;
  Patch& superLead = p[kLeadSuper] = lead;
  superLead.unison = 7;
  superLead.detuneCents = 28.0f;
  superLead.stereoSpread = 0.7f;
  superLead.cutoff = 3000.0f;
  superLead.gain = 0.19f;
  Patch& softLead = p[kLeadSoft];
  softLead.wave = Wave::Triangle;
  softLead.unison = 2;
  softLead.detuneCents = 6.0f;
  softLead.stereoSpread = 0.3f;
  softLead.cutoff = 2500.0f;
  softLead.amp = {0.02f, 0.5f, 0.7f, 0.4f};
  softLead.vibratoCents = 12.0f;
  softLead.vibratoDelay = 0.3f;
  softLead.gain = 0.3f;
  softLead.delaySend = 0.35f;
  softLead.reverbSend = 0.35f;
  Patch& bell = p[kBell];
  bell.kind = Kind::Fm;
  bell.fmRatio = 3.5f;
  bell.fmIndex = 0.35f;
  bell.fmDecay = 1.2f;
  bell.amp = {0.002f, 2.5f, 0.0f, 1.5f};
  bell.gain = 0.2f;
  bell.delaySend = 0.3f;
  bell.reverbSend = 0.45f;
  bell.pan = 0.15f;
  Patch& stab = p[kStab];
  stab.unison = 5;
  stab.detuneCents = 18.0f;
  stab.stereoSpread = 0.7f;
  stab.cutoff = 900.0f;
  stab.resonance = 1.2f;
  stab.envOctaves = 2.5f;
  stab.filterEnv = {0.001f, 0.2f, 0.1f, 0.1f};
  stab.amp = {0.003f, 0.25f, 0.2f, 0.1f};
  stab.gain = 0.16f;
  stab.reverbSend = 0.3f;
  stab.delaySend = 0.2f;
  stab.duck = 0.3f;
  Patch& sweep = p[kSweep];
  sweep.unison = 5;
  sweep.detuneCents = 20.0f;
  sweep.stereoSpread = 0.6f;
  sweep.cutoff = 400.0f;
  sweep.resonance = 2.0f;
  sweep.amp = {1.0f, 1.0f, 1.0f, 0.05f};
  sweep.gain = 0.12f;
  sweep.reverbSend = 0.3f;
  return p;
}

// ---------------------------------------------------------------------------
// Pitches and chords

// "A4", "C#5", "Bb3" -> MIDI note number.
int ParsePitch(const char*& s) {
  static const int kClass[] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  int pc = kClass[*s++ - 'A'];
  if (*s == '#') ++pc, ++s;
  else if (*s == 'b') --pc, ++s;
  int octave = 0;
  while (*s >= '0' && *s <= '9') octave = octave * 10 + (*s++ - '0');
  return 12 * (octave + 1) + pc;
}

struct Chord {
  int root = 0;  // pitch class
  std::vector<int> intervals;
};

Chord ParseChord(const char* name) {
  static const int kClass[] = {9, 11, 0, 2, 4, 5, 7};
  Chord c;
  const char* s = name;
  c.root = kClass[*s++ - 'A'];
  if (*s == '#') ++c.root, ++s;
  else if (*s == 'b') --c.root, ++s;
  c.root = (c.root + 12) % 12;
  std::string q = s;
  if (q == "m") c.intervals = {0, 3, 7};
  else if (q == "7") c.intervals = {0, 4, 7, 10};
  else if (q == "m7") c.intervals = {0, 3, 7, 10};
  else if (q == "maj7") c.intervals = {0, 4, 7, 11};
  else if (q == "m9") c.intervals = {0, 3, 7, 10, 14};
  else if (q == "madd9") c.intervals = {0, 3, 7, 14};
  else if (q == "sus4") c.intervals = {0, 5, 7};
  else if (q == "sus2") c.intervals = {0, 2, 7};
  else if (q == "6") c.intervals = {0, 4, 7, 9};
  else c.intervals = {0, 4, 7};
  return c;
}

// Chord tones folded into [lo, lo + 12), ascending: close voicings that move
// little from chord to chord.
std::vector<int> Voicing(const Chord& c, int lo) {
  std::vector<int> v;
  for (int i : c.intervals) {
    int p = c.root + i;
    p = lo + ((p - lo) % 12 + 12) % 12;
    v.push_back(p);
  }
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

int BassRoot(const Chord& c, int lo = 28) { return lo + ((c.root - lo) % 12 + 12) % 12; }

// ---------------------------------------------------------------------------
// Writing notes

struct Writer {
  Song& song;
  uint32_t humanState = 12345;

  // Small deterministic velocity variation so repeated hits are not identical.
  float Human(float amount) {
    humanState = humanState * 214013u + 2531011u;
    return 1.0f + amount * (((humanState >> 16) & 0x7FFF) / 32767.0f - 0.5f);
  }

  void Add(PatchId patch, double ms, double lenMs, float pitch, float vel, float cut0 = 0.0f, float cut1 = 0.0f,
           float pan = 0.0f, float bend = 0.0f) {
    Note n;
    n.start = MsToFrame(ms);
    n.length = static_cast<int32_t>(std::max<int64_t>(MsToFrame(ms + lenMs) - n.start, 1));
    n.patch = patch;
    n.pitch = pitch;
    n.velocity = vel;
    n.cutStart = cut0;
    n.cutEnd = cut1;
    n.pan = pan;
    n.bend = bend;
    song.notes.push_back(n);
  }
};

double At(const Bar& b, double step) { return b.startMs + step * b.beatMs * 0.25; }
int Steps(const Bar& b) { return static_cast<int>(std::lround(b.beats * 4.0)); }
double StepMs(const Bar& b) { return b.beatMs * 0.25; }
double BarMs(const Bar& b) { return b.beatMs * b.beats; }

float StepVelocity(char c) {
  switch (c) {
    case 'X': return 1.15f;
    case 'x': return 1.0f;
    case 'o': return 0.6f;
    case '.': return 0.3f;
    default: return 0.0f;
  }
}

// One drum hit per pattern character ('X' 'x' 'o' '.' loud to soft, '-' rest);
// the pattern repeats when the bar is longer than it.
void Drums(Writer& w, const Bar& b, PatchId patch, const char* pattern, float vel = 1.0f) {
  // Kicks sit on G1; the snare's body is an F#3.
  float pitch = (patch == kSnare || patch == kSnareBig) ? 54.0f : 31.0f;
  size_t len = std::strlen(pattern);
  for (int s = 0; s < Steps(b); ++s) {
    float v = StepVelocity(pattern[s % len]);
    if (v > 0.0f) w.Add(patch, At(b, s), StepMs(b), pitch, v * vel * w.Human(0.08f));
  }
}

// Evenly spaced hits from step `from` to `to` (exclusive), `per` hits per step,
// velocity ramping from v0 to v1: snare rolls and builds.
void Roll(Writer& w, const Bar& b, PatchId patch, double from, double to, int per, float v0, float v1,
          float pitch = 54.0f) {
  int n = static_cast<int>(std::lround((to - from) * per));
  for (int i = 0; i < n; ++i) {
    float f = n > 1 ? static_cast<float>(i) / (n - 1) : 1.0f;
    w.Add(patch, At(b, from + static_cast<double>(i) / per), StepMs(b) / per, pitch, v0 + (v1 - v0) * f);
  }
}

// Descending tom fill over the given steps.
void TomFill(Writer& w, const Bar& b, int from, int to, float vel = 0.9f) {
  static const float kToms[] = {52, 50, 47, 45, 43, 40, 38, 36};
  for (int s = from; s < to; ++s) {
    int k = (s - from) * 8 / std::max(to - from, 1);
    w.Add(kTom, At(b, s), StepMs(b), kToms[k], vel * (0.8f + 0.2f * (s - from) / std::max(to - from, 1)));
  }
}

// Bass line from a pattern over the chord: 'R' root, 'O' octave, 'F' fifth,
// 'T' the chord's second tone, '-' holds the previous note, anything else rests.
void Bass(Writer& w, const Bar& b, PatchId patch, const Chord& c, const char* pattern, float vel = 1.0f) {
  size_t len = std::strlen(pattern);
  int root = BassRoot(c);
  int steps = Steps(b);
  for (int s = 0; s < steps; ++s) {
    char ch = pattern[s % len];
    int pitch;
    switch (ch) {
      case 'R': pitch = root; break;
      case 'O': pitch = root + 12; break;
      case 'F': pitch = root + 7; break;
      case 'T': pitch = root + c.intervals[1]; break;
      default: continue;
    }
    int hold = 1;
    while (s + hold < steps && pattern[(s + hold) % len] == '-') ++hold;
    float accent = (s % 4 == 0) ? 1.0f : (s % 2 == 0 ? 0.9f : 0.8f);
    w.Add(patch, At(b, s), StepMs(b) * (hold - 0.2), pitch + 12.0f, vel * accent * w.Human(0.06f));
  }
}

// Chord held for `lenMs`, voiced in [lo, lo + 12), its cutoff swept cut0 -> cut1.
void Pad(Writer& w, PatchId patch, double ms, double lenMs, const Chord& c, int lo, float vel, float cut0 = 0.0f,
         float cut1 = 0.0f) {
  for (int p : Voicing(c, lo)) w.Add(patch, ms, lenMs, static_cast<float>(p), vel, cut0, cut1);
}

// Arpeggio: each pattern digit picks a chord tone counted upwards from lo
// (continuing into the next octaves); '.' rests. `per` notes per step.
void Arp(Writer& w, const Bar& b, PatchId patch, const Chord& c, const char* pattern, int lo, float vel,
         float cut = 0.0f, int per = 1, int steps = -1) {
  std::vector<int> tones = Voicing(c, lo);
  size_t base = tones.size();
  for (int o = 1; o < 3; ++o)
    for (size_t i = 0; i < base; ++i) tones.push_back(tones[i] + 12 * o);
  size_t len = std::strlen(pattern);
  int n = (steps < 0 ? Steps(b) : steps) * per;
  for (int i = 0; i < n; ++i) {
    char ch = pattern[i % len];
    if (ch < '0' || ch > '9') continue;
    int pitch = tones[std::min<size_t>(ch - '0', tones.size() - 1)];
    float accent = (i % (4 * per) == 0) ? 1.0f : 0.8f;
    w.Add(patch, At(b, static_cast<double>(i) / per), StepMs(b) / per * 0.9, static_cast<float>(pitch),
          vel * accent * w.Human(0.1f), cut);
  }
}

// A bar of melody: "E5/6 D5/2 r/4 ..." (pitch or r for rest, then length in steps).
void Line(Writer& w, const Bar& b, PatchId patch, const char* text, float vel, int transpose = 0,
          double gate = 0.92) {
  const char* s = text;
  double step = 0.0;
  while (*s) {
    if (*s == ' ' || *s == '|') {
      ++s;
      continue;
    }
    int pitch = -1;
    if (*s == 'r') ++s;
    else pitch = ParsePitch(s);
    int len = 0;
    if (*s == '/') {
      ++s;
      while (*s >= '0' && *s <= '9') len = len * 10 + (*s++ - '0');
    }
    if (pitch >= 0)
      w.Add(patch, At(b, step), StepMs(b) * len * gate, static_cast<float>(pitch + transpose),
            vel * (step == 0.0 ? 1.0f : 0.9f) * w.Human(0.06f));
    step += len;
  }
}

// Chord stabs on the pattern's 'x' steps.
void Stabs(Writer& w, const Bar& b, PatchId patch, const Chord& c, const char* pattern, int lo, float vel) {
  size_t len = std::strlen(pattern);
  for (int s = 0; s < Steps(b); ++s)
    if (pattern[s % len] == 'x') Pad(w, patch, At(b, s), StepMs(b) * 1.5, c, lo, vel * w.Human(0.08f));
}

// ---------------------------------------------------------------------------
// Melodies

// The main theme, over Am Am F F C C G G.
const char* const kTheme[8] = {
    "E5/6 D5/2 C5/4 B4/2 C5/2", "A4/6 E4/2 A4/4 C5/4",      "F5/6 E5/2 C5/4 A4/2 C5/2",
    "F4/6 A4/2 C5/4 E5/4",      "G5/6 F5/2 E5/4 D5/2 E5/2", "C5/6 G4/2 C5/4 E5/4",
    "D5/6 E5/2 D5/4 B4/2 G4/2", "B4/4 C5/4 D5/4 B4/4",
};
// Its second ending, climbing to the top instead of settling.
const char* const kThemeEnd[2] = {"D5/4 E5/4 G5/4 D5/4", "B5/8 A5/4 B5/4"};

// The cave's lead, over Dm Dm Bb Bb Gm Gm A A.
const char* const kCaveLead[8] = {
    "A4/3 D5/3 F5/2 E5/3 D5/3 C5/2", "D5/3 A4/3 F4/2 A4/4 r/4",       "Bb4/3 D5/3 F5/2 G5/3 F5/3 D5/2",
    "F5/6 D5/2 Bb4/4 r/4",           "G4/3 Bb4/3 D5/2 F5/3 E5/3 D5/2", "D5/6 Bb4/2 G4/4 r/4",
    "A4/3 C#5/3 E5/2 G5/3 F5/3 E5/2", "C#5/8 E5/4 A5/4",
};

// The closing's song, over F G Em Am Dm G C C.
const char* const kClosingLine[8] = {
    "A4/4 C5/4 F5/6 E5/2", "D5/4 B4/4 G4/8",      "G4/4 B4/4 E5/6 D5/2", "C5/4 A4/4 E4/8",
    "F4/4 A4/4 D5/4 F5/4", "E5/4 D5/4 B4/4 G4/4", "C5/12 D5/2 E5/2",     "C5/16",
};

// Bells over the smoke, over Fmaj7 Fmaj7 G G Em7 Em7 Am9 Am9 Fmaj7 G.
const char* const kSmokeBells[10] = {
    "C6/4 E6/4 A5/8", "G5/4 A5/4 B5/8", "D6/4 B5/4 G5/8", "A5/4 B5/4 D6/8", "B5/4 G5/4 E5/8",
    "D5/4 E5/4 G5/8", "C6/4 B5/4 A5/8", "E5/16",          "A5/4 C6/4 E6/8", "D6/8 B5/8",
};

// ---------------------------------------------------------------------------
// Sections. Each gets its own bars (index 0 first) and writes all its notes.

using Bars = std::vector<const Bar*>;

void Opening(Writer& w, const Bars& bars) {
  static const char* const kChords[19] = {"Amadd9", "Amadd9", "Amadd9", "F", "F", "C", "C", "G", "G", "Am",
                                          "Am",     "F",      "F",      "C", "C", "G", "G", "Dm", "A"};
  const Bar& pickup = *bars[0];
  // Out of the silence: a pad already sounding as the fade opens, air rising under it.
  Pad(w, kPadWarm, pickup.startMs, BarMs(pickup) + 2 * BarMs(*bars[1]), ParseChord("Amadd9"), 55, 0.8f, -2.0f, -0.8f);
  w.Add(kRiser, pickup.startMs, BarMs(pickup), 60, 0.25f, 0.0f, 2.0f);
  for (int i = 1; i <= 18; ++i) {
    const Bar& b = *bars[i];
    Chord c = ParseChord(kChords[i]);
    float open = static_cast<float>(i) / 18.0f;  // the pad and arpeggio open up over the section
    if (i >= 3 && (i % 2 == 1 || i >= 17)) {
      double len = i >= 17 ? BarMs(b) : 2 * BarMs(b);
      Pad(w, kPadWarm, b.startMs, len, c, 55, 0.8f, -1.6f + 1.6f * open, -1.2f + 1.6f * open);
    }
    if (i >= 1 && i <= 8 && i % 2 == 1)
      w.Add(kBassSub, b.startMs, 2 * BarMs(b) - 50, BassRoot(c) + 12.0f, i < 5 ? 0.5f : 0.8f);
    if (i <= 2) Line(w, b, kBell, i == 1 ? "A5/8 E5/8" : "C6/8 B5/4 E5/4", 0.45f, 0, 1.0);
    if (i >= 9 && i <= 16) Bass(w, b, kBassOff, c, "..R...R...R...R.", 0.75f);
    if (i >= 17) Bass(w, b, kBassOff, c, "..R...R...O.R.O.", 0.9f);
    if (i >= 3) {
      const char* pattern = i < 9 ? "0123" : i < 13 ? "02130213" : "0123432101234321";
      Arp(w, b, kPluck, c, pattern, 57, 0.35f + 0.35f * open, -1.0f + 1.5f * open);
    }
    if (i >= 9 && i <= 16) {
      static const char* const kHint[8] = {"E5/6 D5/2 C5/8", "r/16", "F5/6 E5/2 C5/8", "r/12 A4/4",
                                           "G5/6 F5/2 E5/8", "r/16", "D5/6 E5/2 B4/8", "r/8 B4/4 D5/4"};
      Line(w, b, kBell, kHint[i - 9], 0.8f, 0, 1.0);
    }
    // Drums arrive in layers: shaker, then half-time kick and hats, then the run-in.
    if (i >= 5 && i <= 8) Drums(w, b, kShaker, "--o---o---o---o-", 0.8f);
    if (i >= 9 && i <= 16) {
      Drums(w, b, kKickSoft, i % 4 == 0 ? "x-------x-----x-" : "x-------x-------");
      Drums(w, b, kHat, "--o---o---o---o-");
      Drums(w, b, kShaker, "o.o.o.o.o.o.o.o.", 0.8f);
      if (i % 4 == 0) Drums(w, b, kClap, "------------x---", 0.7f);
    }
    if (i == 16) TomFill(w, b, 12, 16, 0.7f);
    if (i >= 17) {
      Drums(w, b, kKick, "x---x---x---x---");
      Drums(w, b, kHat, "--x---x---x---x-");
      Drums(w, b, kShaker, "oooooooooooooooo", 0.8f);
    }
    if (i == 17) w.Add(kRiser, b.startMs, 2 * BarMs(b), 60, 0.6f, 0.0f, 4.5f);
    if (i == 17) Drums(w, b, kSnare, "------------o-o-", 0.6f);
    if (i == 18) Roll(w, b, kSnare, 0, 16, 1, 0.3f, 1.0f);
  }
}

void CaveLight(Writer& w, const Bars& bars) {
  static const char* const kChords[20] = {"Dm", "Dm", "Bb", "Bb", "F",  "F",  "C", "C", "Dm", "Dm",
                                          "Bb", "Bb", "Gm", "Gm", "A",  "A",  "Dm", "Bb", "C", "A"};
  static const char* const kLastLead[4] = {"F5/3 E5/3 D5/2 A5/8", "D5/3 F5/3 Bb5/2 A5/8", "G5/3 E5/3 C5/2 G5/8",
                                           "A5/4 G5/4 E5/4 C#5/8"};
  for (int i = 0; i < 20; ++i) {
    const Bar& b = *bars[i];
    Chord c = ParseChord(kChords[i]);
    bool last = i == 19;
    // Drums: four on the floor under the travelling light, one hit per lamp pulse.
    Drums(w, b, kKick, last ? "x---x---x---x---x-x-" : "x---x---x---x---");
    if (i % 8 == 0) w.Add(kCrash, b.startMs, 400, 60, 1.0f);
    if (!last) Drums(w, b, kClap, i % 8 == 7 ? "----x-------x-x-" : "----x-------x---", 0.9f);
    if (i < 8) {
      Drums(w, b, kHat, "--x---x---x---x-");
      Drums(w, b, kShaker, "o.o.o.o.o.o.o.o.");
    } else if (i < 16) {
      Drums(w, b, kHat, "oox.oox.oox.oox.");
      Drums(w, b, kHatOpen, "--x---x---x---x-", 0.8f);
    } else {
      Drums(w, b, kHat, "xoxoxoxoxoxoxoxo");
      Drums(w, b, kHatOpen, "--x---x---x---x-", 0.9f);
    }
    if (i == 7) Roll(w, b, kSnare, 12, 16, 1, 0.5f, 0.9f);
    if (i == 15) TomFill(w, b, 8, 16);
    if (i == 18) w.Add(kRiser, b.startMs, BarMs(b) + BarMs(*bars[19]), 60, 0.6f, 0.0f, 4.5f);
    if (last) Roll(w, b, kSnare, 8, 20, 2, 0.3f, 1.0f);
    // Bass: off-beat, then rolling, then rolling with octave jumps.
    if (i < 8) Bass(w, b, kBassOff, c, "..R...R...R...R.");
    else if (i < 16) Bass(w, b, kBassRoll, c, ".ROR.ROR.ROR.RFR");
    else Bass(w, b, kBassRoll, c, ".RRO.RRO.RRO.ROO");
    Arp(w, b, kPluck, c, i < 8 ? "0123" : i < 16 ? "02413524" : "54321032", 57, 0.7f, i < 8 ? 0.0f : 0.6f);
    if (i % 2 == 0 && !last)
      Pad(w, kPadDark, b.startMs, i == 18 ? BarMs(b) : 2 * BarMs(b), c, 53, 0.8f, 0.0f, 0.5f);
    if (i == 19) Pad(w, kPadDark, b.startMs, BarMs(b), c, 53, 0.8f, 0.5f, 1.5f);
    if (i >= 8 && i < 16) Line(w, b, kLead, kCaveLead[i - 8], 1.0f);
    if (i >= 16) Line(w, b, kLead, kLastLead[i - 16], 1.0f);
  }
}

void Heaving(Writer& w, const Bars& bars) {
  static const char* const kChords[17] = {"Em", "Em", "F", "F", "Em", "Em", "Dm", "F", "Em",
                                          "Em", "F",  "F", "Am", "Am", "F", "G",  "E"};
  for (int i = 0; i < 17; ++i) {
    const Bar& b = *bars[i];
    Chord c = ParseChord(kChords[i]);
    bool last = i == 16;
    // Half-time and heavy, then doubling up; the walls heave once per bar.
    if (i % 8 == 0) w.Add(kCrash, b.startMs, 400, 60, 1.0f);
    if (last) {
      Drums(w, b, kKickHeavy, "x---x---x---x---x-x-");
      Roll(w, b, kSnare, 0, 16, 1, 0.3f, 0.7f);
      Roll(w, b, kSnare, 16, 20, 2, 0.7f, 1.0f);
    } else if (i < 8) {
      Drums(w, b, kKickHeavy, "x-----x---x-----");
      Drums(w, b, kSnareBig, i >= 4 ? "--------x-----o-" : "--------x-------");
      Drums(w, b, kHat, "xo.ox.o.xo.ox.o.", 0.8f);
    } else {
      Drums(w, b, kKickHeavy, i % 2 ? "x-----x-x-x---x-" : "x-----x---x---x-");
      Drums(w, b, kSnareBig, "----x-------x---");
      Drums(w, b, kHat, "xoxoxoxoxoxoxoxo", 0.8f);
      if (i >= 12) Drums(w, b, kHatOpen, "--x---x---x---x-", 0.8f);
    }
    if (i == 7) TomFill(w, b, 12, 16);
    if (i == 15) TomFill(w, b, 8, 16);
    // Reese bass and a pulse pad whose filter breathes up and down bar by bar.
    if (!last) {
      Bass(w, b, kBassReese, c, i < 8 ? "R-----------R-O-" : "R-----R---R---O-");
      Pad(w, kPadGlass, b.startMs, BarMs(b), c, 52, 0.9f, i % 2 ? 1.0f : -0.8f, i % 2 ? -0.8f : 1.0f);
    }
    if (i >= 8 && !last) Stabs(w, b, kStab, c, "---x--x-----x---", 60, 0.9f);
    if (i >= 4 && i < 8) Arp(w, b, kPluck, c, "0.2.1.3.", 52, 0.6f, -0.5f);
    if (i >= 12 && !last) Arp(w, b, kPluck, c, "0213", 64, 0.6f, 0.3f);
  }
  // The rising sweep: the last two and a quarter bars climb into the cut at 90 s.
  const Bar& from = *bars[14];
  double lenMs = bars[16]->startMs + BarMs(*bars[16]) - from.startMs;
  w.Add(kRiser, from.startMs, lenMs, 60, 0.8f, 0.0f, 5.0f);
  w.Add(kSweep, from.startMs, lenMs, 64, 0.9f, -1.0f, 3.5f, 0.0f, -24.0f);
  w.Add(kSweep, from.startMs, lenMs, 71, 0.7f, -1.0f, 3.5f, 0.0f, -24.0f);
  w.Add(kBassReese, bars[16]->startMs, BarMs(*bars[16]), 40, 1.0f, 0.0f, 2.0f);
}

void Lens(Writer& w, const Bars& bars) {
  static const char* const kChords[34] = {
      "Fmaj7", "Fmaj7", "G",  "G",  "Em7", "Em7",  "Am9", "Am9", "Fmaj7", "G",      // smoke
      "Fmaj7", "G",     "Em7", "Am", "Fmaj7", "G", "Am",  "Am",  "Dm7",   "Em7",    // lens steps
      "Fmaj7", "G",     "Am",  "F",  "C",   "G",    "Esus4",                        //
      "Dm",    "Dm",    "Bb",  "Bb", "C",   "C",    "A"};                           // build
  for (int i = 0; i < 34; ++i) {
    const Bar& b = *bars[i];
    Chord c = ParseChord(kChords[i]);
    if (i < 10) {
      // Smoke: the picture comes back with a deep hit, then bells drift over a pad.
      if (i == 0) {
        w.Add(kBoom, b.startMs, 400, 28, 1.0f);
        w.Add(kCrash, b.startMs, 400, 60, 0.8f);
      }
      if (i % 2 == 0 && i < 8) {
        Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.9f, 0.0f, 0.6f);
        w.Add(kBassSub, b.startMs, 2 * BarMs(b) - 50, BassRoot(c) + 12.0f, 0.75f);
      }
      if (i >= 8) {
        Pad(w, kPadWarm, b.startMs, BarMs(b), c, 55, 0.9f, 0.3f, 0.8f);
        w.Add(kBassSub, b.startMs, BarMs(b) - 50, BassRoot(c) + 12.0f, 0.75f);
      }
      Line(w, b, kBell, kSmokeBells[i], 0.9f, 0, 1.0);
      if (i >= 4) Drums(w, b, kShaker, "o.o.o.o.o.o.o.o.", 0.8f);
      if (i >= 6) Drums(w, b, kClap, "------------o---", 0.6f);
      if (i == 9) w.Add(kRiser, b.startMs, BarMs(b), 60, 0.45f, 0.0f, 3.0f);
    } else if (i < 27) {
      // The lens grows one step per bar: a low hit and a chord swell on each.
      int k = i - 10;  // 0..16
      float grow = k / 16.0f;
      w.Add(kTom, b.startMs, 400, 38, 0.7f + 0.3f * grow);
      Drums(w, b, kKickSoft, "x-----x---------", 0.8f + 0.2f * grow);
      Drums(w, b, kSnareBig, "--------x-------", 0.7f);
      Drums(w, b, kHat, k < 8 ? "x-o-x-o-x-o-x-o-" : "xoxoxoxoxoxoxoxo", 0.6f + 0.3f * grow);
      if (k >= 8) Drums(w, b, kShaker, "..o...o...o...o.", 0.9f);
      Pad(w, kPadGlass, b.startMs, BarMs(b), c, 55, 0.8f + 0.2f * grow, -0.5f, 0.8f + 0.5f * grow);
      Bass(w, b, k < 8 ? kBassSub : kBassOff, c, k < 8 ? "R-------R---O---" : "R-..R-..R-..O-..", 0.85f);
      Arp(w, b, kPluckSoft, c, k < 8 ? "0.1.2.3.2.1.3.4." : "0123423101234231", 60, 0.55f + 0.3f * grow,
          -0.5f + grow);
      // Bells pick out the top of each chord on the step.
      std::vector<int> top = Voicing(c, 76);
      w.Add(kBell, b.startMs, 600, static_cast<float>(top.back()), 0.8f);
      w.Add(kBell, At(b, 6), 400, static_cast<float>(top[top.size() / 2]), 0.5f);
      if (k == 16) w.Add(kCrash, b.startMs, 400, 60, 0.9f);
      if (k == 7 || k == 15) TomFill(w, b, 12, 16, 0.6f);
    } else {
      // Build back into the cave: the kick returns, the roll tightens, air rises.
      int k = i - 27;  // 0..6
      float build = k / 6.0f;
      Drums(w, b, kKick, "x---x---x---x---", 0.7f + 0.3f * build);
      if (k >= 2) Drums(w, b, kClap, "----x-------x---", 0.8f);
      Drums(w, b, kHat, "oxoxoxoxoxoxoxox", 0.7f + 0.3f * build);
      Bass(w, b, kBassOff, c, "..R...R...R...R.", 0.8f + 0.2f * build);
      Arp(w, b, kPluck, c, "0123", 57, 0.6f + 0.2f * build, -1.0f + 2.5f * build);
      if (k % 2 == 0 && k < 6) Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.8f, 0.0f, 1.0f);
      if (k == 6) Pad(w, kPadWarm, b.startMs, BarMs(b), c, 55, 0.9f, 0.5f, 1.5f);
      if (k == 4) w.Add(kRiser, b.startMs, 3 * BarMs(b), 60, 0.7f, 0.0f, 5.0f);
      if (k == 5) Roll(w, b, kSnare, 0, 16, 1, 0.3f, 0.7f);
      if (k == 6) Roll(w, b, kSnare, 0, 16, 2, 0.6f, 1.0f);
    }
  }
}

void CaveAgain(Writer& w, const Bars& bars) {
  static const char* const kChords[9] = {"Dm", "Dm", "Bb", "Bb", "Gm", "Gm", "A", "A", "E"};
  for (int i = 0; i < 9; ++i) {
    const Bar& b = *bars[i];
    Chord c = ParseChord(kChords[i]);
    bool last = i == 8;
    if (i == 0) w.Add(kCrash, b.startMs, 400, 60, 1.0f);
    if (!last) {
      Drums(w, b, kKickHeavy, "x---x---x---x---");
      Drums(w, b, kClap, "----x-------x---");
      Drums(w, b, kHat, "xoxoxoxoxoxoxoxo");
      Drums(w, b, kHatOpen, "--x---x---x---x-", 0.9f);
      Bass(w, b, kBassRoll, c, ".ROR.ROR.ROR.ROR");
      Stabs(w, b, kStab, c, "x--x--x---x--x--", 57, 0.8f);
      Line(w, b, kLead, kCaveLead[i], 1.0f, 12);
      Arp(w, b, kPluck, c, "0123", 57, 0.6f, 0.8f);
    } else {
      // Turn towards the swarm's A minor: dominant, toms and a tightening roll.
      Drums(w, b, kKickHeavy, "x-------x-------");
      TomFill(w, b, 0, 8);
      Roll(w, b, kSnare, 8, 16, 2, 0.4f, 1.0f);
      w.Add(kRiser, b.startMs, BarMs(b), 60, 0.6f, 1.0f, 5.0f);
      Pad(w, kPadDark, b.startMs, BarMs(b), c, 52, 0.9f, 0.5f, 2.0f);
      w.Add(kBassReese, b.startMs, BarMs(b), BassRoot(c) + 12.0f, 0.9f);
    }
  }
}

void Swarm(Writer& w, const Bars& bars) {
  static const char* const kTail[8] = {"F", "G", "Em", "Am", "Am", "Am", "F", "F"};
  static const char* const kThemeChords[8] = {"Am", "Am", "F", "F", "C", "C", "G", "G"};
  for (int i = 0; i < 33; ++i) {
    const Bar& b = *bars[i];
    const char* name = i < 24 ? kThemeChords[i % 8] : i < 32 ? kTail[i - 24] : "E";
    Chord c = ParseChord(name);
    if (i < 8) {
      // The ribbon grows: running bass and arpeggio over a steady kick.
      float build = i / 7.0f;
      Drums(w, b, kKick, "x---x---x---x---", 0.85f);
      Drums(w, b, kHat, "--x---x---x---x-");
      Drums(w, b, kShaker, "oooooooooooooooo", 0.6f + 0.4f * build);
      Bass(w, b, kBassRoll, c, ".RRR.RRR.RRR.RRR", 0.9f);
      Arp(w, b, kPluck, c, "01234321", 57, 0.6f, -0.8f + 2.0f * build);
      if (i % 2 == 0) Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.7f, 0.0f, 0.5f);
      if (i == 6) w.Add(kRiser, b.startMs, 2 * BarMs(b), 60, 0.7f, 0.0f, 5.0f);
      if (i == 7) Roll(w, b, kSnare, 0, 16, 1, 0.3f, 1.0f);
    } else if (i < 24) {
      // The centres gather: everything in, the theme on top.
      bool second = i >= 16;
      if (i % 8 == 0) w.Add(kCrash, b.startMs, 400, 60, 1.0f);
      Drums(w, b, kKickHeavy, "x---x---x---x---");
      Drums(w, b, kClap, "----x-------x---");
      Drums(w, b, kHat, second ? "xxoxxxoxxxoxxxox" : "xoxoxoxoxoxoxoxo", 0.9f);
      Drums(w, b, kHatOpen, "--x---x---x---x-", 0.9f);
      if (second) Bass(w, b, kBassRoll, c, ".ROR.ROR.ROR.RFR");
      else Bass(w, b, kBassOff, c, "..R...R...R...R.");
      Stabs(w, b, kStab, c, second ? "--x--x----x--x--" : "------x-------x-", 60, 0.7f);
      if (i % 2 == 0) Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.6f, 0.5f, 0.8f);
      Arp(w, b, kPluck, c, "0123", 64, 0.45f, 0.8f);
      int k = i % 8;
      const char* line = second && k >= 6 ? kThemeEnd[k - 6] : kTheme[k];
      Line(w, b, kLeadSuper, line, 1.0f);
      if (second) Line(w, b, kBell, line, 0.5f, 12);
      if (i == 15) Roll(w, b, kSnare, 12, 16, 2, 0.5f, 0.9f);
      if (i == 23) TomFill(w, b, 8, 16);
    } else if (i < 32) {
      int k = i - 24;
      if (k < 4) {
        // Breath: no kick, the pad and bells alone with a soft clap.
        if (k == 0) w.Add(kCrash, b.startMs, 400, 60, 0.8f);
        Pad(w, kPadGlass, b.startMs, BarMs(b), c, 55, 1.0f, 0.0f, 1.0f);
        Drums(w, b, kClap, "------------x---", 0.5f);
        Drums(w, b, kShaker, "o.o.o.o.o.o.o.o.", 0.8f);
        Arp(w, b, kPluckSoft, c, "0123", 64, 0.6f);
        static const char* const kCounter[4] = {"C6/8 A5/8", "B5/8 D6/8", "G5/8 B5/8", "C6/4 B5/4 A5/8"};
        Line(w, b, kBell, kCounter[k], 0.8f, 0, 1.0);
        w.Add(kBassSub, b.startMs, BarMs(b) - 50, BassRoot(c) + 12.0f, 0.7f);
        if (k == 3) w.Add(kRiser, b.startMs, BarMs(b), 60, 0.6f, 0.0f, 4.0f);
      } else {
        // Back in, the theme's opening once more.
        if (k == 4) w.Add(kCrash, b.startMs, 400, 60, 1.0f);
        Drums(w, b, kKickHeavy, "x---x---x---x---");
        Drums(w, b, kClap, "----x-------x---");
        Drums(w, b, kHat, "xoxoxoxoxoxoxoxo", 0.9f);
        Drums(w, b, kHatOpen, "--x---x---x---x-", 0.9f);
        Bass(w, b, kBassRoll, c, ".ROR.ROR.ROR.ROR");
        if (k % 2 == 0) Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.6f, 0.6f, 1.0f);
        Arp(w, b, kPluck, c, "02130213", 64, 0.5f, 1.0f);
        Line(w, b, kLeadSuper, kTheme[k - 4], 1.0f);
        Line(w, b, kLead, kTheme[k - 4], 0.6f, 12);
      }
    } else {
      // Fill into the closing: toms, roll and the dominant.
      Drums(w, b, kKickHeavy, "x-------x-------");
      TomFill(w, b, 0, 8);
      Roll(w, b, kSnare, 8, 16, 2, 0.4f, 1.0f);
      Pad(w, kPadWarm, b.startMs, BarMs(b), c, 55, 0.8f, 0.5f, 1.5f);
      w.Add(kBassReese, b.startMs, BarMs(b), BassRoot(c) + 12.0f, 0.9f);
      Line(w, b, kLeadSuper, "G#5/8 B5/8", 0.9f);
    }
  }
}

void Closing(Writer& w, const Bars& bars) {
  static const char* const kSong[8] = {"F", "G", "Em", "Am", "Dm", "G", "C", "C"};
  static const char* const kMiddle[16] = {"Am", "F", "C", "G", "Am", "F", "Dm", "E",
                                          "Am", "F", "C", "G", "F",  "G", "E",  "E"};
  static const char* const kTheme2[8] = {"Am", "Am", "F", "F", "C", "C", "G", "G"};
  static const char* const kOutro[4] = {"F", "G", "Esus4", "E"};
  for (int i = 0; i < 53; ++i) {
    const Bar& b = *bars[i];
    const char* name = i < 16 ? kSong[i % 8] : i < 32 ? kMiddle[i - 16] : i < 48 ? kTheme2[i % 8]
                       : i < 52 ? kOutro[i - 48] : "A";
    Chord c = ParseChord(name);
    if (i < 16) {
      // The ice cube turns: a soft groove and a song-like line.
      Drums(w, b, kKickSoft, "x---x---x---x---", 0.9f);
      Drums(w, b, kShaker, "o.o.o.o.o.o.o.o.", 0.9f);
      Drums(w, b, kClap, i % 4 == 3 ? "------------x-x-" : "------------x---", 0.6f);
      if (i >= 8) Drums(w, b, kHat, "--o---o---o---o-");
      Bass(w, b, kBassSub, c, "R-----R-R-----R-", 0.9f);
      Pad(w, kPadWarm, b.startMs, BarMs(b), c, 55, 0.8f, 0.0f, 0.3f);
      Line(w, b, kLeadSoft, kClosingLine[i % 8], 1.0f, i >= 8 ? 12 : 0);
      if (i >= 8) Arp(w, b, kPluckSoft, c, "0.1.2.3.", 60, 0.6f);
      if (i == 15) TomFill(w, b, 12, 16, 0.6f);
    } else if (i < 32) {
      // Brighter: off-beat bass, the theme on bells, then on the lead.
      int k = i - 16;
      if (k == 0 || k == 8) w.Add(kCrash, b.startMs, 400, 60, 0.9f);
      Drums(w, b, kKick, "x---x---x---x---", 0.9f);
      Drums(w, b, kClap, "----x-------x---", 0.8f);
      Drums(w, b, kHat, k < 8 ? "--x---x---x---x-" : "oxoxoxoxoxoxoxox");
      if (k >= 8) Drums(w, b, kHatOpen, "--x---x---x---x-", 0.7f);
      Bass(w, b, kBassOff, c, "..R...R...R...R.");
      Arp(w, b, kPluck, c, k < 8 ? "0123" : "01234321", 57, 0.55f, 0.3f);
      if (k % 2 == 0) Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.7f, 0.3f, 0.6f);
      if (k < 8) {
        static const char* const kBellTheme[8] = {"E5/6 D5/2 C5/8", "A4/6 E4/2 A4/8",  "G5/6 E5/2 C5/8",
                                                  "D5/6 B4/2 G4/8", "E5/6 D5/2 C5/8",  "A4/6 C5/2 F5/8",
                                                  "F5/6 E5/2 D5/8", "B4/8 G#4/8"};
        Line(w, b, kBell, kBellTheme[k], 0.9f, 12, 1.0);
      } else {
        static const char* const kLeadMid[8] = {"A5/4 G5/4 E5/8",  "F5/4 E5/4 C5/8", "E5/4 D5/4 C5/4 G5/4",
                                                "G5/8 D5/8",       "C5/4 D5/4 F5/8", "D5/4 E5/4 G5/8",
                                                "G#5/4 E5/4 B4/8", "E5/16"};
        Line(w, b, kLead, kLeadMid[k - 8], 0.9f);
      }
      if (k == 15) {
        TomFill(w, b, 8, 16);
        w.Add(kRiser, b.startMs, BarMs(b), 60, 0.5f, 0.0f, 4.0f);
      }
    } else if (i < 48) {
      // Last statement of the theme while the cube falls and bounces.
      int k = i - 32;
      bool second = k >= 8;
      if (k % 8 == 0) w.Add(kCrash, b.startMs, 400, 60, 1.0f);
      Drums(w, b, kKick, "x---x---x---x---");
      Drums(w, b, kClap, "----x-------x---");
      Drums(w, b, kHat, second ? "xoxoxoxoxoxoxoxo" : "--x---x---x---x-", 0.9f);
      Drums(w, b, kShaker, "oooooooooooooooo", 0.7f);
      Bass(w, b, kBassRoll, c, second ? ".ROR.ROR.ROR.ROR" : ".RRR.RRR.RRR.RRR", 0.9f);
      Arp(w, b, kPluckSoft, c, "0123", 64, 0.5f);
      if (k % 2 == 0) Pad(w, kPadWarm, b.startMs, 2 * BarMs(b), c, 55, 0.7f, 0.4f, 0.8f);
      int m = k % 8;
      const char* line = second && m >= 6 ? kThemeEnd[m - 6] : kTheme[m];
      Line(w, b, kLeadSuper, line, 0.95f);
      if (second) Line(w, b, kLeadSoft, line, 0.5f, -12);
      if (k == 7) Roll(w, b, kSnare, 12, 16, 2, 0.5f, 0.9f);
      if (k == 15) TomFill(w, b, 12, 16, 0.7f);
    } else if (i < 52) {
      // Winding down: the drums leave one by one.
      int k = i - 48;
      if (k < 2) Drums(w, b, kKickSoft, k == 0 ? "x---x---x---x---" : "x-------x-------", 0.8f);
      if (k < 3) Drums(w, b, kShaker, "o.o.o.o.o.o.o.o.", 0.8f - 0.2f * k);
      Pad(w, kPadWarm, b.startMs, BarMs(b), c, 55, 0.8f, 0.3f - 0.3f * k, 0.0f - 0.3f * k);
      w.Add(kBassSub, b.startMs, BarMs(b) - 50, BassRoot(c) + 12.0f, 0.8f);
      static const char* const kBells[4] = {"A5/4 C6/4 F5/8", "B5/4 D6/4 G5/8", "A5/4 B5/4 E5/8", "G#5/16"};
      Line(w, b, kBell, kBells[k], 0.7f, 0, 1.0);
    } else {
      // The last chord: A major, left to ring into the fade.
      double len = BarMs(b) - 200.0;
      Pad(w, kPadWarm, b.startMs, len, c, 57, 0.9f, 0.5f, -1.0f);
      Pad(w, kPadGlass, b.startMs, len, c, 64, 0.6f, 0.0f, -1.0f);
      w.Add(kBassSub, b.startMs, len, BassRoot(c) + 12.0f, 0.8f);
      w.Add(kBoom, b.startMs, 400, 33, 0.6f);
      Line(w, b, kBell, "A5/4 C#6/4 E6/4 A6/28", 0.6f, 0, 1.0);
    }
  }
}

}  // namespace

const std::vector<Section>& Sections() {
  static const std::vector<Section> sections = {
      {"opening", 0, 30000},          {"cave, travelling light", 30000, 62400},
      {"heaving cave", 62400, 90000}, {"break", 90000, 90500},
      {"lens and smoke", 90500, 147000}, {"cave again", 147000, 162000},
      {"ball swarm", 162000, 215300}, {"closing", 215300, 302500},
      {"silence", 302500, kTrackMs},
  };
  return sections;
}

std::vector<Bar> ScoreBars() {
  std::vector<Bar> bars;
  int section = -1;
  double ms = 0.0;
  int index = 0;
  for (const BarRun& run : kRuns) {
    if (run.section != section) {
      section = run.section;
      ms = Sections()[section].startMs;  // every section starts exactly on its boundary
      index = 0;
    }
    for (int i = 0; i < run.bars; ++i) {
      Bar b;
      b.startMs = ms;
      b.beatMs = run.beatMs;
      b.beats = (i == run.bars - 1 && run.lastBeats > 0.0) ? run.lastBeats : run.beats;
      b.section = section;
      b.index = index++;
      bars.push_back(b);
      ms += b.beatMs * b.beats;
    }
  }
  return bars;
}

Song BuildSong() {
  Song song;
  song.patches = MakePatches();
  song.frames = kTrackFrames;
  song.fadeInFrames = MsToFrame(1000.0);
  song.fadeOutBegin = MsToFrame(299000.0);
  song.fadeOutEnd = MsToFrame(302500.0);
  for (const Section& s : Sections())
    if (std::string(s.name) == "break" || std::string(s.name) == "silence")
      song.silences.push_back({MsToFrame(s.startMs), MsToFrame(s.endMs)});

  std::vector<Bar> all = ScoreBars();
  std::vector<Bars> bySection(Sections().size());
  for (const Bar& b : all) bySection[b.section].push_back(&b);
  Writer w{song};
  Opening(w, bySection[kOpening]);
  CaveLight(w, bySection[kCaveLight]);
  Heaving(w, bySection[kHeaving]);
  Lens(w, bySection[kLens]);
  CaveAgain(w, bySection[kCaveAgain]);
  Swarm(w, bySection[kSwarm]);
  Closing(w, bySection[kClosing]);
  std::stable_sort(song.notes.begin(), song.notes.end(),
                   [](const Note& a, const Note& b) { return a.start < b.start; });
  return song;
}

}  // namespace synth
