// Building blocks of the forge's synthesizer: oscillators, envelopes, the filter,
// the effects and the master limiter. Everything runs in floats at 44.1 kHz and
// keeps its own state, so a voice is a handful of these structs ticked per sample.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

namespace synth {

constexpr int kSampleRate = 44100;
constexpr float kPi = 3.14159265358979f;

// Tiny feedback values would otherwise decay into denormals and slow the render
// to a crawl on x86; every recursive state passes through this.
inline float Undenormal(float v) { return std::fabs(v) < 1e-15f ? 0.0f : v; }

inline float MidiToHz(float note) { return 440.0f * std::exp2((note - 69.0f) * (1.0f / 12.0f)); }
inline float DbToGain(float db) { return std::pow(10.0f, db * 0.05f); }

// Deterministic white noise (xorshift32), one generator per voice so the
// output never depends on the C library or on the order voices run in.
struct Noise {
  uint32_t state = 0x9E3779B9u;
};
inline float NextNoise(Noise& n) {
  uint32_t x = n.state;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  n.state = x;
  return static_cast<int32_t>(x) * (1.0f / 2147483648.0f);
}

// Sine from a table with linear interpolation; phase in cycles [0, 1). The
// table is filled before main; the oscillators below are inline because the
// voices call them for every sample of every unison voice.
constexpr int kSineTableSize = 4096;
extern float gSineTable[kSineTableSize + 1];
inline float SineCycles(float phase) {
  phase -= std::floor(phase);
  float x = phase * kSineTableSize;
  int i = static_cast<int>(x);
  if (i >= kSineTableSize) i = kSineTableSize - 1;
  float f = x - i;
  return gSineTable[i] + (gSineTable[i + 1] - gSineTable[i]) * f;
}

enum class Wave { Saw, Pulse, Sine, Triangle };

// Phase-accumulator oscillator; saw and pulse are band-limited by PolyBLEP.
struct Osc {
  float phase = 0.0f;  // cycles, [0, 1)
  float inc = 0.0f;    // cycles per sample
  float width = 0.5f;  // pulse duty
};
inline void SetOscHz(Osc& o, float hz) {
  float inc = hz / kSampleRate;
  o.inc = inc < 0.49f ? inc : 0.49f;
}
// Residual of a unit step smoothed over one sample on each side of the jump.
inline float PolyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}
inline float TickOsc(Osc& o, Wave w) {
  float t = o.phase, dt = o.inc, out;
  switch (w) {
    case Wave::Saw:
      out = 2.0f * t - 1.0f - PolyBlep(t, dt);
      break;
    case Wave::Pulse: {
      float t2 = t + 1.0f - o.width;
      if (t2 >= 1.0f) t2 -= 1.0f;
      out = (t < o.width ? 1.0f : -1.0f) + PolyBlep(t, dt) - PolyBlep(t2, dt);
      break;
    }
    case Wave::Triangle:
      // Harmonics fall as 1/n^2, so the naive shape aliases little.
      out = 4.0f * std::fabs(t - 0.5f) - 1.0f;
      break;
    default:
      out = SineCycles(t);
      break;
  }
  t += dt;
  if (t >= 1.0f) t -= 1.0f;
  o.phase = t;
  return out;
}

// Linear attack, exponential decay and release; times in seconds.
struct AdsrParams {
  float attack = 0.005f, decay = 0.2f, sustain = 1.0f, release = 0.1f;
};
enum class Stage { Idle, Attack, Decay, Sustain, Release };
struct Adsr {
  AdsrParams p;
  Stage stage = Stage::Idle;
  float level = 0.0f;
  float attackStep = 0.0f, decayCoef = 0.0f, releaseCoef = 0.0f;
};
void StartAdsr(Adsr& e, const AdsrParams& p);
void ReleaseAdsr(Adsr& e);
float TickAdsr(Adsr& e);
// Coefficient of a one-pole approach that covers 99% of the way in `seconds`.
float ApproachCoef(float seconds);

// Topology-preserving state-variable filter (trapezoidal integrators): stable
// under fast cutoff modulation and self-oscillation-free for q >= 0.5.
struct Svf {
  float ic1 = 0.0f, ic2 = 0.0f;
  float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f, k = 1.0f;
};
void SetSvf(Svf& f, float cutoffHz, float q);
struct SvfOut {
  float low, band, high;
};
inline SvfOut TickSvf(Svf& f, float x) {
  float v3 = x - f.ic2;
  float v1 = f.a1 * f.ic1 + f.a2 * v3;
  float v2 = f.ic2 + f.a2 * f.ic1 + f.a3 * v3;
  f.ic1 = Undenormal(2.0f * v1 - f.ic1);
  f.ic2 = Undenormal(2.0f * v2 - f.ic2);
  return {v2, v1, x - f.k * v1 - v2};
}

// Ping-pong delay: the left echo feeds the right line and back, darkened each round.
struct StereoDelay {
  std::vector<float> left, right;
  int pos = 0, length = 1;
  float feedback = 0.4f, damp = 0.3f, lowL = 0.0f, lowR = 0.0f;
};
void InitDelay(StereoDelay& d, int samples, float feedback, float damp);
void TickDelay(StereoDelay& d, float inL, float inR, float& outL, float& outR);

// Freeverb-style reverb: eight damped combs and four allpasses per side.
struct Reverb {
  struct Comb {
    std::vector<float> buf;
    int pos = 0;
    float store = 0.0f;
  };
  struct Allpass {
    std::vector<float> buf;
    int pos = 0;
  };
  Comb combs[2][8];
  Allpass allpasses[2][4];
  float feedback = 0.84f, damp = 0.25f, width = 1.0f;
};
void InitReverb(Reverb& r, float roomSize, float damp, float width);
void ClearReverb(Reverb& r);
void TickReverb(Reverb& r, float inL, float inR, float& outL, float& outR);

// Look-ahead peak limiter. Gain is the moving average of a sliding minimum of
// the required gain over the look-ahead window, so every output sample stays at
// or below the ceiling while the gain itself moves smoothly; it recovers with an
// exponential release. Latency is `lookahead` samples.
struct Limiter {
  float ceiling = 1.0f;
  int lookahead = 64;
  float releaseCoef = 0.0f;
  float released = 1.0f;  // gain after release smoothing
  long long n = 0;        // frames pushed
  int ring = 0;           // size of the rings below
  std::vector<float> inL, inR, needs;  // recent input and the gain each sample needs
  std::vector<float> smooth;           // released gains of the averaging window
  double smoothSum = 0.0;
  std::vector<long long> dqIndex;      // sliding-minimum deque of needs
  std::vector<float> dqValue;
  int dqHead = 0, dqSize = 0;
};
void InitLimiter(Limiter& l, float ceiling, int lookahead, float releaseSeconds);
// Pushes one frame in and returns the frame LimiterLatency samples earlier, limited.
// The peak it guards includes the cubic estimate between samples, so inter-sample
// overs are mostly caught as well.
inline int LimiterLatency(const Limiter& l) { return l.lookahead + 2; }
void TickLimiter(Limiter& l, float inL, float inR, float& outL, float& outR);

}  // namespace synth
