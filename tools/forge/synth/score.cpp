#include "synth/score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "director/show_windows.h"

namespace synth {

// ---------------------------------------------------------------------------
// Timeline

const std::vector<Section>& Sections() {
  static const std::vector<Section> sections = {
      {kOpening, "opening", 0, 30000},
      {kCaveLight, "cave, travelling light", 30000, 62400},
      {kHeaving, "heaving cave", 62400, 90000},
      {kBreak, "break", 90000, 90500},
      {kLens, "lens and smoke", 90500, 147000},
      {kCaveAgain, "cave again", 147000, 162000},
      {kSwarm, "ball swarm", 162000, 215300},
      {kClosing, "closing", 215300, 302500},
      {kSilence, "silence", 302500, kTrackMs},
  };
  return sections;
}

bool CheckSchedule(const std::vector<Section>& sections, std::string& error) {
  auto fail = [&error](const std::string& what) {
    error = "the score's sections do not follow the show: " + what;
    return false;
  };
  if (sections.size() != kSectionCount) return fail("there are " + std::to_string(sections.size()) + " sections");
  for (size_t i = 0; i < sections.size(); ++i) {
    const Section& s = sections[i];
    if (s.id != static_cast<SectionId>(i)) return fail(std::string(s.name) + " is out of order");
    if (s.startMs >= s.endMs) return fail(std::string(s.name) + " is empty");
    if (s.startMs != (i == 0 ? 0 : sections[i - 1].endMs)) return fail(std::string(s.name) + " leaves a gap");
  }
  if (sections.back().endMs != kTrackMs) return fail("the last one does not end with the track");

  int32_t windows = 0, fades = 0;
  const ShowWindow* w = ShowWindows(&windows);
  const ShowFade* f = ShowFades(&fades);
  // The cut into the lens: the first zoom fade, whose envelope starts before it draws.
  const ShowFade* zoom = nullptr;
  for (int32_t i = 0; i < fades && !zoom; ++i)
    if (f[i].kind == kFadeZoom && f[i].curve == kEaseIn) zoom = &f[i];
  if (!zoom) return fail("the schedule has no zoom fade");
  std::vector<int> expected;
  for (int32_t i = 0; i < windows; ++i) expected.push_back(w[i].fromMs);
  expected.push_back(zoom->envelopeStartMs);
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  std::vector<int> starts;
  for (const Section& s : sections) starts.push_back(s.startMs);
  if (starts != expected) {
    for (size_t i = 0; i < std::max(starts.size(), expected.size()); ++i)
      if (i >= starts.size() || i >= expected.size() || starts[i] != expected[i])
        return fail(i < starts.size() ? std::string(sections[i].name) + " starts at " +
                                            std::to_string(starts[i]) + " ms, the schedule at " +
                                            (i < expected.size() ? std::to_string(expected[i]) + " ms" : "nothing")
                                      : "the schedule has more boundaries");
  }
  const Section& pause = sections[kBreak];
  if (pause.startMs != zoom->envelopeStartMs || pause.endMs != zoom->toMs)
    return fail("the break is not the zoom fade into the lens");
  const ShowWindow& blank = w[windows - 1];
  if (blank.slot.module != kNoModule || sections[kSilence].startMs != blank.fromMs)
    return fail("the silence is not the blank window");
  if (kTrackMs < kShowLengthMs) return fail("the track ends before the show");
  return true;
}

namespace {

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
    {kSilence, 1, 400.0, 2.5, 0.0},
};

std::vector<Bar> TimedBars() {
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

// ---------------------------------------------------------------------------
// Instrument fields

struct FloatField {
  const char* name;
  float Patch::*member;
};
const FloatField kFloatFields[] = {
    {"detuneCents", &Patch::detuneCents}, {"stereoSpread", &Patch::stereoSpread},
    {"pulseWidth", &Patch::pulseWidth},   {"pwmDepth", &Patch::pwmDepth},
    {"pwmRate", &Patch::pwmRate},         {"subLevel", &Patch::subLevel},
    {"noiseLevel", &Patch::noiseLevel},   {"octave", &Patch::octave},
    {"cutoff", &Patch::cutoff},           {"resonance", &Patch::resonance},
    {"keyTrack", &Patch::keyTrack},       {"envOctaves", &Patch::envOctaves},
    {"vibratoCents", &Patch::vibratoCents}, {"vibratoRate", &Patch::vibratoRate},
    {"vibratoDelay", &Patch::vibratoDelay}, {"pitchDrop", &Patch::pitchDrop},
    {"pitchDropTime", &Patch::pitchDropTime}, {"fmRatio", &Patch::fmRatio},
    {"fmIndex", &Patch::fmIndex},         {"fmDecay", &Patch::fmDecay},
    {"toneDecay", &Patch::toneDecay},     {"noiseDecay", &Patch::noiseDecay},
    {"noiseMix", &Patch::noiseMix},       {"drive", &Patch::drive},
    {"gain", &Patch::gain},               {"pan", &Patch::pan},
    {"delaySend", &Patch::delaySend},     {"reverbSend", &Patch::reverbSend},
    {"duck", &Patch::duck},
};

bool ParseFloat(const std::string& text, float& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtof(text.c_str(), &end);
  return *end == '\0' && std::isfinite(out);
}

// "attack/decay/sustain/release" in seconds and level.
bool ParseAdsr(const std::string& text, AdsrParams& out) {
  float v[4];
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    size_t slash = i < 3 ? text.find('/', at) : text.size();
    if (slash == std::string::npos || !ParseFloat(text.substr(at, slash - at), v[i])) return false;
    at = slash + 1;
  }
  out = {v[0], v[1], v[2], v[3]};
  return true;
}

template <typename E, size_t N>
bool ParseName(const std::string& text, const std::pair<const char*, E> (&names)[N], E& out) {
  for (const auto& n : names)
    if (text == n.first) {
      out = n.second;
      return true;
    }
  return false;
}

const std::pair<const char*, Kind> kKinds[] = {{"synth", Kind::Synth}, {"fm", Kind::Fm},   {"kick", Kind::Kick},
                                               {"snare", Kind::Snare}, {"clap", Kind::Clap}, {"hat", Kind::Hat},
                                               {"riser", Kind::Riser}};
const std::pair<const char*, Wave> kWaves[] = {
    {"saw", Wave::Saw}, {"pulse", Wave::Pulse}, {"sine", Wave::Sine}, {"triangle", Wave::Triangle}};
const std::pair<const char*, FilterMode> kFilters[] = {
    {"low", FilterMode::Low}, {"band", FilterMode::Band}, {"high", FilterMode::High}};

// One "name=value" (or the bare "drum": it plays through the drum bus).
bool SetField(Patch& p, const std::string& field) {
  if (field == "drum") return p.drumBus = true;
  size_t eq = field.find('=');
  if (eq == std::string::npos) return false;
  std::string name = field.substr(0, eq), value = field.substr(eq + 1);
  for (const FloatField& f : kFloatFields)
    if (name == f.name) return ParseFloat(value, p.*f.member);
  if (name == "kind") return ParseName(value, kKinds, p.kind);
  if (name == "wave") return ParseName(value, kWaves, p.wave);
  if (name == "filter") return ParseName(value, kFilters, p.filterMode);
  if (name == "amp") return ParseAdsr(value, p.amp);
  if (name == "filterEnv") return ParseAdsr(value, p.filterEnv);
  if (name == "unison") {
    char* end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    p.unison = static_cast<int>(n);
    return !value.empty() && *end == '\0' && n >= 1 && n <= kMaxUnison;
  }
  return false;
}

}  // namespace

