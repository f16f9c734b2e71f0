#include "modules/module_b_frame.h"

#include <cmath>

#include "assets/texture_names.h"
#include "modules/module_common.h"
#include "toolkit/envelope.h"
#include "toolkit/noise.h"
#include "toolkit/spline.h"

namespace {
// The envelopes are re-parameterised before every evaluation (length scale 1),
// so a fresh one per evaluation gives the same values.
float In(float start, float length, float x, float frequency = 1.0f, float exponent = 1.0f) {
  Envelope e;
  e.start = start;
  e.length = length;
  return EaseIn(e, x, frequency, exponent);
}

float Out(float start, float length, float x, float frequency = 1.0f, float exponent = 1.0f) {
  Envelope e;
  e.start = start;
  e.length = length;
  return EaseOut(e, x, frequency, exponent);
}

float InOut(float start, float length, float outStart, float outLength, float x) {
  Envelope e;
  e.start = start;
  e.length = length;
  e.outStart = outStart;
  e.outLength = outLength;
  return EaseInOut(e, x, 1.0f, 1.0f);
}

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
}  // namespace

ModuleBTime AdvanceModuleBClock(ModuleBClock& clock, int32_t frameDelta, int32_t mode) {
  if (clock.prevMode == 0 && mode == 1) clock.localMs += 5100.0f;
  clock.prevMode = mode;
  AdvanceModuleClock(&clock.localMs, frameDelta);
  ModuleBTime time;
  time.dt = static_cast<float>(frameDelta) * 0.001f;
  time.t = clock.localMs * 0.001f;
  return time;
}

void ModuleBLightPositions(Spline& pathEven, float t, Vector3* light1, Vector3* light2) {
  Vector4 p;
  Evaluate(pathEven, p, WrapUnit(0.1f * t + 0.8f));
  p.scale(-0.9f);
  p.y -= 5.0f;
  p.z *= 8.0f;
  p.x *= 5.0f;
  p.y *= 11.5f;
  light1->set(p.x, p.y, p.z);

  Evaluate(pathEven, p, WrapUnit(0.1f * t));
  p.scale(-0.9f);
  p.y -= 4.0f;
  p.z = 100.0f;
  p.x *= 5.0f;
  p.y *= 7.5f;
  light2->set(p.x, p.y, p.z);
}

float ModuleBDistanceFactor(int32_t cycleMs) {
  if (cycleMs < 5000) return 3.0f;
  if (cycleMs < 7000)
    return 3.0f * (1.0f - 0.6f * std::sqrt(static_cast<float>(cycleMs - 5000) * 0.0005f));
  if (cycleMs < 22000) return 1.2f;
  return 3.0f * (1.0f - 0.6f * std::sqrt(1.0f - static_cast<float>(cycleMs - 22000) * 0.0005f));
}

Vector4 ModuleBCameraPosition(ModuleBCamera& camera, int32_t mode, float localMs, float dt) {
  const float t = localMs * 0.001f;
  Vector4 position;
  if (mode == 1) {
    float f = In(80.0f, 5.0f, t);
    float speed = 0.75f - 0.5f * In(106.0f, 5.0f, t);
    camera.phase += speed * dt;
    const float phase = camera.phase;
    float a = -3.6425f * phase;
    position.set(35.0f * std::sin(a),
                 (25.0f * std::sin(0.5333f - 4.1f * phase) + 21.0f) * std::cos(0.98f * phase) + 2.0f,
                 22.0f * f * std::cos(0.325f * phase) + 35.0f * (1.0f - f) * std::cos(a));
    camera.cycleMs = WrapCycle(static_cast<int32_t>(localMs), 24000);
  } else {
    float speed = 1.9f;
    if (localMs > 30000.0f) {
      float s = 0.5f * In(28000.0f, 3000.0f, localMs) + 1.0f;
      speed *= s * s;
    }
    camera.phase += speed * dt;
    float g = camera.phase + 13.7f;
    position.set(20.0f * std::sin(0.3425f * g) + 10.0f, 21.0f * std::cos(0.88f * g) + 9.0f,
                 4.0f * std::cos(0.1625f * g + 1.543f) + 9.0f);
    camera.cycleMs = WrapCycle(static_cast<int32_t>(2.0f * localMs + 12000.0f), 24000);
  }

  camera.distanceFactor = ModuleBDistanceFactor(camera.cycleMs);
  if (mode == 1) {
    position.scale(2.0f * camera.distanceFactor);
  } else {
    float e = In(12.0f, 3.0f, t);
    camera.distanceFactor = (1.0f - 0.9f * e) * camera.distanceFactor + 1.5f * e;
    position.scale(2.82f * camera.distanceFactor);
    position.x *= 1.0f + 1.15f * e;
    position.z *= 1.0f + 1.15f * e;
  }
  return position;
}

