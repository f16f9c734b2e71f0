#include "modules/module_e_frame.h"

#include <cmath>

#include "assets/scene.h"
#include "modules/module_common.h"
#include "toolkit/envelope.h"
#include "toolkit/mesh_renderer.h"
#include "toolkit/noise.h"
#include "toolkit/spline.h"

namespace {
constexpr float kPi = 3.141592f;
constexpr float kTwoPi = 6.283184f;
constexpr int32_t kCameraCycleMs = 24000;
constexpr int32_t kPulseCycleMs = 1600;
constexpr int32_t kBandCycleMs = 4000;

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// The envelope's four fields at once, so no earlier use leaks into a curve.
void SetEnvelope(Envelope& e, float start, float length, float outStart, float outLength) {
  e.start = start;
  e.length = length;
  e.outStart = outStart;
  e.outLength = outLength;
}
}  // namespace

ModuleEClock AdvanceModuleEClock(float* clockMs, int32_t frameDelta) {
  AdvanceModuleClock(clockMs, frameDelta);
  ModuleEClock c;
  c.seconds = *clockMs / 1000.0f;
  c.deltaSeconds = static_cast<float>(frameDelta) / 1000.0f;
  c.cycleMs = ClockCycle(*clockMs, kCameraCycleMs);
  return c;
}

int32_t ClockCycle(float clockMs, int32_t period) {
  // fmin/fmax keep the conversion defined; no reachable clock comes near.
  const float t = std::trunc(std::fmax(std::fmin(clockMs, 2147483520.0f), -2147483648.0f));
  return WrapCycle(static_cast<int32_t>(t), period);
}

Vector3 LightPosition(Spline& path, float seconds) {
  Vector4 p;
  Evaluate(path, p, WrapUnit(0.1f * seconds + 0.8f));
  p.scale(0.9f);
  p.y -= 4.0f;
  return Vector3(p.x * 5.0f, p.y * 15.0f, p.z * 8.0f);
}

float CameraSpeed(Envelope& envelope, float seconds) {
  SetEnvelope(envelope, 14.5f, 0.3f, 14.8f, 0.3f);
  const float e = EaseInOut(envelope, seconds, 7.0f, 1.0f);
  return (1.0f - 5.0f * e) * 1.7f;
}

float DistanceFactor(int32_t cycleMs) {
  if (cycleMs < 5000) return 3.0f;
  float d;
  if (cycleMs < 7000) {
    d = static_cast<float>(cycleMs - 5000) * 0.0005f;
  } else if (cycleMs < 22000) {
    d = 1.0f;
  } else {
    d = 1.0f - static_cast<float>(cycleMs - 22000) * 0.0005f;
  }
  return (1.0f - 0.6f * std::sqrt(d)) * 3.0f;
}

Vector4 CameraOrbit(float angle) {
  return Vector4(75.0f * std::sin(0.3425f * angle), 34.0f * (std::cos(0.88f * angle) + 1.0f),
                 30.0f * std::cos(0.3425f * angle));
}

void MoveModuleECamera(CameraPose& pose, float* angle, float* factor, Envelope& envelope,
                       const ModuleEClock& clock) {
  *angle += CameraSpeed(envelope, clock.seconds) * clock.deltaSeconds;
  *factor = DistanceFactor(clock.cycleMs);
  pose.position = CameraOrbit(*angle);
  pose.position.scale(2.0f * *factor);
  AimCamera(pose, Vector4(0.0f, 0.0f, 0.0f));
}

void BoxOneAngles(float seconds, float* x, float* z) {
  *x = 2.56f * std::sin(kPi * std::sin(0.25f * seconds));
  *z = 1.42f * std::sin(0.13f * seconds);
}

void BoxTwoAngles(float seconds, float* x, float* z) {
  *x = 4.16f * std::sin(kPi * std::sin(0.2f * seconds) + 4.0f);
  *z = -1.988f * std::sin(0.13f * seconds + 4.0f);
}

float PulseScale(Envelope& envelope, float clockMs) {
  SetEnvelope(envelope, 0.0f, 200.0f, 200.0f, 150.0f);
  const int32_t t = ClockCycle(clockMs + 200.0f, kPulseCycleMs);
  return 3.0f * EaseInOut(envelope, static_cast<float>(t), 1.0f, 1.0f) + 1.0f;
}