const std::vector<PatchRow>& InstrumentTable() {
  // Drums first, then pads, basses, plucks, leads and effects.
  static const std::vector<PatchRow> rows = {
      {kKick, "kick", nullptr,
       "kind=kick drum gain=0.57 pitchDrop=36 pitchDropTime=0.09 toneDecay=0.5 noiseDecay=0.012 cutoff=3000 "
       "noiseMix=0.3 drive=1.8 duck=1"},
      {kKickSoft, "kickSoft", "kick", "gain=0.4 pitchDrop=26 toneDecay=0.38 drive=1.2"},
      {kKickHeavy, "kickHeavy", "kick", "gain=0.6 pitchDrop=40 toneDecay=0.65 drive=2.6 reverbSend=0.04"},
      {kSnare, "snare", nullptr,
       "kind=snare drum gain=1.1 pitchDrop=5 pitchDropTime=0.05 toneDecay=0.12 noiseDecay=0.2 cutoff=1800 "
       "noiseMix=0.65 drive=1.5 reverbSend=0.15"},
      {kSnareBig, "snareBig", "snare", "noiseDecay=0.32 toneDecay=0.18 reverbSend=0.45 gain=0.9"},
      {kClap, "clap", nullptr, "kind=clap drum gain=1 cutoff=1100 resonance=1.2 noiseDecay=0.18 reverbSend=0.22 pan=0.05"},
      {kHat, "hat", nullptr, "kind=hat drum gain=0.62 cutoff=7800 noiseDecay=0.045 pan=0.25 reverbSend=0.03"},
      {kHatOpen, "hatOpen", nullptr, "kind=hat drum gain=0.42 cutoff=7000 noiseDecay=0.3 pan=-0.2 reverbSend=0.05"},
      {kShaker, "shaker", nullptr, "kind=hat drum gain=0.4 cutoff=6500 noiseDecay=0.06 pan=-0.35 delaySend=0.1"},
      {kCrash, "crash", nullptr, "kind=hat drum gain=0.3 cutoff=4500 noiseDecay=2.2 reverbSend=0.25"},
      {kTom, "tom", nullptr,
       "kind=kick drum gain=0.6 pitchDrop=7 pitchDropTime=0.15 toneDecay=0.35 noiseMix=0.15 noiseDecay=0.02 "
       "cutoff=1500 drive=1.3 reverbSend=0.2"},
      {kBoom, "boom", nullptr,
       "kind=kick drum gain=0.6 pitchDrop=24 pitchDropTime=0.5 toneDecay=2.2 noiseDecay=0.05 cutoff=800 drive=1.5 "
       "reverbSend=0.3"},
      {kRiser, "riser", nullptr,
       "kind=riser drum gain=0.32 cutoff=400 resonance=2.5 noiseDecay=0.3 reverbSend=0.3 delaySend=0.1"},
      {kPadWarm, "padWarm", nullptr,
       "unison=7 detuneCents=22 stereoSpread=0.9 cutoff=900 resonance=0.8 keyTrack=0.3 envOctaves=1 "
       "filterEnv=1.5/2/0.4/1.5 amp=0.8/1/0.85/1.6 gain=0.09 reverbSend=0.35 delaySend=0.05 duck=0.45"},
      {kPadDark, "padDark", nullptr,
       "unison=5 detuneCents=30 stereoSpread=0.8 cutoff=520 resonance=1.6 amp=1.2/1/0.9/2 gain=0.1 reverbSend=0.4 "
       "duck=0.3"},
      {kPadGlass, "padGlass", nullptr,
       "wave=pulse unison=4 pwmDepth=0.25 pwmRate=0.3 detuneCents=12 stereoSpread=0.8 cutoff=1600 resonance=0.9 "
       "amp=0.4/1/0.8/2 gain=0.07 reverbSend=0.5 delaySend=0.15 duck=0.5"},
      {kBassSub, "bassSub", nullptr,
       "wave=triangle octave=-1 cutoff=500 amp=0.01/0.2/0.9/0.15 gain=0.8 duck=0.5"},
      {kBassOff, "bassOff", nullptr,
       "unison=2 detuneCents=10 subLevel=0.5 cutoff=300 resonance=1.3 envOctaves=3 filterEnv=0.001/0.12/0.1/0.1 "
       "keyTrack=0.5 amp=0.002/0.15/0.7/0.04 gain=0.65 duck=0.6"},
      {kBassReese, "bassReese", nullptr,
       "unison=3 detuneCents=35 cutoff=350 resonance=2 envOctaves=1.2 filterEnv=0.3/1.2/0.3/0.3 subLevel=0.6 "
       "amp=0.01/0.5/0.9/0.12 gain=0.35 duck=0.3"},
      {kBassRoll, "bassRoll", nullptr,
       "unison=2 detuneCents=6 subLevel=0.4 cutoff=450 resonance=1.1 envOctaves=2.2 filterEnv=0.001/0.09/0/0.05 "
       "amp=0.002/0.1/0.6/0.03 gain=0.65 duck=0.5"},
      {kPluck, "pluck", nullptr,
       "wave=pulse unison=2 pulseWidth=0.35 detuneCents=8 stereoSpread=0.4 cutoff=700 resonance=1.5 envOctaves=3.5 "
       "filterEnv=0.001/0.18/0/0.1 keyTrack=0.4 amp=0.002/0.25/0/0.1 gain=0.25 delaySend=0.35 reverbSend=0.2 "
       "duck=0.3"},
      {kPluckSoft, "pluckSoft", nullptr,
       "wave=triangle unison=2 detuneCents=6 stereoSpread=0.5 cutoff=1500 envOctaves=2 filterEnv=0.001/0.3/0/0.2 "
       "amp=0.002/0.4/0/0.2 gain=0.3 delaySend=0.4 reverbSend=0.3"},
      {kLead, "lead", nullptr,
       "unison=3 detuneCents=14 stereoSpread=0.5 cutoff=2200 envOctaves=1.5 filterEnv=0.005/0.4/0.3/0.3 "
       "keyTrack=0.5 amp=0.01/0.3/0.8/0.25 vibratoCents=18 vibratoRate=5.5 vibratoDelay=0.25 gain=0.2 "
       "delaySend=0.3 reverbSend=0.25 duck=0.25"},
      {kLeadSuper, "leadSuper", "lead", "unison=7 detuneCents=28 stereoSpread=0.7 cutoff=3000 gain=0.19"},
      {kLeadSoft, "leadSoft", nullptr,
       "wave=triangle unison=2 detuneCents=6 stereoSpread=0.3 cutoff=2500 amp=0.02/0.5/0.7/0.4 vibratoCents=12 "
       "vibratoDelay=0.3 gain=0.3 delaySend=0.35 reverbSend=0.35"},
      {kBell, "bell", nullptr,
       "kind=fm fmRatio=3.5 fmIndex=0.35 fmDecay=1.2 amp=0.002/2.5/0/1.5 gain=0.2 delaySend=0.3 reverbSend=0.45 "
       "pan=0.15"},
      {kStab, "stab", nullptr,
       "unison=5 detuneCents=18 stereoSpread=0.7 cutoff=900 resonance=1.2 envOctaves=2.5 filterEnv=0.001/0.2/0.1/0.1 "
       "amp=0.003/0.25/0.2/0.1 gain=0.16 reverbSend=0.3 delaySend=0.2 duck=0.3"},
      {kSweep, "sweep", nullptr,
       "unison=5 detuneCents=20 stereoSpread=0.6 cutoff=400 resonance=2 amp=1/1/1/0.05 gain=0.12 reverbSend=0.3"},
      // Air over the full sections: a bright, short noise tick wide in the room.
      {kAir, "air", nullptr, "kind=hat drum gain=0.85 cutoff=9000 noiseDecay=0.04 pan=0.4 reverbSend=0.12 delaySend=0.1"},
  };
  return rows;
}

bool MakePatches(const std::vector<PatchRow>& rows, std::vector<Patch>& patches, std::string& error) {
  patches.assign(kPatchCount, Patch());
  std::vector<const char*> names(kPatchCount, nullptr);
  for (const PatchRow& row : rows) {
    std::string who = std::string("instrument \"") + (row.name ? row.name : "?") + "\": ";
    if (row.id >= kPatchCount || names[row.id]) {
      error = who + "its slot is out of range or taken twice";
      return false;
    }
    Patch p;
    if (row.like) {
      int like = -1;
      for (int i = 0; i < kPatchCount; ++i)
        if (names[i] && std::strcmp(names[i], row.like) == 0) like = i;
      if (like < 0) {
        error = who + "starts from \"" + row.like + "\", which no earlier row names";
        return false;
      }
      p = patches[like];
    }
    const char* s = row.fields ? row.fields : "";
    while (*s) {
      if (*s == ' ') {
        ++s;
        continue;
      }
      const char* end = std::strchr(s, ' ');
      std::string field(s, end ? end : s + std::strlen(s));
      if (!SetField(p, field)) {
        error = who + "unknown field or bad value \"" + field + "\"";
        return false;
      }
      s += field.size();
    }
    patches[row.id] = p;
    names[row.id] = row.name;
  }
  for (int i = 0; i < kPatchCount; ++i)
    if (!names[i]) {
      error = "instrument " + std::to_string(i) + " has no row";
      return false;
    }
  return true;
}