Vector4 DeformBackballVertex(const NoiseTable& noise512, int32_t mode, float t,
                             const Vector4& base, const Vector4& normal) {
  const float k = mode == 1 ? 0.01f : 0.02f;
  const float h0 = mode == 1 ? 0.1f * t : 0.0f;
  const float sx = k * base.x, sy = k * base.y, sz = k * base.z;
  const float r = std::sqrt(sx * sx + sz * sz) / 30.0f;
  // On the axis the angle is undefined (0 / 0); sample angle 0 there.
  const float ax = r > 0.0f ? sx / r : 0.0f;
  const float az = r > 0.0f ? sz / r : 0.0f;
  float c = Turbulence(noise512, std::fabs(ax + 1000.0f), std::fabs(sy + h0 + 1000.0f),
                       std::fabs(az + 1000.0f), 1);
  c = Clamp(c, -1.0f, 1.0f);

  Vector4 p = base;
  if (mode == 1) {
    float d = -250.0f * c;
    p.x += normal.x * d;
    p.y += normal.y * d;
    p.z += normal.z * d;
    p.scale(2.0f);
  } else {
    float d = -300.0f * c;
    p.x += normal.x * d;
    p.y += 0.25f * normal.y * d;
    p.z += normal.z * d;
    p.scale(4.0f);
    p.y *= 4.0f;
  }
  return p;
}

ModuleBCubeShape AdvanceModuleBCube(ModuleBCube& cube, float t, float localMs, float dt,
                                    int32_t frameDelta) {
  ModuleBCubeShape s;
  float e1 = In(86.0f, 0.5f, t);
  cube.phaseA -= 2.0f * e1 * dt;
  cube.phaseB -= 2.0f * e1 * static_cast<float>(frameDelta);
  s.o = cube.phaseA + t;
  const float v = cube.phaseB + localMs;

  const float redrop = 61.0f * In(81.0f, 1.0f, t);
  s.wobble = In(redrop + 11.0f, 2.0f, s.o);
  s.dropStart = redrop + 16.0f;

  float spinRate = InOut(30.0f, 2.0f, 65.0f, 3.0f, t);
  float pulse = InOut(0.0f, 100.0f, 100.0f, 400.0f,
                      static_cast<float>(WrapCycle(static_cast<int32_t>(localMs), 1600)));
  cube.spin -= (4.0f * pulse + 1.0f) * spinRate * dt;

  if (s.o > s.dropStart) {
    int32_t bounceMs = WrapCycle(static_cast<int32_t>(v - 1000.0f * s.dropStart), 1720);
    float w = static_cast<float>(bounceMs) / 1720.0f;
    float a = In(0.0f, 0.1f, w);
    float b = InOut(0.0f, 0.1f, 0.1f, 0.1f, w);
    float c = In(0.0f, 1.0f, w);
    float n = std::trunc((s.o - s.dropStart) * 1000.0f / 1720.0f) + a + b;
    s.squash = 0.5f - 0.5f * std::cos(2.0f * c * 3.141592f);
    s.d = n <= 7.0f ? n : 8.0f - FalloffSmooth(n - 7.0f);
  } else {
    s.d = 0.0f;
    s.squash = 0.0f;
  }
  s.k = 1.0f - 0.6f * s.squash + 0.1f * s.d;
  return s;
}

Vector4 DeformCubeVertex(const NoiseTable& noise512, const ModuleBCubeShape& s, float spin,
                         const Vector4& loaded, const Vector4& normal) {
  const float o = s.o, d = s.d;
  const float xs = 0.01f * s.k * loaded.x;
  const float zs = 0.01f * s.k * loaded.z;
  const float ys = 0.01f * (d + 1.0f) * loaded.y;
  const float nx = std::fabs(xs + 100.0f), nz = std::fabs(zs + 100.0f);
  const float ny = std::fabs(ys + 100.0f);
  float ao = FractalNoise(noise512, nx, nz, 1.4f * o + ny, 2);
  float ap = FractalNoise(noise512, nx, nz + 0.33f, 1.3f * o + ny, 2);
  float push = -3.0f * s.wobble *
               (std::sin(o + 6.283184f * ap + 8.0f * zs) + std::sin(2.5f * o + 6.283184f * ao + 8.0f * xs)) *
               0.5f;

  Vector4 p = loaded;
  p.x += normal.x * push;
  p.y += normal.y * push;
  p.z += normal.z * push;
  rotateY(p, 6.283184f * std::sin(0.05f * d * ys - 0.5f * o + 1.0f));
  float bulge = 1.0f + 0.09f * d * std::sin(3.5f * (ys + spin) - 0.5f * o);
  p.x *= bulge;
  p.z *= bulge;
  float g = 1.5f * o + (0.15f * d + 0.5f) * (ys + spin);
  p.x += 5.0f * d * s.wobble * std::sin(g);
  p.z += 5.0f * d * s.wobble * std::cos(g);
  return p;
}

void RefractionCoordinates(float k, float strength, const Vector4& eyeVertex,
                           const Vector4& eyeNormal, float* u, float* v) {
  float depth = -k * eyeVertex.z;
  if (!(depth >= 0.0001f)) depth = 0.0001f;  // behind the eye (or NaN): the picture's edge
  *u = Clamp(0.5f * k * eyeVertex.x / depth + 0.5f + strength * eyeNormal.x, 0.0f, 1.0f);
  *v = Clamp(0.65f * eyeVertex.y / depth + 0.5f + 1.5f * strength * eyeNormal.y, 0.0f, 1.0f);
}

