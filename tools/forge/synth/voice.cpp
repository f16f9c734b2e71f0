#include "synth/voice.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

constexpr float kSilent = 1e-4f;  // -80 dB: a voice below this is finished

float DecayCoef(float seconds) {
  // Per-sample factor that falls to 1/1000 (-60 dB) after `seconds`.
  return std::exp(-6.9f / (std::max(seconds, 0.001f) * kSampleRate));
}

void PanGains(float pan, float& l, float& r) {
  float a = (std::clamp(pan, -1.0f, 1.0f) + 1.0f) * 0.25f * kPi;
  l = std::cos(a);
  r = std::sin(a);
}

float NoteHz(const Voice& v) { return MidiToHz(v.note.pitch + 12.0f * v.patch->octave); }

// Adds one stereo sample to its dry pair (music or drums) and to the effect sends.
void SendSample(const Patch& p, const Buses& b, float* dryL, float* dryR, int i, float outL,
                float outR) {
  dryL[i] += outL;
  dryR[i] += outR;
  b.delay[i] += (outL + outR) * p.delaySend;
  b.reverbL[i] += outL * p.reverbSend;
  b.reverbR[i] += outR * p.reverbSend;
}

void RenderSynth(Voice& v, const Buses& b, int from, int count) {
  const Patch& p = *v.patch;
  float t = v.age / static_cast<float>(kSampleRate);
  // Control-rate values, once per block.
  float semis = v.drop;
  if (v.note.bend != 0.0f && v.note.length > 0)
    semis += v.note.bend * (1.0f - std::min(v.age / static_cast<float>(v.note.length), 1.0f));
  if (p.vibratoCents > 0.0f && t > p.vibratoDelay) {
    float depth = std::min((t - p.vibratoDelay) * 4.0f, 1.0f) * p.vibratoCents * 0.01f;
    semis += depth * SineCycles(p.vibratoRate * t);
  }
  float hz = NoteHz(v) * std::exp2(semis / 12.0f);
  for (int u = 0; u < p.unison; ++u) {
    SetOscHz(v.osc[u], hz * v.detune[u]);
    v.osc[u].width = p.pulseWidth + p.pwmDepth * SineCycles(p.pwmRate * t + 0.17f * u);
  }
  SetOscHz(v.sub, hz * 0.5f);
  float sweep = v.note.cutStart;
  if (v.note.length > 0)
    sweep += (v.note.cutEnd - v.note.cutStart) * std::min(v.age / static_cast<float>(v.note.length), 1.0f);
  float octs = p.envOctaves * v.filterEnv.level + p.keyTrack * (v.note.pitch - 60.0f) / 12.0f + sweep;
  float cutoff = p.cutoff * std::exp2(octs);
  SetSvf(v.filterL, cutoff, p.resonance);
  SetSvf(v.filterR, cutoff, p.resonance);
  bool stereo = p.unison > 1 && p.stereoSpread > 0.0f;
  float level = p.gain * v.note.velocity;
  const float panL = v.panL, panR = v.panR;
  float dropStep = v.dropCoef;

  for (int i = from; i < count; ++i) {
    if (!v.released && v.age >= v.note.length) {
      ReleaseAdsr(v.amp);
      ReleaseAdsr(v.filterEnv);
      v.released = true;
    }
    float l = 0.0f, r = 0.0f;
    for (int u = 0; u < p.unison; ++u) {
      float s = TickOsc(v.osc[u], p.wave);
      l += s * v.gainL[u];
      r += s * v.gainR[u];
    }
    float extra = 0.0f;
    if (p.subLevel > 0.0f) extra += p.subLevel * TickOsc(v.sub, Wave::Sine);
    if (p.noiseLevel > 0.0f) extra += p.noiseLevel * NextNoise(v.noise);
    l += extra;
    r += extra;
    float outL, outR;
    auto pick = [&](const SvfOut& o) {
      return p.filterMode == FilterMode::Low ? o.low : p.filterMode == FilterMode::Band ? o.band : o.high;
    };
    if (stereo) {
      outL = pick(TickSvf(v.filterL, l));
      outR = pick(TickSvf(v.filterR, r));
    } else {
      float m = pick(TickSvf(v.filterL, l));
      outL = m * panL;
      outR = m * panR;
    }
    float env = TickAdsr(v.amp) * level * (1.0f - p.duck * b.duck[i]);
    TickAdsr(v.filterEnv);
    v.drop *= dropStep;
    outL *= env;
    outR *= env;
    SendSample(p, b, b.musicL, b.musicR, i, outL, outR);
    ++v.age;
    if (v.released && v.amp.stage == Stage::Idle) {
      v.done = true;
      return;
    }
  }
}

