#include "synth/meter.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

struct Biquad {
  double b0, b1, b2, a1, a2;
  double z1 = 0.0, z2 = 0.0;
  double Tick(double x) {
    double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// The two K-weighting stages (high shelf, then high-pass), derived for any rate
// from the analogue prototypes of the standard.
void KWeighting(int rate, Biquad& shelf, Biquad& highPass) {
  const double pi = 3.14159265358979323846;
  double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(pi * f0 / rate);
  double vh = std::pow(10.0, gainDb / 20.0), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
           2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(pi * f0 / rate);
  a0 = 1.0 + k / q + k * k;
  highPass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

}  // namespace

std::vector<double> StepPowers(const float* left, const float* right, size_t frames, int rate) {
  Biquad shelf[2], hp[2];
  KWeighting(rate, shelf[0], hp[0]);
  KWeighting(rate, shelf[1], hp[1]);
  size_t step = static_cast<size_t>(rate / 10);
  std::vector<double> powers;
  double sum = 0.0;
  size_t inStep = 0;
  for (size_t i = 0; i < frames; ++i) {
    double l = hp[0].Tick(shelf[0].Tick(left[i]));
    double r = hp[1].Tick(shelf[1].Tick(right[i]));
    sum += l * l + r * r;
    if (++inStep == step) {
      powers.push_back(sum / step);
      sum = 0.0;
      inStep = 0;
    }
  }
  return powers;
}

namespace {

double ToLufs(double power) { return power > 0.0 ? -0.691 + 10.0 * std::log10(power) : -200.0; }

}  // namespace

double IntegratedLoudness(const float* left, const float* right, size_t frames, int rate) {
  std::vector<double> steps = StepPowers(left, right, frames, rate);
  std::vector<double> blocks;  // 400 ms blocks overlapping by 75%
  for (size_t i = 0; i + 4 <= steps.size(); ++i)
    blocks.push_back(0.25 * (steps[i] + steps[i + 1] + steps[i + 2] + steps[i + 3]));
  auto gatedMean = [&](double gateLufs) {
    double sum = 0.0;
    size_t n = 0;
    for (double b : blocks)
      if (ToLufs(b) > gateLufs) {
        sum += b;
        ++n;
      }
    return n ? sum / n : 0.0;
  };
  double absolute = gatedMean(-70.0);
  if (absolute <= 0.0) return -200.0;
  return ToLufs(gatedMean(ToLufs(absolute) - 10.0));
}

std::vector<double> LoudnessOverTime(const float* left, const float* right, size_t frames, int rate,
                                     double windowSeconds) {
  std::vector<double> steps = StepPowers(left, right, frames, rate);
  size_t per = std::max<size_t>(1, static_cast<size_t>(windowSeconds * 10.0 + 0.5));
  std::vector<double> out;
  for (size_t i = 0; i < steps.size(); i += per) {
    size_t n = std::min(per, steps.size() - i);
    double sum = 0.0;
    for (size_t j = 0; j < n; ++j) sum += steps[i + j];
    out.push_back(ToLufs(sum / n));
  }
  return out;
}

double TruePeak(const float* left, const float* right, size_t frames) {
  // Windowed-sinc interpolator for the three in-between phases, 12 taps each.
  constexpr int kTaps = 12, kPhases = 4;
  const double pi = 3.14159265358979323846;
  float taps[kPhases][kTaps];
  for (int p = 1; p < kPhases; ++p)
    for (int k = 0; k < kTaps; ++k) {
      double x = (k - kTaps / 2 + 1) - static_cast<double>(p) / kPhases;  // distance in samples
      double sinc = std::sin(pi * x) / (pi * x);
      double w = 0.5 + 0.5 * std::cos(pi * x / (kTaps / 2 + 0.5));  // Hann window
      taps[p][k] = static_cast<float>(sinc * w);
    }
  double peak = 0.0;
  for (const float* ch : {left, right}) {
    float best = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
      best = std::max(best, std::fabs(ch[i]));
      if (i + kTaps / 2 >= frames || i + 1 < static_cast<size_t>(kTaps / 2)) continue;
      const float* x = ch + i + 1 - kTaps / 2;  // x[kTaps/2 - 1] is sample i
      for (int p = 1; p < kPhases; ++p) {
        float acc = 0.0f;
        for (int k = 0; k < kTaps; ++k) acc += taps[p][k] * x[k];
        best = std::max(best, std::fabs(acc));
      }
    }
    peak = std::max(peak, static_cast<double>(best));
  }
  return peak;
}

}  // namespace synth