void BandValues(Envelope& envelope, float clockMs, float values[10]) {
  // The fall keeps PulseScale's 200 + 150 ms, which ends long before this rise
  // starts at 2000: q stays 0.
  envelope.start = 2000.0f;
  envelope.length = 2000.0f;
  const float t = static_cast<float>(ClockCycle(clockMs, kBandCycleMs));
  const float q = EaseInOut(envelope, t, 1.0f, 1.0f);
  const float seconds = clockMs / 1000.0f;
  for (int32_t j = 0; j < 10; ++j) {
    const float fj = static_cast<float>(j);
    values[j] = (std::sin(2.3f * seconds + std::cos(0.222f * fj + 1.21f * seconds) +
                          0.34f * fj * (5.0f * q + 1.0f)) +
                 1.0f) *
                0.017f;
  }
}

Vector4 DeformCaveVertex(const NoiseTable& table, Envelope& envelope, const Vector4& base,
                         const Vector4& normal) {
  float e = FractalNoise(table, std::fabs(0.09f * base.x + 1000.0f),
                         std::fabs(0.012f * base.y + 1000.0f),
                         std::fabs(0.012f * base.z + 1000.0f), 4);
  e = Clamp(e, -1.0f, 1.0f);
  // Low bumps are flattened; hollows are shaped by a ramp of their own.
  if (e >= 0.0f && e < 0.25f) {
    envelope.start = 0.0f;
    envelope.length = 0.25f;
    e *= 0.8f * RampIn(envelope, e) + 0.2f;
  } else if (e < 0.0f) {
    envelope.start = -0.8f;
    envelope.length = 0.2f;
    e *= 0.3f * RampIn(envelope, e) - 0.1f;
  }
  const float g = -150.0f * e;
  Vector4 p(base.x + g * normal.x, base.y + 2.0f * g * normal.y, base.z + g * normal.z, base.w);
  p.scale(1.75f);
  return p;
}

void DeformCave(Scene& scene, int32_t cave, const NoiseTable& table, Envelope& envelope) {
  SceneObject* o = FindObject(scene, cave);
  if (!o) return;
  SnapshotVertices(scene, cave);
  ComputeSmoothNormals(scene, cave);
  for (int32_t i = 0; i < o->vertexCount; ++i)
    o->baseVertices[i] = DeformCaveVertex(table, envelope, o->baseVertices[i], o->baseNormals[i]);
  ComputeCreaseNormals(scene, cave, -0.707f);
}

SurfaceRipple RippleSurfaceVertex(const NoiseTable& table, const Vector4& eye,
                                  const Vector4& loaded, float seconds) {
  const float k = std::fmax(-eye.z, 0.0001f);
  const float u = 0.5f * eye.x / k + 0.5f;
  const float v = 0.65f * eye.y / k + 0.5f;

  const float l = 0.01f * loaded.x;
  const float n = 0.01f * loaded.z;
  const float m = std::fabs(6.1f * l + 100.0f);
  const float o = std::fabs(6.1f * n + 100.0f);
  const float p = FractalNoise(table, m, o, 1.4f * seconds, 2);
  const float r = FractalNoise(table, m, o + 0.33f, 1.3f * seconds, 2);
  const float pw = std::sin(kTwoPi * p + 7.5f * seconds + 8.0f * l);
  const float rw = std::sin(kTwoPi * r + 8.0f * n + 3.0f * seconds);

  SurfaceRipple s;
  s.u = Clamp(u + 0.015f * pw, 0.0f, 1.0f);
  s.v = Clamp(v + 0.015f * rw, 0.0f, 1.0f);
  s.offset = pw + rw;
  return s;
}

void RippleSurface(Scene& scene, int32_t surface, const NoiseTable& table, float seconds) {
  SceneObject* o = FindObject(scene, surface);
  if (!o || !o->worldVertices) return;
  SnapshotVertices(scene, surface);
  ComputeSmoothNormals(scene, surface);
  for (int32_t j = 0; j < o->vertexCount; ++j) {
    const SurfaceRipple s = RippleSurfaceVertex(table, o->worldVertices[j], o->vertices[j], seconds);
    o->texU[j] = s.u;
    o->texV[j] = s.v;
    Vector4 push = o->baseNormals[j];
    push.scale(s.offset);
    o->baseVertices[j].add(push);
  }
  ComputeSmoothNormals(scene, surface);
}