void RenderFm(Voice& v, const Buses& b, int from, int count) {
  const Patch& p = *v.patch;
  float hz = NoteHz(v);
  SetOscHz(v.osc[0], hz);
  SetOscHz(v.mod, hz * p.fmRatio);
  const float level = p.gain * v.note.velocity, panL = v.panL, panR = v.panR;
  for (int i = from; i < count; ++i) {
    if (!v.released && v.age >= v.note.length) {
      ReleaseAdsr(v.amp);
      v.released = true;
    }
    float m = TickOsc(v.mod, Wave::Sine) * v.fmLevel;
    v.fmLevel *= v.fmCoef;
    float s = SineCycles(v.osc[0].phase + m);
    TickOsc(v.osc[0], Wave::Sine);
    float env = TickAdsr(v.amp) * level * (1.0f - p.duck * b.duck[i]);
    float outL = s * env * panL, outR = s * env * panR;
    SendSample(p, b, b.musicL, b.musicR, i, outL, outR);
    ++v.age;
    if (v.released && v.amp.stage == Stage::Idle) {
      v.done = true;
      return;
    }
  }
}

// Drums run on exponential decays rather than the ADSR: they have no sustain.
void RenderDrum(Voice& v, const Buses& b, int from, int count) {
  const Patch& p = *v.patch;
  const float level = p.gain * v.note.velocity, panL = v.panL, panR = v.panR;
  float baseHz = NoteHz(v);
  const float driveTanh = std::tanh(p.drive);
  if (p.kind == Kind::Riser) {
    float frac = v.note.length > 0 ? std::min(v.age / static_cast<float>(v.note.length), 1.0f) : 1.0f;
    float octs = v.note.cutStart + (v.note.cutEnd - v.note.cutStart) * frac;
    SetSvf(v.noiseFilter, p.cutoff * std::exp2(octs), p.resonance);
  }
  for (int i = from; i < count; ++i) {
    float out = 0.0f;
    switch (p.kind) {
      case Kind::Kick: {
        float hz = baseHz * std::exp2(v.drop / 12.0f);
        v.drop *= v.dropCoef;
        SetOscHz(v.osc[0], hz);
        float tone = TickOsc(v.osc[0], Wave::Sine) * v.toneLevel;
        float click = TickSvf(v.noiseFilter, NextNoise(v.noise)).band * v.noiseLevel;
        out = std::tanh(p.drive * (tone + click * p.noiseMix)) / driveTanh;
        break;
      }
      case Kind::Snare: {
        float hz = baseHz * std::exp2(v.drop / 12.0f);
        v.drop *= v.dropCoef;
        SetOscHz(v.osc[0], hz);
        SetOscHz(v.osc[1], hz * 1.78f);
        float tone = (TickOsc(v.osc[0], Wave::Sine) + 0.5f * TickOsc(v.osc[1], Wave::Sine)) * v.toneLevel;
        SvfOut n = TickSvf(v.noiseFilter, NextNoise(v.noise));
        out = tone * (1.0f - p.noiseMix) + (n.high + 0.5f * n.band) * v.noiseLevel * p.noiseMix;
        out = std::tanh(p.drive * out) / p.drive;
        break;
      }
      case Kind::Clap: {
        // Three bursts 11 ms apart, then the tail.
        float ms = v.age * (1000.0f / kSampleRate);
        float burst = ms < 33.0f ? std::exp(-std::fmod(ms, 11.0f) * 0.35f) : 0.0f;
        float tail = ms >= 22.0f ? v.noiseLevel : 0.0f;
        if (ms >= 22.0f) v.noiseLevel *= v.noiseDecayCoef;
        out = TickSvf(v.noiseFilter, NextNoise(v.noise)).band * std::max(burst, tail) * 2.0f;
        break;
      }
      case Kind::Hat:
      case Kind::Riser: {
        SvfOut n = TickSvf(v.noiseFilter, NextNoise(v.noise));
        float env;
        if (p.kind == Kind::Hat) {
          env = v.noiseLevel;
          v.noiseLevel *= v.noiseDecayCoef;
          out = n.high * env;
        } else {
          // Swells over the note, then falls away quickly after it.
          float frac = v.note.length > 0 ? v.age / static_cast<float>(v.note.length) : 1.0f;
          env = frac < 1.0f ? frac * frac : v.noiseLevel;
          if (frac >= 1.0f) v.noiseLevel *= v.noiseDecayCoef;
          out = n.band * env;
        }
        break;
      }
      default:
        break;
    }
    v.toneLevel *= v.toneDecayCoef;
    if (p.kind != Kind::Clap && p.kind != Kind::Hat && p.kind != Kind::Riser) v.noiseLevel *= v.noiseDecayCoef;
    out *= level;
    float outL = out * panL, outR = out * panR;
    SendSample(p, b, b.drumL, b.drumR, i, outL, outR);
    ++v.age;
    bool riserHolding = p.kind == Kind::Riser && v.age < v.note.length;
    if (!riserHolding && v.toneLevel < kSilent && v.noiseLevel < kSilent) {
      v.done = true;
      return;
    }
  }
}

}  // namespace