// ---------------------------------------------------------------------------
// Note names

namespace {

// "A".."G" with an optional '#' or 'b': its pitch class, possibly -1 or 12.
bool ParseNoteClass(const char*& s, int& pc) {
  static const int kClass[] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  if (*s < 'A' || *s > 'G') return false;
  pc = kClass[*s++ - 'A'];
  if (*s == '#') ++pc, ++s;
  else if (*s == 'b') --pc, ++s;
  return true;
}

struct Quality {
  const char* name;
  std::vector<int> intervals;
};
const Quality kQualities[] = {
    {"", {0, 4, 7}},          {"m", {0, 3, 7}},         {"7", {0, 4, 7, 10}},  {"m7", {0, 3, 7, 10}},
    {"maj7", {0, 4, 7, 11}},  {"m9", {0, 3, 7, 10, 14}}, {"madd9", {0, 3, 7, 14}}, {"sus4", {0, 5, 7}},
    {"sus2", {0, 2, 7}},      {"6", {0, 4, 7, 9}},
};

}  // namespace

bool ParsePitch(const char*& s, int& midi) {
  const char* at = s;
  int pc = 0;
  if (!ParseNoteClass(at, pc) || *at < '0' || *at > '9') return false;
  int octave = 0;
  while (*at >= '0' && *at <= '9' && octave < 10) octave = octave * 10 + (*at++ - '0');
  if (*at >= '0' && *at <= '9') return false;
  midi = 12 * (octave + 1) + pc;
  s = at;
  return true;
}

bool ParseChord(const char* name, Chord& chord) {
  const char* s = name;
  int pc = 0;
  if (!ParseNoteClass(s, pc)) return false;
  for (const Quality& q : kQualities)
    if (std::strcmp(s, q.name) == 0) {
      chord.root = (pc + 12) % 12;
      chord.intervals = q.intervals;
      return true;
    }
  return false;
}

