// The show's track as data: its sections on the show's timeline, the bars they
// are made of, the instrument table, each section's arrangement (which part
// plays which pattern over which bars), and the song built from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "synth/render.h"

namespace synth {

enum SectionId { kOpening, kCaveLight, kHeaving, kBreak, kLens, kCaveAgain, kSwarm, kClosing, kSilence, kSectionCount };

struct Section {
  SectionId id;
  const char* name;
  int startMs, endMs;
};

// The break before the lens and the blank end are silent; nothing plays there.
inline bool SilentSection(SectionId id) { return id == kBreak || id == kSilence; }

// In time order; together they cover the whole track without gaps.
const std::vector<Section>& Sections();

constexpr int kTrackMs = 303500;  // the show's length
constexpr int64_t kTrackFrames = static_cast<int64_t>(kTrackMs) * kSampleRate / 1000;

// Whether `sections` start where the show's windows start, the break is the
// zoom fade into the lens (from its envelope's start to its end), the
// silence is the blank window, and they tile [0, kTrackMs) in SectionId order.
bool CheckSchedule(const std::vector<Section>& sections, std::string& error);

// One bar: where it starts, its beat length (ms) and how many beats it has.
// The last bar of a section may be longer or shorter so the next one starts
// exactly on its boundary.
struct Bar {
  double startMs = 0.0, beatMs = 400.0, beats = 4.0;
  int section = 0, index = 0;  // index within its section
  bool theme = false;          // the main theme, whole or in part, plays in it
};
std::vector<Bar> ScoreBars();

inline int64_t MsToFrame(double ms) { return static_cast<int64_t>(ms * (kSampleRate / 1000.0) + 0.5); }

// ---------------------------------------------------------------------------
// Instruments: one row a patch, its fields named ("gain=0.57 amp=a/d/s/r").

enum PatchId : uint8_t {
  kKick, kKickSoft, kKickHeavy, kSnare, kSnareBig, kClap, kHat, kHatOpen, kShaker, kCrash, kTom, kBoom,
  kRiser, kPadWarm, kPadDark, kPadGlass, kBassSub, kBassOff, kBassReese, kBassRoll, kPluck, kPluckSoft,
  kLead, kLeadSuper, kLeadSoft, kBell, kStab, kSweep, kAir, kPatchCount
};

struct PatchRow {
  PatchId id;
  const char* name;
  const char* like;    // the row's patch starts as a copy of this earlier one; null: defaults
  const char* fields;  // "name=value" separated by spaces
};

// Fills `patches` (kPatchCount of them) from `rows`; an unknown field, value or
// patch to start from, or a patch left without a row, is an error.
bool MakePatches(const std::vector<PatchRow>& rows, std::vector<Patch>& patches, std::string& error);
const std::vector<PatchRow>& InstrumentTable();

// ---------------------------------------------------------------------------
// Note names: "A4", "C#5", "Bb3" are MIDI notes; chords are a root and a
// quality, "Am", "Fmaj7", "Esus4".

bool ParsePitch(const char*& s, int& midi);  // advances past the name
struct Chord {
  int root = 0;  // pitch class
  std::vector<int> intervals;
};
bool ParseChord(const char* name, Chord& chord);

// ---------------------------------------------------------------------------
// Arrangement

enum class Play {
  Drums,  // one hit per pattern character: 'X' 'x' 'o' '.' loud to soft, '-' rest
  Roll,   // evenly spaced hits over steps [stepFrom, stepTo), `per` a step, velocity vel -> vel1
  Toms,   // a descending tom fill over steps [stepFrom, stepTo)
  Bass,   // 'R' root, 'O' octave, 'F' fifth, 'T' second chord tone, '-' holds, '.' rests
  Arp,    // digits pick chord tones upwards from `lo`, '.' rests
  Stabs,  // the chord on each 'x'
  Pad,    // the chord held, voiced in [lo, lo + 12)
  Line,   // a melody: "E5/6 D5/2 r/4" (note or r, then its length in steps)
  Hit,    // one note: a note name, or "bass" (the chord's bass note), "top" or "middle" (of the voicing at lo)
};

// base + slope * t, where t = (bar - rampFrom) / rampSpan.
struct Value {
  Value(float b = 0.0f, float s = 0.0f) : base(b), slope(s) {}
  float base, slope;
};

struct Part {
  Play play = Play::Hit;
  PatchId patch = kKick;
  int from = 0, to = 0, every = 1;    // the section's bars [from, to], every n-th counted from `from`
  std::vector<const char*> patterns;  // one-bar patterns, taken in turn bar by bar
  const char* sequence = nullptr;     // instead: a named list of them (the melodies)
  Value vel{1.0f}, cut0, cut1;
  float vel1 = 1.0f;                  // Roll: the last hit's velocity
  int rampFrom = 0;
  float rampSpan = 1.0f;
  int lo = 0;                         // voicing floor; Line: transposition
  double gate = 0.92;                 // Line: how much of each note's length sounds
  double stepFrom = 0.0, stepTo = 16.0;  // Hit: its step; Roll, Toms: their steps
  int per = 1;
  double lenBars = 1.0, lenMs = 0.0;  // Pad, Hit: lenBars bars of this one plus lenMs
  int through = 0;                    // or > 0: until the end of the through-th bar from here
  const char* pitch = "C4";           // Hit
  float bend = 0.0f;                  // Hit: semitones at the start
  bool theme = false;                 // what it plays is the main theme

  Part& Every(int n) { every = n; return *this; }
  Part& Ramp(int from0, float span) { rampFrom = from0; rampSpan = span; return *this; }
  Part& Len(double bars, double ms = 0.0) { lenBars = bars; lenMs = ms; return *this; }
  Part& Through(int bars) { through = bars; return *this; }
  Part& Step(double s) { stepFrom = s; return *this; }
  Part& Cut(Value a, Value b = Value()) { cut0 = a; cut1 = b; return *this; }
  Part& Bend(float semitones) { bend = semitones; return *this; }
  Part& Gate(double g) { gate = g; return *this; }
  Part& Theme() { theme = true; return *this; }
};

struct SectionScore {
  SectionId id;
  std::vector<const char*> chords;  // one a bar
  std::vector<Part> parts;          // in the order they are written within each bar
};

// The sections that play, in time order.
const std::vector<SectionScore>& Arrangement();

// Every name in `score` known (chords, notes, melodies, pattern characters)
// and its bars within `bars` bars; otherwise an error naming it and the section.
bool CheckSection(const SectionScore& score, int bars, std::string& error);

// The whole song, or an error naming what in which section is unknown.
bool BuildSong(Song& song, std::string& error);

}  // namespace synth
