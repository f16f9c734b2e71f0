#include "modules/module_c_frame.h"

#include <cmath>

#include "assets/texture_names.h"
#include "modules/module_common.h"

namespace {
constexpr float kPi = 3.141592f;
constexpr float kTwoPi = 6.283184f;
constexpr float kStepScale = 0.0005882353f;  // 1 / 1700 ms

// x minus its integer part; for the clock-derived phases here the wrapped form,
// which is the same for x >= 0 and stays in [0, 1) below it.
float Frac(float x) { return WrapUnit(x); }
}  // namespace

void AdvanceModuleCClock(ModuleCClock* clock, int32_t frameDelta) {
  AdvanceModuleClock(&clock->clockMs, frameDelta);
  clock->clockS = clock->clockMs * 0.001f;
  clock->cycleMs = WrapCycle(static_cast<int32_t>(clock->clockMs), 24000);
}

float ModuleCZoom(int32_t cycleMs) {
  if (cycleMs < 5000) return 3.0f;
  if (cycleMs < 7000)
    return 3.0f * (1.0f - 0.6f * std::sqrt(static_cast<float>(cycleMs - 5000) * 0.0005f));
  if (cycleMs < 22000) return 1.2f;
  return 3.0f * (1.0f - 0.6f * std::sqrt(1.0f - static_cast<float>(cycleMs - 22000) * 0.0005f));
}

Vector4 ModuleCCameraPosition(float clockS, float zoom) {
  const float a = 1.25f * clockS;
  Vector4 p(15.0f * std::sin(0.3425f * a), 34.0f * std::cos(0.5f * a) + 9.0f,
            16.0f * std::cos(0.1625f * a) + 19.0f);
  p.scale(3.0f * zoom);
  return p;
}

Vector3 ModuleCLampPosition(Spline& lightPath, float clockS) {
  Vector4 p;
  Evaluate(lightPath, p, WrapUnit(0.1f * clockS + 0.8f));
  return Vector3(5.0f * (-0.9f * p.x), 11.5f * (-0.9f * p.y - 5.0f), 8.0f * (-0.9f * p.z));
}

void PlaceSmokeBillboard(int32_t i, float s, Envelope& envelope, SmokeBillboard* out) {
  const float fi = static_cast<float>(i);
  // Each group of eight is far apart in phase from the next.
  const float T = s + 5.0f * std::sin(0.01f * s) + 140.1f * static_cast<float>(i / 8) + 4.0492f * fi;

  // Five blob images, one a second, cross-faded.
  const float u = 5.0f * Frac(0.2f * T);
  const int32_t whole = static_cast<int32_t>(u);
  const float f = u - static_cast<float>(whole);
  const int32_t k = whole == 5 ? 0 : whole;
  const int32_t k2 = k + 1 == 5 ? 0 : k + 1;

  // Falls from 400 to -400 every 12.5 s of T around a cylinder of radius 180.
  const float h = 400.0f - 800.0f * Frac(0.08f * T);
  const float c = 10.0f * std::cos(0.0019125f * T + 0.081f * s);
  out->x = 180.0f * std::sin(c) + 8.0f * std::sin(s + 0.96f * fi);
  out->y = h + 8.0f * std::sin(1.2f * s + 0.96f * fi + 0.5f);
  out->z = 180.0f * std::cos(c) + 8.0f * std::cos(1.2f * s + 0.96f * fi);

  // Fades in below 400 and out above -400.
  envelope.start = 380.0f;
  envelope.length = 20.0f;
  float alpha = 0.3f * EaseOut(envelope, h, 1.0f, 1.0f);
  envelope.start = -400.0f;
  envelope.length = 20.0f;
  alpha *= EaseIn(envelope, h, 1.0f, 1.0f);

  const float w = std::cos(0.4f * fi + 0.343f);
  out->r = 0.994f * (0.9f + 0.88f * w);
  out->g = 0.925f * (0.9f + 0.58f * w);
  out->b = 0.6f * (0.9f + 0.48f * w);
  const float size = 24.0f * (7.0f + std::sin(0.4f * fi));

  out->texture0 = kTextureFirstNoiseBlob + k;
  out->half0 = size + 8.0f * f;
  out->alpha0 = alpha * (1.0f - f);
  out->texture1 = kTextureFirstNoiseBlob + k2;
  out->half1 = size + 4.0f * (1.0f - f);
  out->alpha1 = alpha * f;
}