namespace {

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

// A bar of melody: pitch (-1 for a rest) and length in steps.
struct LineNote {
  int pitch, steps;
};

bool ParseLine(const char* text, std::vector<LineNote>& out, std::string& bad) {
  out.clear();
  const char* s = text;
  while (*s) {
    if (*s == ' ' || *s == '|') {
      ++s;
      continue;
    }
    const char* token = s;
    LineNote n{-1, 0};
    if (*s == 'r') ++s;
    else if (!ParsePitch(s, n.pitch)) s = token;
    bool ok = s != token && *s == '/';
    if (ok) {
      ++s;
      ok = *s >= '0' && *s <= '9';
      while (*s >= '0' && *s <= '9' && n.steps < 1000) n.steps = n.steps * 10 + (*s++ - '0');
      ok = ok && (*s == '\0' || *s == ' ' || *s == '|');
    }
    if (!ok) {
      const char* end = token;
      while (*end && *end != ' ' && *end != '|') ++end;
      bad.assign(token, end);
      return false;
    }
    out.push_back(n);
  }
  return true;
}

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

// The pattern repeats when the bar is longer than it.
void Drums(Writer& w, const Bar& b, PatchId patch, const char* pattern, float vel) {
  // Kicks sit on G1; the snare's body is an F#3.
  float pitch = (patch == kSnare || patch == kSnareBig) ? 54.0f : 31.0f;
  size_t len = std::strlen(pattern);
  for (int s = 0; s < Steps(b); ++s) {
    float v = StepVelocity(pattern[s % len]);
    if (v > 0.0f) w.Add(patch, At(b, s), StepMs(b), pitch, v * vel * w.Human(0.08f));
  }
}

void Roll(Writer& w, const Bar& b, PatchId patch, double from, double to, int per, float v0, float v1) {
  int n = static_cast<int>(std::lround((to - from) * per));
  for (int i = 0; i < n; ++i) {
    float f = n > 1 ? static_cast<float>(i) / (n - 1) : 1.0f;
    w.Add(patch, At(b, from + static_cast<double>(i) / per), StepMs(b) / per, 54.0f, v0 + (v1 - v0) * f);
  }
}

void TomFill(Writer& w, const Bar& b, int from, int to, float vel) {
  static const float kToms[] = {52, 50, 47, 45, 43, 40, 38, 36};
  for (int s = from; s < to; ++s) {
    int k = (s - from) * 8 / std::max(to - from, 1);
    w.Add(kTom, At(b, s), StepMs(b), kToms[k], vel * (0.8f + 0.2f * (s - from) / std::max(to - from, 1)));
  }
}

void Bass(Writer& w, const Bar& b, PatchId patch, const Chord& c, const char* pattern, float vel) {
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

void Pad(Writer& w, PatchId patch, double ms, double lenMs, const Chord& c, int lo, float vel, float cut0,
         float cut1) {
  for (int p : Voicing(c, lo)) w.Add(patch, ms, lenMs, static_cast<float>(p), vel, cut0, cut1);
}

void Arp(Writer& w, const Bar& b, PatchId patch, const Chord& c, const char* pattern, int lo, float vel, float cut) {
  std::vector<int> tones = Voicing(c, lo);
  size_t base = tones.size();
  for (int o = 1; o < 3; ++o)
    for (size_t i = 0; i < base; ++i) tones.push_back(tones[i] + 12 * o);
  size_t len = std::strlen(pattern);
  int n = Steps(b);
  for (int i = 0; i < n; ++i) {
    char ch = pattern[i % len];
    if (ch < '0' || ch > '9') continue;
    int pitch = tones[std::min<size_t>(ch - '0', tones.size() - 1)];
    float accent = (i % 4 == 0) ? 1.0f : 0.8f;
    w.Add(patch, At(b, i), StepMs(b) * 0.9, static_cast<float>(pitch), vel * accent * w.Human(0.1f), cut);
  }
}

void Line(Writer& w, const Bar& b, PatchId patch, const std::vector<LineNote>& notes, float vel, int transpose,
          double gate) {
  double step = 0.0;
  for (const LineNote& n : notes) {
    if (n.pitch >= 0)
      w.Add(patch, At(b, step), StepMs(b) * n.steps * gate, static_cast<float>(n.pitch + transpose),
            vel * (step == 0.0 ? 1.0f : 0.9f) * w.Human(0.06f));
    step += n.steps;
  }
}

void Stabs(Writer& w, const Bar& b, PatchId patch, const Chord& c, const char* pattern, int lo, float vel) {
  size_t len = std::strlen(pattern);
  for (int s = 0; s < Steps(b); ++s)
    if (pattern[s % len] == 'x') Pad(w, patch, At(b, s), StepMs(b) * 1.5, c, lo, vel * w.Human(0.08f), 0.0f, 0.0f);
}

// ---------------------------------------------------------------------------
// Melodies: named lists of bars, one a bar in turn.

struct Sequence {
  const char* name;
  std::vector<const char*> bars;
};

// The main theme, over Am Am F F C C G G, and its second ending, climbing to
// the top instead of settling.
const char* const kTheme[8] = {
    "E5/6 D5/2 C5/4 B4/2 C5/2", "A4/6 E4/2 A4/4 C5/4",      "F5/6 E5/2 C5/4 A4/2 C5/2",
    "F4/6 A4/2 C5/4 E5/4",      "G5/6 F5/2 E5/4 D5/2 E5/2", "C5/6 G4/2 C5/4 E5/4",
    "D5/6 E5/2 D5/4 B4/2 G4/2", "B4/4 C5/4 D5/4 B4/4",
};
const char* const kThemeEnd[2] = {"D5/4 E5/4 G5/4 D5/4", "B5/8 A5/4 B5/4"};

const std::vector<Sequence>& Sequences() {
  static const std::vector<Sequence> sequences = {
      {"theme", {kTheme, kTheme + 8}},
      {"themeSecond", {kTheme[0], kTheme[1], kTheme[2], kTheme[3], kTheme[4], kTheme[5], kThemeEnd[0], kThemeEnd[1]}},
      // The cave's lead, over Dm Dm Bb Bb Gm Gm A A, and its last four bars.
      {"caveLead",
       {"A4/3 D5/3 F5/2 E5/3 D5/3 C5/2", "D5/3 A4/3 F4/2 A4/4 r/4", "Bb4/3 D5/3 F5/2 G5/3 F5/3 D5/2",
        "F5/6 D5/2 Bb4/4 r/4", "G4/3 Bb4/3 D5/2 F5/3 E5/3 D5/2", "D5/6 Bb4/2 G4/4 r/4",
        "A4/3 C#5/3 E5/2 G5/3 F5/3 E5/2", "C#5/8 E5/4 A5/4"}},
      {"caveLastLead", {"F5/3 E5/3 D5/2 A5/8", "D5/3 F5/3 Bb5/2 A5/8", "G5/3 E5/3 C5/2 G5/8", "A5/4 G5/4 E5/4 C#5/8"}},
      // Bells over the smoke, over Fmaj7 Fmaj7 G G Em7 Em7 Am9 Am9 Fmaj7 G.
      {"smokeBells",
       {"C6/4 E6/4 A5/8", "G5/4 A5/4 B5/8", "D6/4 B5/4 G5/8", "A5/4 B5/4 D6/8", "B5/4 G5/4 E5/8", "D5/4 E5/4 G5/8",
        "C6/4 B5/4 A5/8", "E5/16", "A5/4 C6/4 E6/8", "D6/8 B5/8"}},
      {"swarmCounter", {"C6/8 A5/8", "B5/8 D6/8", "G5/8 B5/8", "C6/4 B5/4 A5/8", "A5/8 C6/8", "B5/8 G#5/8"}},
      // The closing's song, over F G Em Am Dm G C C.
      {"closingLine",
       {"A4/4 C5/4 F5/6 E5/2", "D5/4 B4/4 G4/8", "G4/4 B4/4 E5/6 D5/2", "C5/4 A4/4 E4/8", "F4/4 A4/4 D5/4 F5/4",
        "E5/4 D5/4 B4/4 G4/4", "C5/12 D5/2 E5/2", "C5/16"}},
      {"bellTheme",
       {"E5/6 D5/2 C5/8", "A4/6 E4/2 A4/8", "G5/6 E5/2 C5/8", "D5/6 B4/2 G4/8", "E5/6 D5/2 C5/8", "A4/6 C5/2 F5/8",
        "F5/6 E5/2 D5/8", "B4/8 G#4/8"}},
      {"closingLeadMid",
       {"A5/4 G5/4 E5/8", "F5/4 E5/4 C5/8", "E5/4 D5/4 C5/4 G5/4", "G5/8 D5/8", "C5/4 D5/4 F5/8", "D5/4 E5/4 G5/8",
        "G#5/4 E5/4 B4/8", "E5/16"}},
      {"closingBells", {"A5/4 C6/4 F5/8", "B5/4 D6/4 G5/8", "A5/4 B5/4 E5/8", "G#5/16"}},
  };
  return sequences;
}

const Sequence* FindSequence(const char* name) {
  for (const Sequence& s : Sequences())
    if (std::strcmp(s.name, name) == 0) return &s;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Part builders: what plays, on which of the section's bars, how loud.

Part Make(Play play, PatchId patch, int from, int to, std::vector<const char*> patterns, Value vel) {
  Part p;
  p.play = play;
  p.patch = patch;
  p.from = from;
  p.to = to;
  p.patterns = std::move(patterns);
  p.vel = vel;
  return p;
}
Part DrumsOn(PatchId patch, int from, int to, std::vector<const char*> patterns, Value vel = 1.0f) {
  return Make(Play::Drums, patch, from, to, std::move(patterns), vel);
}
Part RollOn(int from, int to, double s0, double s1, int per, float v0, float v1) {
  Part p = Make(Play::Roll, kSnare, from, to, {}, v0);
  p.vel1 = v1;
  p.stepFrom = s0;
  p.stepTo = s1;
  p.per = per;
  return p;
}
Part TomsOn(int from, int to, double s0, double s1, float vel = 0.9f) {
  Part p = Make(Play::Toms, kTom, from, to, {}, vel);
  p.stepFrom = s0;
  p.stepTo = s1;
  return p;
}
Part BassOn(PatchId patch, int from, int to, const char* pattern, Value vel = 1.0f) {
  return Make(Play::Bass, patch, from, to, {pattern}, vel);
}
Part ArpOn(PatchId patch, int from, int to, const char* pattern, int lo, Value vel, Value cut = 0.0f) {
  Part p = Make(Play::Arp, patch, from, to, {pattern}, vel);
  p.lo = lo;
  p.cut0 = cut;
  return p;
}
Part StabsOn(PatchId patch, int from, int to, const char* pattern, int lo, float vel) {
  Part p = Make(Play::Stabs, patch, from, to, {pattern}, vel);
  p.lo = lo;
  return p;
}
Part PadOn(PatchId patch, int from, int to, int lo, Value vel, Value cut0, Value cut1) {
  Part p = Make(Play::Pad, patch, from, to, {}, vel);
  p.lo = lo;
  p.cut0 = cut0;
  p.cut1 = cut1;
  return p;
}
// A one-bar line written out.
Part LineOn(PatchId patch, int from, int to, const char* text, float vel, int transpose = 0, double gate = 0.92) {
  Part p = Make(Play::Line, patch, from, to, {text}, vel);
  p.lo = transpose;
  p.gate = gate;
  return p;
}
// A named melody, one of its bars a bar.
Part MelodyOn(PatchId patch, int from, int to, const char* name, float vel, int transpose = 0, double gate = 0.92) {
  Part p = LineOn(patch, from, to, "", vel, transpose, gate);
  p.patterns.clear();
  p.sequence = name;
  return p;
}
Part HitOn(PatchId patch, int from, int to, const char* pitch, Value vel) {
  Part p = Make(Play::Hit, patch, from, to, {}, vel);
  p.pitch = pitch;
  return p;
}

const char* const kFour = "x---x---x---x---";
const char* const kBackbeat = "----x-------x---";
const char* const kOffHats = "--x---x---x---x-";

}  // namespace

const std::vector<SectionScore>& Arrangement() {
  static const std::vector<SectionScore> arrangement = {
      {kOpening,
       {"Amadd9", "Amadd9", "Amadd9", "F", "F", "C", "C", "G", "G", "Am", "Am", "F", "F", "C", "C", "G", "G", "Dm",
        "A"},
       {
           // Out of the silence: a pad already sounding as the fade opens, air rising under it.
           PadOn(kPadWarm, 0, 0, 55, 0.8f, -2.0f, -0.8f).Through(3),
           HitOn(kRiser, 0, 0, "C4", 0.25f).Cut(0.0f, 2.0f),
           // The pad and arpeggio open up over the section.
           PadOn(kPadWarm, 3, 15, 55, 0.8f, {-1.6f, 1.6f}, {-1.2f, 1.6f}).Every(2).Len(2).Ramp(0, 18.0f),
           PadOn(kPadWarm, 17, 18, 55, 0.8f, {-1.6f, 1.6f}, {-1.2f, 1.6f}).Ramp(0, 18.0f),
           HitOn(kBassSub, 1, 3, "bass", 0.5f).Every(2).Len(2, -50),
           HitOn(kBassSub, 5, 7, "bass", 0.8f).Every(2).Len(2, -50),
           LineOn(kBell, 1, 1, "A5/8 E5/8", 0.45f, 0, 1.0),
           LineOn(kBell, 2, 2, "C6/8 B5/4 E5/4", 0.45f, 0, 1.0),
           BassOn(kBassOff, 9, 16, "..R...R...R...R.", 0.75f),
           ArpOn(kPluck, 3, 8, "0123", 57, {0.35f, 0.35f}, {-1.0f, 1.5f}).Ramp(0, 18.0f),
           ArpOn(kPluck, 9, 12, "02130213", 57, {0.35f, 0.35f}, {-1.0f, 1.5f}).Ramp(0, 18.0f),
           ArpOn(kPluck, 13, 18, "0123432101234321", 57, {0.35f, 0.35f}, {-1.0f, 1.5f}).Ramp(0, 18.0f),
           MelodyOn(kBell, 9, 16, "theme", 0.8f, 0, 1.0).Theme(),
           // Drums arrive in layers: shaker, then half-time kick and hats, then the run-in.
           DrumsOn(kShaker, 5, 8, {"--o---o---o---o-"}, 0.8f),
           DrumsOn(kKickSoft, 9, 16, {"x-------x-------", "x-------x-------", "x-------x-------", "x-------x-----x-"}),
           DrumsOn(kHat, 9, 16, {"--o---o---o---o-"}),
           DrumsOn(kAir, 5, 18, {"-x-x-x-x-x-x-x-x"}, 1.0f),
           DrumsOn(kShaker, 9, 16, {"o.o.o.o.o.o.o.o."}, 0.8f),
           DrumsOn(kClap, 12, 16, {"------------x---"}, 0.7f).Every(4),
           TomsOn(16, 16, 12, 16, 0.7f),
           // The lift into the cave: kick and bass out, the roll and the air rise.
           DrumsOn(kHat, 17, 18, {kOffHats}),
           DrumsOn(kShaker, 17, 18, {"oooooooooooooooo"}, 0.8f),
           HitOn(kRiser, 17, 17, "C4", 0.6f).Len(2).Cut(0.0f, 4.5f),
           RollOn(17, 17, 8, 16, 1, 0.2f, 0.45f),
           RollOn(18, 18, 0, 16, 1, 0.3f, 1.0f),
       }},
      {kCaveLight,
       {"Dm", "Dm", "Bb", "Bb", "F", "F", "C", "C", "Dm", "Dm", "Bb", "Bb", "Gm", "Gm", "A", "A", "Dm", "Bb", "C", "A"},
       {
           // Four on the floor under the travelling light, one hit per lamp pulse.
           DrumsOn(kKick, 0, 17, {kFour}),
           HitOn(kCrash, 0, 19, "C4", 1.0f).Every(8).Len(0, 400),
           HitOn(kBoom, 0, 0, "D2", 0.9f).Len(0, 400),
           DrumsOn(kClap, 0, 17,
                   {kBackbeat, kBackbeat, kBackbeat, kBackbeat, kBackbeat, kBackbeat, kBackbeat, "----x-------x-x-"},
                   0.9f),
           DrumsOn(kHat, 0, 7, {kOffHats}),
           DrumsOn(kShaker, 0, 7, {"o.o.o.o.o.o.o.o."}),
           DrumsOn(kHat, 8, 15, {"oox.oox.oox.oox."}),
           DrumsOn(kAir, 8, 17, {"-x-x-x-x-x-x-x-x"}, 0.8f),
           DrumsOn(kHatOpen, 8, 15, {kOffHats}, 0.8f),
           DrumsOn(kHat, 16, 19, {"xoxoxoxoxoxoxoxo"}),
           DrumsOn(kHatOpen, 16, 19, {kOffHats}, 0.9f),
           RollOn(7, 7, 12, 16, 1, 0.5f, 0.9f),
           TomsOn(15, 15, 8, 16),
           HitOn(kRiser, 18, 18, "C4", 0.6f).Through(2).Cut(0.0f, 4.5f),
           RollOn(18, 18, 0, 16, 1, 0.25f, 0.6f),
           RollOn(19, 19, 8, 20, 2, 0.3f, 1.0f),
           // Bass: off-beat, then rolling, then rolling with octave jumps.
           BassOn(kBassOff, 0, 7, "..R...R...R...R."),
           BassOn(kBassRoll, 8, 15, ".ROR.ROR.ROR.RFR"),
           BassOn(kBassRoll, 16, 17, ".RRO.RRO.RRO.ROO"),
           ArpOn(kPluck, 0, 7, "0123", 57, 0.7f, 0.0f),
           ArpOn(kPluck, 8, 15, "02413524", 57, 0.7f, 0.6f),
           ArpOn(kPluck, 16, 19, "54321032", 57, 0.7f, 0.6f),
           PadOn(kPadDark, 0, 16, 53, 0.8f, 0.0f, 0.5f).Every(2).Len(2),
           PadOn(kPadDark, 18, 18, 53, 0.8f, 0.0f, 0.5f),
           PadOn(kPadDark, 19, 19, 53, 0.8f, 0.5f, 1.5f),
           MelodyOn(kLead, 8, 15, "caveLead", 1.0f),
           MelodyOn(kLead, 16, 19, "caveLastLead", 1.0f),
       }},
      {kHeaving,
       {"Em", "Em", "F", "F", "Em", "Em", "Dm", "F", "Em", "Em", "F", "F", "Am", "Am", "F", "G", "E"},
       {
           // Half-time and heavy, then doubling up; the walls heave once per bar.
           HitOn(kCrash, 0, 16, "C4", 1.0f).Every(8).Len(0, 400),
           HitOn(kBoom, 0, 0, "E2", 0.9f).Len(0, 400),
           DrumsOn(kKickHeavy, 16, 16, {"x---x---x---x---x-x-"}, 0.8f),
           RollOn(16, 16, 0, 16, 1, 0.3f, 0.7f),
           RollOn(16, 16, 16, 20, 2, 0.7f, 1.0f),
           DrumsOn(kKickHeavy, 0, 7, {"x-----x---x-----"}),
           DrumsOn(kSnareBig, 0, 3, {"--------x-------"}),
           DrumsOn(kSnareBig, 4, 7, {"--------x-----o-"}),
           DrumsOn(kHat, 0, 7, {"xo.ox.o.xo.ox.o."}, 0.8f),
           DrumsOn(kKickHeavy, 8, 15, {"x-----x---x---x-", "x-----x-x-x---x-"}),
           DrumsOn(kSnareBig, 8, 15, {kBackbeat}),
           DrumsOn(kHat, 8, 15, {"xoxoxoxoxoxoxoxo"}, 0.8f),
           DrumsOn(kHatOpen, 12, 15, {kOffHats}, 0.8f),
           DrumsOn(kAir, 8, 15, {"x-x-x-x-x-x-x-x-"}, 0.8f),
           TomsOn(7, 7, 12, 16),
           TomsOn(15, 15, 8, 16),
           // Reese bass and a pulse pad whose filter breathes up and down bar by bar.
           BassOn(kBassReese, 0, 7, "R-----------R-O-"),
           BassOn(kBassReese, 8, 15, "R-----R---R---O-"),
           PadOn(kPadGlass, 0, 14, 52, 0.9f, -0.8f, 1.0f).Every(2),
           PadOn(kPadGlass, 1, 15, 52, 0.9f, 1.0f, -0.8f).Every(2),
           StabsOn(kStab, 8, 15, "---x--x-----x---", 60, 0.9f),
           ArpOn(kPluck, 4, 7, "0.2.1.3.", 52, 0.6f, -0.5f),
           ArpOn(kPluck, 12, 15, "0213", 64, 0.6f, 0.3f),
           // The rising sweep: the last two and a quarter bars climb into the cut at 90 s.
           HitOn(kRiser, 14, 14, "C4", 0.45f).Through(3).Cut(0.0f, 5.0f),
           HitOn(kSweep, 14, 14, "E4", 0.45f).Through(3).Cut(-1.0f, 3.5f).Bend(-24.0f),
           HitOn(kSweep, 14, 14, "B4", 0.35f).Through(3).Cut(-1.0f, 3.5f).Bend(-24.0f),
           HitOn(kBassReese, 16, 16, "E2", 0.6f).Cut(0.0f, 2.0f),
       }},
      {kLens,
       {"Fmaj7", "Fmaj7", "G",     "G",  "Em7", "Em7", "Am9", "Am9", "Fmaj7", "G",      // smoke
        "Fmaj7", "G",     "Em7",   "Am", "Fmaj7", "G", "Am",  "Am",  "Dm7",   "Em7",    // lens steps
        "Fmaj7", "G",     "Am",    "F",  "C",   "G",   "Esus4",                         //
        "Dm",    "Dm",    "Bb",    "Bb", "C",   "C",   "A"},                            // build
       {
           // Smoke: bells drift over a pad, no kick and no sub: the first breakdown.
           HitOn(kCrash, 0, 0, "C4", 0.4f).Len(0, 400),
           PadOn(kPadWarm, 0, 6, 55, 0.28f, 0.0f, 0.6f).Every(2).Len(2),
           PadOn(kPadWarm, 8, 9, 55, 0.28f, 0.3f, 0.8f),
           MelodyOn(kBell, 0, 9, "smokeBells", 0.32f, 0, 1.0),
           HitOn(kRiser, 9, 9, "C4", 0.28f).Cut(0.0f, 3.0f),
           // The lens grows one step per bar: a low hit and a chord swell on each,
           // kept low so the lens's window stays the show's quiet one.
           HitOn(kTom, 10, 26, "D2", {0.34f, 0.21f}).Len(0, 400).Ramp(10, 16.0f),
           DrumsOn(kKickSoft, 10, 26, {"x-----x---------"}, {0.34f, 0.21f}).Ramp(10, 16.0f),
           DrumsOn(kSnareBig, 10, 26, {"--------x-------"}, 0.38f),
           DrumsOn(kHat, 10, 17, {"x-o-x-o-x-o-x-o-"}, {0.34f, 0.26f}).Ramp(10, 16.0f),
           DrumsOn(kHat, 18, 26, {"xoxoxoxoxoxoxoxo"}, {0.34f, 0.26f}).Ramp(10, 16.0f),
           DrumsOn(kShaker, 18, 26, {"..o...o...o...o."}, 0.76f),
           PadOn(kPadGlass, 10, 26, 55, {0.47f, 0.17f}, -0.5f, {0.8f, 0.5f}).Ramp(10, 16.0f),
           BassOn(kBassSub, 10, 17, "R-------R---O---", 0.42f),
           BassOn(kBassOff, 18, 26, "R-..R-..R-..O-..", 0.42f),
           ArpOn(kPluckSoft, 10, 17, "0.1.2.3.2.1.3.4.", 60, {0.34f, 0.21f}, {-0.5f, 1.0f}).Ramp(10, 16.0f),
           ArpOn(kPluckSoft, 18, 26, "0123423101234231", 60, {0.34f, 0.21f}, {-0.5f, 1.0f}).Ramp(10, 16.0f),
           // Bells pick out the top of each chord on the step.
           [] { Part p = HitOn(kBell, 10, 26, "top", 0.47f).Len(0, 600); p.lo = 76; return p; }(),
           [] { Part p = HitOn(kBell, 10, 26, "middle", 0.3f).Len(0, 400).Step(6); p.lo = 76; return p; }(),
           HitOn(kCrash, 26, 26, "C4", 0.9f).Len(0, 400),
           TomsOn(17, 25, 12, 16, 0.6f).Every(8),
           // Build back into the cave: the kick returns, then leaves the last
           // two bars to the roll and the riser.
           DrumsOn(kKick, 27, 31, {kFour}, {0.7f, 0.3f}).Ramp(27, 6.0f),
           DrumsOn(kClap, 29, 31, {kBackbeat}, 0.8f),
           DrumsOn(kHat, 27, 33, {"oxoxoxoxoxoxoxox"}, {0.7f, 0.3f}).Ramp(27, 6.0f),
           BassOn(kBassOff, 27, 31, "..R...R...R...R.", {0.8f, 0.2f}).Ramp(27, 6.0f),
           ArpOn(kPluck, 27, 33, "0123", 57, {0.6f, 0.2f}, {-1.0f, 2.5f}).Ramp(27, 6.0f),
           PadOn(kPadWarm, 27, 31, 55, 0.8f, 0.0f, 1.0f).Every(2).Len(2),
           PadOn(kPadWarm, 33, 33, 55, 0.9f, 0.5f, 1.5f),
           HitOn(kRiser, 31, 31, "C4", 0.45f).Len(3).Cut(0.0f, 5.0f),
           RollOn(32, 32, 0, 16, 1, 0.25f, 0.55f),
           RollOn(33, 33, 0, 16, 2, 0.5f, 0.85f),
       }},
      {kCaveAgain,
       {"Dm", "Dm", "Bb", "Bb", "Gm", "Gm", "A", "A", "F#"},
       {
           HitOn(kCrash, 0, 0, "C4", 1.0f).Len(0, 400),
           HitOn(kBoom, 0, 0, "D2", 0.5f).Len(0, 400),
           DrumsOn(kKickHeavy, 0, 5, {kFour}, 0.9f),
           DrumsOn(kClap, 0, 5, {kBackbeat}),
           DrumsOn(kHat, 0, 5, {"xoxoxoxoxoxoxoxo"}),
           DrumsOn(kHatOpen, 0, 5, {kOffHats}, 0.9f),
           DrumsOn(kAir, 0, 5, {"-x-x-x-x-x-x-x-x"}, 0.8f),
           BassOn(kBassRoll, 0, 5, ".ROR.ROR.ROR.ROR"),
           StabsOn(kStab, 0, 5, "x--x--x---x--x--", 57, 0.8f),
           RollOn(7, 7, 0, 16, 1, 0.2f, 0.5f),
           MelodyOn(kLead, 0, 5, "caveLead", 1.0f, 12),
           ArpOn(kPluck, 0, 5, "0123", 57, 0.6f, 0.8f),
           // The lift into the swarm: kick, bass, lead and arpeggio out for three
           // bars, a dark pad, the riser and a tightening roll, and nothing
           // pitched in the last bar: the swarm's first beat is the change.
           RollOn(8, 8, 0, 16, 2, 0.4f, 1.0f),
           HitOn(kRiser, 6, 6, "C4", 0.6f).Len(3).Cut(1.0f, 5.0f),
           PadOn(kPadDark, 6, 6, 52, 0.8f, -0.5f, 0.5f),
       }},
      {kSwarm,
       {"Bm", "Bm", "G", "G", "D", "D", "A", "A", "Bm", "Bm", "G", "G", "D", "D", "A",  "A", "Bm",
        "Bm", "G",  "G", "D", "D", "A", "A", "G", "A",  "F#m", "Bm", "G",  "F#",  "Bm", "Bm", "G"},
       {
           // The ribbon grows: running bass and arpeggio over a steady kick,
           // the theme low on the soft lead. The swarm is in B minor, a tone
           // above the theme's own key, so its cut is a key change too; no crash
           // on its first beat, which after the lift's noise would only blur it.
           HitOn(kBoom, 0, 0, "B1", 0.6f).Len(0, 400),
           DrumsOn(kKick, 0, 7, {kFour}, 0.85f),
           DrumsOn(kHat, 0, 7, {"xoxoxoxoxoxoxoxo"}, 0.8f),
           DrumsOn(kAir, 0, 7, {"-x-x-x-x-x-x-x-x"}, 0.8f),
           DrumsOn(kShaker, 0, 7, {"oooooooooooooooo"}, {0.6f, 0.4f}).Ramp(0, 7.0f),
           BassOn(kBassRoll, 0, 7, ".RRR.RRR.RRR.RRR", 0.9f),
           ArpOn(kPluck, 0, 7, "01234321", 57, 0.6f, {-0.8f, 2.0f}).Ramp(0, 7.0f),
           PadOn(kPadWarm, 0, 6, 55, 0.7f, 0.0f, 0.5f).Every(2).Len(2),
           HitOn(kRiser, 6, 6, "C4", 0.7f).Len(2).Cut(0.0f, 5.0f),
           MelodyOn(kLeadSoft, 0, 7, "theme", 0.8f, -10).Theme(),
           RollOn(7, 7, 0, 16, 1, 0.3f, 1.0f),
           // The centres gather: everything in, the theme on top.
           HitOn(kCrash, 8, 23, "C4", 1.0f).Every(8).Len(0, 400),
           DrumsOn(kKickHeavy, 8, 23, {kFour}),
           DrumsOn(kClap, 8, 23, {kBackbeat}),
           DrumsOn(kHat, 8, 15, {"xoxoxoxoxoxoxoxo"}, 0.9f),
           DrumsOn(kHat, 16, 23, {"xxoxxxoxxxoxxxox"}, 0.9f),
           DrumsOn(kHatOpen, 8, 23, {kOffHats}, 0.9f),
           DrumsOn(kAir, 8, 23, {"x-x-x-x-x-x-x-x-"}, 0.8f),
           BassOn(kBassOff, 8, 15, "..R...R...R...R."),
           BassOn(kBassRoll, 16, 23, ".ROR.ROR.ROR.RFR"),
           StabsOn(kStab, 8, 15, "------x-------x-", 60, 0.7f),
           StabsOn(kStab, 16, 23, "--x--x----x--x--", 60, 0.7f),
           PadOn(kPadWarm, 8, 22, 55, 0.6f, 0.5f, 0.8f).Every(2).Len(2),
           ArpOn(kPluck, 8, 23, "0123", 64, 0.45f, 0.8f),
           MelodyOn(kLeadSuper, 8, 15, "theme", 1.0f, 2).Theme(),
           MelodyOn(kLeadSuper, 16, 23, "themeSecond", 1.0f, 2).Theme(),
           MelodyOn(kBell, 16, 23, "themeSecond", 0.5f, 14).Theme(),
           RollOn(15, 15, 12, 16, 2, 0.5f, 0.9f),
           TomsOn(23, 23, 8, 16),
           // Breath: no kick, no bass and no shaker, the pad and bells alone over
           // a slow arpeggio, seven bars of it; then two bars of lift, the
           // drums without kick, the riser and the roll.
           PadOn(kPadGlass, 24, 30, 55, 0.45f, 0.0f, 1.0f),
           ArpOn(kPluckSoft, 24, 30, "0...1...2...3...", 64, 0.25f),
           MelodyOn(kBell, 24, 30, "swarmCounter", 0.4f, 2, 1.0),
           DrumsOn(kClap, 31, 31, {kBackbeat}),
           DrumsOn(kHat, 31, 31, {"xoxoxoxoxoxoxoxo"}, 0.9f),
           DrumsOn(kHatOpen, 31, 31, {kOffHats}, 0.9f),
           DrumsOn(kAir, 31, 31, {"x-x-x-x-x-x-x-x-"}, 0.8f),
           HitOn(kRiser, 31, 31, "C4", 0.6f).Len(2).Cut(0.0f, 5.0f),
           RollOn(31, 31, 0, 16, 1, 0.3f, 0.7f),
           PadOn(kPadWarm, 31, 31, 55, 0.6f, 0.6f, 1.0f),
           // Into the closing: the roll and the riser alone, no toms and no lead,
           // so the closing's groove lands on its own (no crash there either).
           RollOn(32, 32, 8, 16, 2, 0.4f, 1.0f),
           PadOn(kPadWarm, 32, 32, 55, 0.8f, 0.5f, 1.5f),
       }},
      {kClosing,
       {"F",  "G",  "Em", "Am", "Dm", "G",  "C", "C", "F",  "G",  "Em", "Am", "Dm", "G",     "C", "C", "Am", "F",
        "C",  "G",  "Am", "F",  "Dm", "E",  "Am", "F", "C", "G",  "F",  "G",  "E",  "E",     "Am", "Am", "F", "F",
        "C",  "C",  "G",  "G",  "Am", "Am", "F", "F", "C", "C",  "G",  "G",  "F",  "G", "Esus4", "E", "A"},
       {
           // The ice cube turns: a soft groove and a song-like line; open hats
           // and the air layer keep the top end bright over the sub.
           HitOn(kBoom, 0, 0, "F2", 0.5f).Len(0, 400),
           DrumsOn(kKickSoft, 0, 15, {kFour}, 0.9f),
           DrumsOn(kAir, 0, 15, {"-x-x-x-x-x-x-x-x"}, 1.3f),
           DrumsOn(kShaker, 0, 15, {"o.o.o.o.o.o.o.o."}, 0.9f),
           DrumsOn(kClap, 0, 15, {"------------x---", "------------x---", "------------x---", "------------x-x-"},
                   0.6f),
           DrumsOn(kHat, 0, 15, {"--o---o---o---o-"}),
           DrumsOn(kHatOpen, 0, 15, {kOffHats}, 0.7f),
           BassOn(kBassSub, 0, 15, "R-----R-R-----R-", 0.8f),
           PadOn(kPadWarm, 0, 15, 55, 0.8f, 0.0f, 0.3f),
           MelodyOn(kLeadSoft, 0, 7, "closingLine", 1.0f),
           MelodyOn(kLeadSoft, 8, 15, "closingLine", 0.85f, 12),
           ArpOn(kPluckSoft, 8, 15, "0.1.2.3.", 60, 0.6f),
           TomsOn(15, 15, 12, 16, 0.6f),
           // Brighter: off-beat bass, the theme on bells, then on the lead;
           // then eight bars of breakdown to pad, lead and a slow arpeggio before
           // the climax.
           HitOn(kCrash, 16, 16, "C4", 0.9f).Len(0, 400),
           DrumsOn(kKick, 16, 23, {kFour}, 0.9f),
           DrumsOn(kClap, 16, 23, {kBackbeat}, 0.8f),
           DrumsOn(kHat, 16, 23, {"oxoxoxoxoxoxoxox"}),
           DrumsOn(kHatOpen, 20, 23, {kOffHats}, 0.7f),
           DrumsOn(kAir, 16, 23, {"-x-x-x-x-x-x-x-x"}, 1.3f),
           BassOn(kBassOff, 16, 23, "..R...R...R...R."),
           ArpOn(kPluck, 16, 21, "0123", 57, 0.55f, 0.3f),
           ArpOn(kPluck, 22, 23, "01234321", 57, 0.55f, 0.3f),
           ArpOn(kPluckSoft, 24, 31, "0...1...2...3...", 64, 0.4f),
           PadOn(kPadWarm, 16, 22, 55, 0.7f, 0.3f, 0.6f).Every(2).Len(2),
           PadOn(kPadWarm, 24, 30, 55, 0.5f, -0.3f, 0.3f).Every(2).Len(2),
           MelodyOn(kBell, 16, 23, "bellTheme", 0.9f, 12, 1.0).Theme(),
           MelodyOn(kLead, 24, 31, "closingLeadMid", 0.6f),
           HitOn(kRiser, 31, 31, "C4", 0.6f).Cut(0.0f, 5.0f),
           RollOn(31, 31, 0, 8, 2, 0.3f, 0.8f),
           TomsOn(31, 31, 8, 16),
           // The climax: the last statement of the theme while the cube falls
           // and bounces, doubled an octave up, with open hats and stabs.
           HitOn(kCrash, 32, 47, "C4", 1.0f).Every(4).Len(0, 400),
           HitOn(kBoom, 32, 32, "A1", 1.0f).Len(0, 400),
           DrumsOn(kKickHeavy, 32, 47, {kFour}),
           DrumsOn(kClap, 32, 47, {kBackbeat}),
           DrumsOn(kHat, 32, 39, {"xoxoxoxoxoxoxoxo"}, 0.9f),
           DrumsOn(kHat, 40, 47, {"xxoxxxoxxxoxxxox"}, 0.9f),
           DrumsOn(kHatOpen, 32, 47, {kOffHats}, 0.9f),
           DrumsOn(kAir, 32, 47, {"xxxxxxxxxxxxxxxx"}, 1.1f),
           StabsOn(kStab, 32, 47, "--x--x----x--x--", 60, 0.9f),
           DrumsOn(kShaker, 32, 47, {"oooooooooooooooo"}, 0.7f),
           BassOn(kBassRoll, 32, 39, ".RRR.RRR.RRR.RRR", 0.9f),
           BassOn(kBassRoll, 40, 47, ".ROR.ROR.ROR.ROR", 0.9f),
           ArpOn(kPluckSoft, 32, 47, "0123", 64, 0.5f),
           PadOn(kPadWarm, 32, 46, 55, 0.7f, 0.4f, 0.8f).Every(2).Len(2),
           MelodyOn(kLeadSuper, 32, 39, "theme", 1.0f).Theme(),
           MelodyOn(kLeadSuper, 40, 47, "themeSecond", 1.0f).Theme(),
           MelodyOn(kLeadSoft, 40, 47, "themeSecond", 0.5f, -12).Theme(),
           MelodyOn(kLead, 32, 39, "theme", 0.75f, 12).Theme(),
           MelodyOn(kLead, 40, 47, "themeSecond", 0.75f, 12).Theme(),
           RollOn(39, 39, 12, 16, 2, 0.5f, 0.9f),
           TomsOn(47, 47, 12, 16, 0.7f),
           // Winding down: the drums leave one by one.
           DrumsOn(kKickSoft, 48, 48, {kFour}, 0.8f),
           DrumsOn(kKickSoft, 49, 49, {"x-------x-------"}, 0.8f),
           DrumsOn(kShaker, 48, 50, {"o.o.o.o.o.o.o.o."}, {0.8f, -0.2f}).Ramp(48, 1.0f),
           DrumsOn(kAir, 48, 50, {"-x-x-x-x-x-x-x-x"}, {0.8f, -0.2f}).Ramp(48, 1.0f),
           PadOn(kPadWarm, 48, 51, 55, 0.8f, {0.3f, -0.3f}, {0.0f, -0.3f}).Ramp(48, 1.0f),
           HitOn(kBassSub, 48, 51, "bass", 0.8f).Len(1, -50),
           MelodyOn(kBell, 48, 51, "closingBells", 0.7f, 0, 1.0),
           // The last chord: A major, left to ring into the fade.
           PadOn(kPadWarm, 52, 52, 57, 0.9f, 0.5f, -1.0f).Len(1, -200),
           PadOn(kPadGlass, 52, 52, 64, 0.6f, 0.0f, -1.0f).Len(1, -200),
           HitOn(kBassSub, 52, 52, "bass", 0.8f).Len(1, -200),
           HitOn(kBoom, 52, 52, "A1", 0.6f).Len(0, 400),
           LineOn(kBell, 52, 52, "A5/4 C#6/4 E6/4 A6/28", 0.6f, 0, 1.0),
       }},
  };
  return arrangement;
}

namespace {

const char* SectionName(SectionId id) {
  for (const Section& s : Sections())
    if (s.id == id) return s.name;
  return "?";
}

// The characters each kind of one-bar pattern may use.
const char* Alphabet(Play play) {
  switch (play) {
    case Play::Drums: return "Xxo.-";
    case Play::Bass: return "ROFT-.";
    case Play::Arp: return "0123456789.";
    case Play::Stabs: return "x-";
    default: return nullptr;
  }
}

// The patterns the part plays, in turn, or null if a named one is unknown.
const std::vector<const char*>* PatternsOf(const Part& p) {
  if (!p.sequence) return &p.patterns;
  const Sequence* s = FindSequence(p.sequence);
  return s ? &s->bars : nullptr;
}

float At(const Value& v, const Part& p, int bar) {
  float t = static_cast<float>(bar - p.rampFrom) / p.rampSpan;
  return v.base + v.slope * t;
}

bool HitPitch(const Part& p, const Chord& c, float& pitch) {
  if (std::strcmp(p.pitch, "bass") == 0) {
    pitch = BassRoot(c) + 12.0f;
    return true;
  }
  bool top = std::strcmp(p.pitch, "top") == 0;
  if (top || std::strcmp(p.pitch, "middle") == 0) {
    std::vector<int> v = Voicing(c, p.lo);
    pitch = static_cast<float>(top ? v.back() : v[v.size() / 2]);
    return true;
  }
  const char* s = p.pitch;
  int midi = 0;
  if (!ParsePitch(s, midi) || *s) return false;
  pitch = static_cast<float>(midi);
  return true;
}

bool Plays(const Part& p, int bar) { return bar >= p.from && bar <= p.to && (bar - p.from) % p.every == 0; }

// Writes what `p` plays in bar `i` (of the section's `bars`); everything it
// names has been checked.
void WritePart(Writer& w, const Part& p, const std::vector<const Bar*>& bars, int i, const Chord& c) {
  const Bar& b = *bars[i];
  const std::vector<const char*>& patterns = *PatternsOf(p);
  const char* pattern = patterns.empty() ? "" : patterns[(i - p.from) % patterns.size()];
  float vel = At(p.vel, p, i), cut0 = At(p.cut0, p, i), cut1 = At(p.cut1, p, i);
  double len = p.through > 0 ? bars[i + p.through - 1]->startMs + BarMs(*bars[i + p.through - 1]) - b.startMs
                             : p.lenBars * BarMs(b) + p.lenMs;
  switch (p.play) {
    case Play::Drums: Drums(w, b, p.patch, pattern, vel); break;
    case Play::Roll: Roll(w, b, p.patch, p.stepFrom, p.stepTo, p.per, vel, p.vel1); break;
    case Play::Toms:
      TomFill(w, b, static_cast<int>(p.stepFrom), static_cast<int>(p.stepTo), vel);
      break;
    case Play::Bass: Bass(w, b, p.patch, c, pattern, vel); break;
    case Play::Arp: Arp(w, b, p.patch, c, pattern, p.lo, vel, cut0); break;
    case Play::Stabs: Stabs(w, b, p.patch, c, pattern, p.lo, vel); break;
    case Play::Pad: Pad(w, p.patch, b.startMs, len, c, p.lo, vel, cut0, cut1); break;
    case Play::Line: {
      std::vector<LineNote> notes;
      std::string bad;
      ParseLine(pattern, notes, bad);
      Line(w, b, p.patch, notes, vel, p.lo, p.gate);
      break;
    }
    case Play::Hit: {
      float pitch = 0.0f;
      HitPitch(p, c, pitch);
      w.Add(p.patch, At(b, p.stepFrom), len, pitch, vel, cut0, cut1, 0.0f, p.bend);
      break;
    }
  }
}

}  // namespace

bool CheckSection(const SectionScore& score, int bars, std::string& error) {
  std::string where = std::string("section \"") + SectionName(score.id) + "\": ";
  if (static_cast<int>(score.chords.size()) != bars) {
    error = where + std::to_string(score.chords.size()) + " chords for " + std::to_string(bars) + " bars";
    return false;
  }
  std::vector<Chord> chords(bars);
  for (int i = 0; i < bars; ++i)
    if (!score.chords[i] || !ParseChord(score.chords[i], chords[i])) {
      error = where + "unknown chord \"" + (score.chords[i] ? score.chords[i] : "") + "\" in bar " +
              std::to_string(i);
      return false;
    }
  for (size_t n = 0; n < score.parts.size(); ++n) {
    const Part& p = score.parts[n];
    std::string part = where + "part " + std::to_string(n) + ": ";
    if (p.patch >= kPatchCount || p.from < 0 || p.to < p.from || p.to >= bars || p.every < 1 || p.through < 0 ||
        p.to + std::max(p.through, 1) - 1 >= bars || p.per < 1 || !(p.rampSpan != 0.0f) ||
        p.stepFrom < 0.0 || p.stepTo < p.stepFrom) {
      error = part + "its instrument, bars or steps are out of range";
      return false;
    }
    const std::vector<const char*>* patterns = PatternsOf(p);
    if (!patterns) {
      error = part + "unknown pattern \"" + p.sequence + "\"";
      return false;
    }
    bool needsPattern = p.play != Play::Roll && p.play != Play::Toms && p.play != Play::Pad && p.play != Play::Hit;
    if (needsPattern && patterns->empty()) {
      error = part + "no pattern";
      return false;
    }
    const char* alphabet = Alphabet(p.play);
    for (const char* pattern : *patterns) {
      std::string text = pattern ? pattern : "";
      if (alphabet && (text.empty() || text.find_first_not_of(alphabet) != std::string::npos)) {
        error = part + "unknown pattern \"" + text + "\"";
        return false;
      }
      std::vector<LineNote> notes;
      std::string bad;
      if (p.play == Play::Line && !ParseLine(text.c_str(), notes, bad)) {
        error = part + "unknown note \"" + bad + "\"";
        return false;
      }
    }
    float pitch = 0.0f;
    if (p.play == Play::Hit && (!p.pitch || !HitPitch(p, chords[p.from], pitch))) {
      error = part + "unknown note \"" + (p.pitch ? p.pitch : "") + "\"";
      return false;
    }
  }
  return true;
}

std::vector<Bar> ScoreBars() {
  std::vector<Bar> bars = TimedBars();
  for (Bar& b : bars)
    for (const SectionScore& s : Arrangement())
      if (s.id == b.section)
        for (const Part& p : s.parts)
          if (p.theme && Plays(p, b.index)) b.theme = true;
  return bars;
}

bool BuildSong(Song& song, std::string& error) {
  song = Song();
  if (!CheckSchedule(Sections(), error) || !MakePatches(InstrumentTable(), song.patches, error)) return false;
  song.frames = kTrackFrames;
  song.fadeInFrames = MsToFrame(1000.0);
  song.fadeOutBegin = MsToFrame(299000.0);
  song.fadeOutEnd = MsToFrame(302500.0);
  for (const Section& s : Sections())
    if (SilentSection(s.id)) song.silences.push_back({MsToFrame(s.startMs), MsToFrame(s.endMs)});

  std::vector<Bar> all = TimedBars();
  std::vector<std::vector<const Bar*>> bySection(Sections().size());
  for (const Bar& b : all) bySection[b.section].push_back(&b);
  for (const SectionScore& score : Arrangement()) {
    const std::vector<const Bar*>& bars = bySection[score.id];
    if (SilentSection(score.id)) {
      error = std::string("section \"") + SectionName(score.id) + "\" is silent and has no arrangement";
      return false;
    }
    if (!CheckSection(score, static_cast<int>(bars.size()), error)) return false;
  }
  // Bar by bar, each part in its row's order: the humanising and the stable
  // sort below depend on the order the notes are written in.
  Writer w{song};
  for (const SectionScore& score : Arrangement()) {
    const std::vector<const Bar*>& bars = bySection[score.id];
    for (int i = 0; i < static_cast<int>(bars.size()); ++i) {
      Chord c;
      ParseChord(score.chords[i], c);
      for (const Part& p : score.parts)
        if (Plays(p, i)) WritePart(w, p, bars, i, c);
    }
  }
  std::stable_sort(song.notes.begin(), song.notes.end(),
                   [](const Note& a, const Note& b) { return a.start < b.start; });
  return true;
}

}  // namespace synth
