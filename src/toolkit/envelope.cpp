#include "toolkit/envelope.h"

#include <cmath>

namespace {
// The show's curves are tuned against this value of pi, not the exact one.
constexpr double kPi = 3.141592;

double HalfCosine(double x, float frequency, float exponent) {
  return 0.5 - 0.5 * std::cos(std::pow(x, static_cast<double>(exponent)) * frequency * kPi);
}
}  // namespace

float RampIn(const Envelope& env, float t) {
  if (t <= env.start) return 0.0f;
  if (t > env.start + env.length) return 1.0f;
  return (t - env.start) / env.length;
}

// Comparisons are strict on purpose: at t == start the rise reports 0, and at
// t == cut the formula itself gives the end value.
float EaseIn(const Envelope& env, float t, float frequency, float exponent) {
  float cut = env.start + env.lengthScale * env.length;
  if (t <= env.start) return 0.0f;
  if (t > cut) return 1.0f;
  double x = (static_cast<double>(t) - env.start) / env.length;
  double v = HalfCosine(x, frequency, exponent);
  return v > 1.0 ? 1.0f : static_cast<float>(v);
}

float EaseOut(const Envelope& env, float t, float frequency, float exponent) {
  float cut = env.start + env.lengthScale * env.length;
  if (t <= env.start) return 1.0f;
  if (t > cut) return 0.0f;
  double x = 1.0 - (static_cast<double>(t) - env.start) / env.length;
  double v = HalfCosine(x, frequency, exponent);
  return v > 1.0 ? 1.0f : static_cast<float>(v);
}

float EaseInOut(const Envelope& env, float t, float frequency, float exponent) {
  // The rise, with x and the result rounded to 32-bit floats.
  float g;
  float cut = env.start + env.lengthScale * env.length;
  if (t <= env.start) {
    g = 0.0f;
  } else if (t > cut) {
    g = 1.0f;
  } else {
    float x = (t - env.start) / env.length;
    double v = HalfCosine(x, frequency, exponent);
    g = v > 1.0 ? 1.0f : static_cast<float>(v);
  }

  float outCut = env.outStart + env.lengthScale * env.outLength;
  if (t <= env.outStart) return g;
  if (t > outCut) return 0.0f;
  float x = 1.0f - (t - env.outStart) / env.outLength;
  double v = HalfCosine(x, frequency, exponent);
  return v > 1.0 ? g : static_cast<float>(g * v);
}
