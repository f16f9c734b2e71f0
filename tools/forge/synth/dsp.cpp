#include "synth/dsp.h"

#include <algorithm>

namespace synth {

namespace {

struct SineTableInit {
  SineTableInit() {
    for (int i = 0; i <= kSineTableSize; ++i)
      gSineTable[i] = static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * i / kSineTableSize));
  }
};
const SineTableInit kSineTableInit;

}  // namespace

float gSineTable[kSineTableSize + 1];

float ApproachCoef(float seconds) {
  if (seconds <= 0.0f) return 1.0f;
  // exp(-4.6) ~ 0.01: 99% of the way after `seconds`.
  return 1.0f - std::exp(-4.6f / (seconds * kSampleRate));
}

void StartAdsr(Adsr& e, const AdsrParams& p) {
  e.p = p;
  e.attackStep = p.attack > 0.0f ? 1.0f / (p.attack * kSampleRate) : 1.0f;
  e.decayCoef = ApproachCoef(p.decay);
  e.releaseCoef = ApproachCoef(p.release);
  e.stage = Stage::Attack;
  // Retriggering starts from the current level, so there is no click.
}

void ReleaseAdsr(Adsr& e) {
  if (e.stage != Stage::Idle) e.stage = Stage::Release;
}

float TickAdsr(Adsr& e) {
  switch (e.stage) {
    case Stage::Attack:
      e.level += e.attackStep;
      if (e.level >= 1.0f) {
        e.level = 1.0f;
        e.stage = Stage::Decay;
      }
      break;
    case Stage::Decay:
      e.level += (e.p.sustain - e.level) * e.decayCoef;
      if (std::fabs(e.level - e.p.sustain) < 1e-4f) {
        e.level = e.p.sustain;
        e.stage = Stage::Sustain;
      }
      break;
    case Stage::Sustain:
      break;
    case Stage::Release:
      e.level -= e.level * e.releaseCoef;
      if (e.level < 1e-4f) {
        e.level = 0.0f;
        e.stage = Stage::Idle;
      }
      break;
    case Stage::Idle:
      break;
  }
  return e.level;
}

void SetSvf(Svf& f, float cutoffHz, float q) {
  float fc = std::clamp(cutoffHz, 10.0f, 0.45f * kSampleRate);
  float g = std::tan(kPi * fc / kSampleRate);
  f.k = 1.0f / std::max(q, 0.5f);
  f.a1 = 1.0f / (1.0f + g * (g + f.k));
  f.a2 = g * f.a1;
  f.a3 = g * f.a2;
}

void InitDelay(StereoDelay& d, int samples, float feedback, float damp) {
  d.length = std::max(samples, 1);
  d.left.assign(d.length, 0.0f);
  d.right.assign(d.length, 0.0f);
  d.pos = 0;
  d.feedback = feedback;
  d.damp = damp;
  d.lowL = d.lowR = 0.0f;
}

void TickDelay(StereoDelay& d, float inL, float inR, float& outL, float& outR) {
  outL = d.left[d.pos];
  outR = d.right[d.pos];
  d.lowL = Undenormal(d.lowL + (outL - d.lowL) * (1.0f - d.damp));
  d.lowR = Undenormal(d.lowR + (outR - d.lowR) * (1.0f - d.damp));
  // Input enters on the left only; each echo then crosses to the other side.
  d.left[d.pos] = 0.5f * (inL + inR) + d.feedback * d.lowR;
  d.right[d.pos] = d.feedback * d.lowL;
  if (++d.pos == d.length) d.pos = 0;
}

namespace {
const int kCombTuning[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int kAllpassTuning[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
}  // namespace

void InitReverb(Reverb& r, float roomSize, float damp, float width) {
  r.feedback = roomSize * 0.28f + 0.7f;
  r.damp = damp * 0.4f;
  r.width = width;
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < 8; ++i) r.combs[side][i].buf.assign(kCombTuning[i] + side * kStereoSpread, 0.0f);
    for (int i = 0; i < 4; ++i)
      r.allpasses[side][i].buf.assign(kAllpassTuning[i] + side * kStereoSpread, 0.0f);
  }
  ClearReverb(r);
}

void ClearReverb(Reverb& r) {
  for (int side = 0; side < 2; ++side) {
    for (Reverb::Comb& c : r.combs[side]) {
      std::fill(c.buf.begin(), c.buf.end(), 0.0f);
      c.pos = 0;
      c.store = 0.0f;
    }
    for (Reverb::Allpass& a : r.allpasses[side]) {
      std::fill(a.buf.begin(), a.buf.end(), 0.0f);
      a.pos = 0;
    }
  }
}

