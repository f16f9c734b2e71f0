// Instruments of the forge's synthesizer: a patch describes a sound, a note
// plays a patch at a sample position, and a voice is one sounding note.
#pragma once
#include <cstdint>

#include "synth/dsp.h"

namespace synth {

enum class Kind {
  Synth,  // unison oscillators + sub + noise through the resonant filter
  Fm,     // two-operator FM, for bells and mallets
  Kick,   // sine with a falling pitch and a click; toms too
  Snare,  // tone plus band-limited noise
  Clap,   // three quick noise bursts and a tail
  Hat,    // high-passed noise
  Riser,  // noise through a band-pass sweeping over the note
};

enum class FilterMode { Low, Band, High };

struct Patch {
  Kind kind = Kind::Synth;
  // Oscillators.
  Wave wave = Wave::Saw;
  int unison = 1;            // 1..7
  float detuneCents = 0.0f;  // spread between the outermost unison voices
  float stereoSpread = 0.0f; // 0 = all centre, 1 = outermost hard left/right
  float pulseWidth = 0.5f, pwmDepth = 0.0f, pwmRate = 0.0f;
  float subLevel = 0.0f;     // sine one octave below
  float noiseLevel = 0.0f;
  float octave = 0.0f;       // added to the note, in octaves
  // Filter: cutoff in Hz, moved by the filter envelope (octaves) and key tracking.
  FilterMode filterMode = FilterMode::Low;
  float cutoff = 18000.0f, resonance = 0.7f, keyTrack = 0.0f, envOctaves = 0.0f;
  AdsrParams filterEnv{0.001f, 0.3f, 0.0f, 0.3f};
  AdsrParams amp{0.005f, 0.3f, 1.0f, 0.2f};
  // Pitch: vibrato after a delay, and a fall from `pitchDrop` semitones above.
  float vibratoCents = 0.0f, vibratoRate = 5.0f, vibratoDelay = 0.3f;
  float pitchDrop = 0.0f, pitchDropTime = 0.05f;
  // FM: modulator at ratio x carrier, index decaying with fmDecay seconds.
  float fmRatio = 1.0f, fmIndex = 0.0f, fmDecay = 1.0f;
  // Drums: tone and noise decays (seconds), the noise share and the drive.
  float toneDecay = 0.3f, noiseDecay = 0.1f, noiseMix = 0.5f, drive = 1.0f;
  // Mixing.
  float gain = 0.5f, pan = 0.0f, delaySend = 0.0f, reverbSend = 0.0f;
  float duck = 0.0f;  // how far the kick's side-chain pushes it down, 0..1
  bool drumBus = false;
};

struct Note {
  int64_t start = 0;    // first sample
  int32_t length = 0;   // samples until the key is released
  uint8_t patch = 0;
  float pitch = 60.0f;  // MIDI note number
  float velocity = 1.0f;
  float cutStart = 0.0f, cutEnd = 0.0f;  // cutoff offset in octaves, swept over the note
  float pan = 0.0f;                      // added to the patch's pan
  float bend = 0.0f;  // semitones at the start, gliding linearly to the pitch by the note's end
};

constexpr int kMaxUnison = 7;

struct Voice {
  const Patch* patch = nullptr;
  Note note;
  int32_t age = 0;  // samples played
  bool released = false, done = false;
  Osc osc[kMaxUnison], sub, mod;
  float detune[kMaxUnison], gainL[kMaxUnison], gainR[kMaxUnison];
  Adsr amp, filterEnv;
  Svf filterL, filterR, noiseFilter;
  Noise noise;
  float toneLevel = 0.0f, noiseLevel = 0.0f, drop = 0.0f, fmLevel = 0.0f;
  float toneDecayCoef = 0.0f, noiseDecayCoef = 0.0f, dropCoef = 0.0f, fmCoef = 0.0f;
  float panL = 0.0f, panR = 0.0f;  // the note's place, fixed for its life
};

void StartVoice(Voice& v, const Patch& patch, const Note& note, uint32_t seed);

// Buses a voice adds into, one block at a time.
struct Buses {
  float* musicL;
  float* musicR;
  float* drumL;
  float* drumR;
  float* delay;   // mono delay send
  float* reverbL;
  float* reverbR;
  const float* duck;  // side-chain depth 0..1 per sample of the block
};

// Renders samples [from, count) of the block into the buses; marks the voice done
// once it has fallen silent.
void RenderVoice(Voice& v, const Buses& buses, int from, int count);

}  // namespace synth