void ModuleBSwarm(float t, ModuleBSprite* sprites) {
  const float u = In(101.0f, 5.0f, t);
  const float shrink = 1.0f - 0.92f * u;
  const float sizeBase = (1.0f - 0.875f * u) * 8.0f;
  const float m = Out(29.0f, 2.0f, t) * In(0.0f, 2.0f, t);
  const float b0 = Out(116.0f, 5.0f, t) * 0.15f * In(31.0f, 1.0f, t) + 0.15f * m;
  const float wander = t + 5.0f * std::sin(0.01f * t);

  for (int32_t j = 0; j < kModuleBSprites; ++j) {
    ModuleBSprite& sp = sprites[j];
    const float jf = static_cast<float>(j);
    float s = wander + 140.1f * static_cast<float>(j / 8) + 4.0492f * jf;

    // Image cycle; wrapped with floor so a clock run backwards below 0 still
    // picks one of the five images.
    float f5 = WrapUnit(0.2f * s) * 5.0f;
    int32_t h = static_cast<int32_t>(f5);
    if (h >= 5) h = 0;
    int32_t hNext = h + 1 == 5 ? 0 : h + 1;
    float w = 1.0f - (f5 - static_cast<float>(h));

    float a = 10.0f * std::cos(0.081f * t + 0.0019125f * s);
    float fall = 0.08f * s;
    Vector4 P(60.0f * std::sin(a), 150.0f - 300.0f * (fall - std::trunc(fall)), 60.0f * std::cos(a));
    P.scale(shrink);
    float brightness = b0 * Out(130.0f, 20.0f, P.y) * In(-150.0f, 20.0f, P.y) * (1.0f + u);

    float q = 0.96f * jf;
    sp.x = P.x + 8.0f * std::sin(t + q);
    sp.y = P.y + 8.0f * std::sin(1.2f * t + q + 0.5f);
    sp.z = P.z + 8.0f * std::cos(1.2f * t + q);

    float H = std::cos(0.4f * jf + 0.343f);
    sp.r = (0.88f * H + 0.9f) * 0.994f;
    sp.g = (0.58f * H + 0.9f) * 0.925f;
    sp.b = 0.288f * H + 0.9f;

    float size0 = (std::sin(0.4f * jf) + 7.0f) * sizeBase;
    sp.texture0 = kTextureFirstNoiseBlob + h;
    sp.texture1 = kTextureFirstNoiseBlob + hNext;
    sp.half0 = size0 + 2.0f * m;
    sp.half1 = size0 + w;
    sp.alpha0 = w * brightness;
    sp.alpha1 = m * brightness;
  }
}

ModuleBZoom ModuleBZoomBlur(int32_t mode, float t) {
  ModuleBZoom z;
  const float s = t - 2.0f;
  if (mode == 1) {
    z.weight = In(57.0f, 12.0f, t, 5.0f, 3.0f) * Out(77.0f, 8.0f, t, 3.0f, 3.0f);
    z.centreY = (std::sin(6.0f * s) + 1.0f) * 0.15f * (1.0f - z.weight);
  } else {
    z.weight = In(2.0f, 12.0f, t, 5.0f, 3.0f) * Out(22.0f, 8.0f, t, 3.0f, 3.0f);
    z.centreY = (std::sin(6.0f * s) + 1.0f) * 0.15f;
  }
  z.alpha = (std::sin(s) + 1.0f) * 0.45f * z.weight;
  z.zoom = (std::sin(3.0f * s) + 1.0f) * 0.15f;
  return z;
}

float ModuleBGreetingsWeight(float t) { return InOut(55.0f, 3.0f, 73.0f, 3.0f, t); }

void ModuleBBandValues(float t, float* values) {
  for (int32_t j = 0; j < kModuleBBands; ++j) {
    float x = t - 6.0f - (1.0f - static_cast<float>(j) / 20.0f) * 5.5f;
    values[j] = 1.0f - InOut(55.0f, 3.0f, 63.0f, 3.0f, x);
  }
}

float ModuleBEchoScale(float f) { return std::pow((1.0f - f) * 2.0f, 12.0f) + 1.1f; }

float ModuleBGridWeight(float t) { return InOut(1.0f, 2.0f, 7.5f, 2.0f, t); }

float ModuleBRippleWeight(float t) { return In(5.0f, 1.0f, t); }

void RelaxHeightFieldRow(float* F, int32_t rows, int32_t columns, int32_t j, float r) {
  if (j < 1 || j > rows - 2) return;
  float* row = F + j * columns;
  const float* below = row - columns;
  const float* above = row + columns;
  for (int32_t k = 1; k <= columns - 2; ++k)
    row[k] = r * (below[k] + above[k] + row[k + 1] + row[k - 1]) * 0.25f + (1.0f - r) * row[k];
}

void RelaxHeightField(float* F, int32_t rows, int32_t columns, float r) {
  if (r == 0.0f || !(rows - 1 > 1)) return;
  for (int32_t j = 1; j <= rows - 2; ++j) RelaxHeightFieldRow(F, rows, columns, j, r);
}