void TickReverb(Reverb& r, float inL, float inR, float& outL, float& outR) {
  float input = (inL + inR) * 0.015f;
  float wet[2];
  for (int side = 0; side < 2; ++side) {
    float acc = 0.0f;
    for (Reverb::Comb& c : r.combs[side]) {
      float y = c.buf[c.pos];
      c.store = Undenormal(y * (1.0f - r.damp) + c.store * r.damp);
      c.buf[c.pos] = input + c.store * r.feedback;
      if (++c.pos == static_cast<int>(c.buf.size())) c.pos = 0;
      acc += y;
    }
    for (Reverb::Allpass& a : r.allpasses[side]) {
      float b = a.buf[a.pos];
      a.buf[a.pos] = Undenormal(acc + b * 0.5f);
      acc = b - acc;
      if (++a.pos == static_cast<int>(a.buf.size())) a.pos = 0;
    }
    wet[side] = acc;
  }
  float w1 = 0.5f * (1.0f + r.width), w2 = 0.5f * (1.0f - r.width);
  outL = wet[0] * w1 + wet[1] * w2;
  outR = wet[1] * w1 + wet[0] * w2;
}

void InitLimiter(Limiter& l, float ceiling, int lookahead, float releaseSeconds) {
  l.ceiling = ceiling;
  l.lookahead = std::max(lookahead, 1);
  l.releaseCoef = ApproachCoef(releaseSeconds);
  l.released = 1.0f;
  l.n = 0;
  l.ring = l.lookahead + 8;
  l.inL.assign(l.ring, 0.0f);
  l.inR.assign(l.ring, 0.0f);
  l.needs.assign(l.ring, 1.0f);
  l.smooth.assign(l.lookahead + 1, 1.0f);
  l.smoothSum = l.lookahead + 1;
  l.dqIndex.assign(l.ring, 0);
  l.dqValue.assign(l.ring, 1.0f);
  l.dqHead = l.dqSize = 0;
}

void TickLimiter(Limiter& l, float inL, float inR, float& outL, float& outR) {
  const int ring = l.ring, look = l.lookahead;
  long long n = l.n++;
  l.inL[n % ring] = inL;
  l.inR[n % ring] = inR;
  outL = outR = 0.0f;

  // The peak of sample j = n - 2: its value and the cubic midpoints on either side.
  long long j = n - 2;
  if (j < 0) return;
  auto at = [&](const std::vector<float>& v, long long i) { return i < 0 ? 0.0f : v[i % ring]; };
  float peak = 0.0f;
  for (const std::vector<float>* ch : {&l.inL, &l.inR}) {
    float a = at(*ch, j - 2), b = at(*ch, j - 1), c = at(*ch, j), d = at(*ch, j + 1), e = at(*ch, j + 2);
    float before = (-a + 9.0f * b + 9.0f * c - d) * 0.0625f;
    float after = (-b + 9.0f * c + 9.0f * d - e) * 0.0625f;
    peak = std::max({peak, std::fabs(c), std::fabs(before), std::fabs(after)});
  }
  float need = peak > l.ceiling ? l.ceiling / peak : 1.0f;
  l.needs[j % ring] = need;

  // Sliding minimum of the needs over [j - look, j].
  while (l.dqSize > 0 && l.dqValue[(l.dqHead + l.dqSize - 1) % ring] >= need) --l.dqSize;
  l.dqIndex[(l.dqHead + l.dqSize) % ring] = j;
  l.dqValue[(l.dqHead + l.dqSize) % ring] = need;
  ++l.dqSize;
  long long m = j - look;
  while (l.dqIndex[l.dqHead] < m) {
    l.dqHead = (l.dqHead + 1) % ring;
    --l.dqSize;
  }
  if (m < 0) return;
  float windowMin = l.dqValue[l.dqHead];

  // Release towards unity, never above what the window needs.
  l.released = std::min(windowMin, l.released + (1.0f - l.released) * l.releaseCoef);
  int slot = static_cast<int>(m % (look + 1));
  l.smoothSum += l.released - l.smooth[slot];
  l.smooth[slot] = l.released;
  float gain = static_cast<float>(l.smoothSum / (look + 1));
  gain = std::min(gain, l.needs[m % ring]);
  outL = std::clamp(l.inL[m % ring] * gain, -l.ceiling, l.ceiling);
  outR = std::clamp(l.inR[m % ring] * gain, -l.ceiling, l.ceiling);
}

}  // namespace synth