LensGrowth ModuleCLensGrowth(float clockMs, Envelope& envelope) {
  LensGrowth g;
  const float s = clockMs * 0.001f;
  envelope.start = 6.0f;
  envelope.length = 2.0f;
  g.rise = EaseIn(envelope, s, 1.0f, 1.0f);

  if (s > 16.0f) {
    const int32_t q = static_cast<int32_t>(clockMs - 16000.0f) % 1700;
    const float ph = static_cast<float>(q) * kStepScale;
    envelope.start = 0.0f;
    envelope.length = 0.2f;
    const float stepRise = EaseIn(envelope, ph, 1.0f, 1.0f);
    envelope.start = 0.0f;
    envelope.length = 1.0f;
    const float e = EaseIn(envelope, ph, 1.0f, 1.0f);
    g.pulse = 0.5f - 0.5f * std::cos(2.0f * e * kPi);
    const int32_t n = static_cast<int32_t>((s - 16.0f) * kStepScale * 1000.0f);
    g.growth = static_cast<float>(n) + stepRise;
    // The last step eases in and nothing grows past 17.
    if (g.growth > 16.0f) g.growth = 1.0f - FalloffSmooth(g.growth - 16.0f) + 16.0f;
  }
  g.girth = 1.0f - 0.6f * g.pulse + 0.1f * g.growth;
  return g;
}

void DeformLensVertex(const NoiseTable& noise, const LensGrowth& lens, float s, const Vector4& v,
                      const Vector4& nb, Vector4* b) {
  const float ax = v.x * lens.girth * 0.01f;
  const float ay = v.y * (lens.growth + 1.0f) * 0.01f;
  const float az = v.z * lens.girth * 0.01f;
  const float nx = std::fabs(ax + 100.0f), ny = std::fabs(ay + 100.0f), nz = std::fabs(az + 100.0f);

  // Wobble along the undeformed normal.
  const float n1 = FractalNoise(noise, nx, nz, 1.4f * s + ny, 2);
  const float sA = std::sin(kTwoPi * n1 + 8.0f * ax + 2.5f * s);
  const float n2 = FractalNoise(noise, nx, nz + 0.33f, 1.3f * s + ny, 2);
  const float sB = std::sin(kTwoPi * n2 + 8.0f * az + s);
  Vector4 push = nb;
  push.scale((sA + sB) * 0.5f * lens.rise * -3.0f);
  b->add(push);

  // Twist about the vertical axis, rings of bulge, and a sway that grows with the lens.
  rotateY(*b, kTwoPi * std::sin(0.015f * lens.growth * ay - 0.1f * s));
  const float bulge = 1.0f + 0.025f * lens.growth * std::sin(2.0f * ay - 0.5f * s);
  b->x *= bulge;
  b->z *= bulge;
  const float phi = ay * (0.05f * lens.growth + 0.5f) + 1.5f * s;
  const float sway = 3.0f * lens.growth * lens.rise;
  b->x += sway * std::sin(phi);
  b->z += sway * std::cos(phi);
}

void LensTexCoord(const Vector4& w, const Vector4& n, float girth, float bend, float* u, float* v) {
  // Vertices at or behind the eye plane still divide by a positive depth.
  float z = -girth * w.z;
  if (z < 0.0001f) z = 0.0001f;
  float tu = girth * w.x * 0.5f / z + 0.5f + n.x * bend;
  float tv = 0.65f * w.y / z + 0.5f + n.y * bend * 1.5f;
  if (tu < 0.0f) tu = 0.0f;
  if (tu > 1.0f) tu = 1.0f;
  if (tv < 0.0f) tv = 0.0f;
  if (tv > 1.0f) tv = 1.0f;
  *u = tu;
  *v = tv;
}