void StartVoice(Voice& v, const Patch& p, const Note& note, uint32_t seed) {
  v = Voice();
  v.patch = &p;
  v.note = note;
  v.noise.state = seed * 2654435761u + 0x6D2B79F5u;
  if (v.noise.state == 0) v.noise.state = 1;
  int n = std::clamp(p.unison, 1, kMaxUnison);
  for (int u = 0; u < n; ++u) {
    float pos = n > 1 ? 2.0f * u / (n - 1) - 1.0f : 0.0f;  // -1..1 across the stack
    v.detune[u] = std::exp2(pos * 0.5f * p.detuneCents / 1200.0f);
    float l, r;
    PanGains((u % 2 ? -1.0f : 1.0f) * std::fabs(pos) * p.stereoSpread + p.pan + note.pan, l, r);
    float norm = 1.0f / std::sqrt(static_cast<float>(n));
    v.gainL[u] = l * norm;
    v.gainR[u] = r * norm;
    v.osc[u].phase = 0.5f * (NextNoise(v.noise) + 1.0f);
    if (v.osc[u].phase >= 1.0f) v.osc[u].phase = 0.0f;
  }
  PanGains(p.pan + note.pan, v.panL, v.panR);
  v.drop = p.pitchDrop;
  v.dropCoef = DecayCoef(p.pitchDropTime);
  switch (p.kind) {
    case Kind::Synth:
    case Kind::Fm:
      StartAdsr(v.amp, p.amp);
      StartAdsr(v.filterEnv, p.filterEnv);
      v.fmLevel = p.fmIndex;
      v.fmCoef = DecayCoef(p.fmDecay);
      if (p.kind == Kind::Fm) v.osc[0].phase = v.mod.phase = 0.0f;
      break;
    case Kind::Kick:
      v.osc[0].phase = 0.0f;  // every kick starts from the same zero crossing
      v.toneLevel = 1.0f;
      v.noiseLevel = 1.0f;
      SetSvf(v.noiseFilter, p.cutoff, p.resonance);
      break;
    case Kind::Snare:
      v.osc[0].phase = v.osc[1].phase = 0.0f;
      v.toneLevel = 1.0f;
      v.noiseLevel = 1.0f;
      SetSvf(v.noiseFilter, p.cutoff, p.resonance);
      break;
    case Kind::Clap:
    case Kind::Hat:
    case Kind::Riser:
      v.noiseLevel = 1.0f;
      SetSvf(v.noiseFilter, p.cutoff, p.resonance);
      break;
  }
  v.toneDecayCoef = DecayCoef(p.toneDecay);
  v.noiseDecayCoef = DecayCoef(p.noiseDecay);
  if (p.kind == Kind::Clap || p.kind == Kind::Hat || p.kind == Kind::Riser) v.toneLevel = 0.0f;
}

void RenderVoice(Voice& v, const Buses& b, int from, int count) {
  if (v.done) return;
  switch (v.patch->kind) {
    case Kind::Synth:
      RenderSynth(v, b, from, count);
      break;
    case Kind::Fm:
      RenderFm(v, b, from, count);
      break;
    default:
      RenderDrum(v, b, from, count);
      break;
  }
}

}  // namespace synth
