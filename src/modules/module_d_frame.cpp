#include "modules/module_d_frame.h"

#include <algorithm>
#include <cmath>

#include "assets/scene.h"
#include "modules/module_common.h"
#include "toolkit/envelope.h"
#include "toolkit/noise.h"
#include "toolkit/spline.h"

namespace {
float EaseWindow(float t, float start, float length, float outStart, float outLength,
                 float frequency) {
  Envelope env;
  env.start = start;
  env.length = length;
  env.outStart = outStart;
  env.outLength = outLength;
  return EaseInOut(env, t, frequency, 1.0f);
}

float Clamp01(float v) { return std::min(std::max(v, 0.0f), 1.0f); }

// Integer part of the clock, then into [0, period) (also below 0).
int32_t ClockCycle(float clockMs, int32_t period) {
  return WrapCycle(static_cast<int32_t>(clockMs), period);
}

Vector3 LampFromPath(Spline& path, float u, float scaleY, float liftY) {
  Vector4 p;
  Evaluate(path, p, WrapUnit(u));
  return Vector3(5.0f * (-0.9f * p.x), scaleY * (-0.9f * p.y - liftY), 8.0f * (-0.9f * p.z));
}
}  // namespace

float ModuleDZoom(int32_t cycleMs) {
  if (cycleMs < 5000) return 3.0f;
  if (cycleMs < 7000) return 3.0f * (1.0f - 0.6f * std::sqrt((cycleMs - 5000) * 0.0005f));
  if (cycleMs < 22000) return 1.2f;
  return 3.0f * (1.0f - 0.6f * std::sqrt(1.0f - (cycleMs - 22000) * 0.0005f));
}

float ModuleDFlash1(float clockMs) { return EaseWindow(clockMs, 11000, 3000, 14000, 3000, 7); }
float ModuleDFlash2(float clockMs) { return EaseWindow(clockMs, 21000, 3000, 24000, 3000, 7); }

ModuleDShots ModuleDShotWeights(float clockMs, float flash1, float flash2) {
  ModuleDShots w;
  const float beat = static_cast<float>(ClockCycle(clockMs, 9600));
  w.flash = std::min(0.4f * (flash1 + flash2), 1.0f);
  w.keep = 1.0f - w.flash;
  w.c1 = EaseWindow(beat, 0, 800, 2400, 800, 1);
  w.c2 = EaseWindow(beat, 2400, 800, 4800, 800, 1);
  w.c3 = EaseWindow(beat, 4800, 800, 7600, 400, 1);
  w.k1 = w.c1 * w.keep;
  w.k2 = w.c2 * w.keep;
  w.wide = (2.0f - w.k1 - w.k2) * w.keep;
  return w;
}

float ModuleDGlow(float clockMs, int32_t offsetMs) {
  const float phase = static_cast<float>(ClockCycle(clockMs + static_cast<float>(offsetMs), 1600));
  return std::sin(0.00392699f * phase) + 1.3f;
}

Vector3 ModuleDLampPosition(Spline& lightPath, float clockS) {
  return LampFromPath(lightPath, 0.1f * clockS + 0.8f, 11.5f, 5.0f);
}

Vector3 ModuleDLamp2Position(Spline& lightPath, float clockS) {
  return LampFromPath(lightPath, 0.1f * clockS, 10.5f, 4.0f);
}

void ModuleDAnimate(float clockMs, Spline& lightPath, ModuleDFrame* f) {
  f->clockMs = clockMs;
  f->clockS = clockMs * 0.001f;
  f->cycleMs = ClockCycle(clockMs, 24000);
  f->zoom = ModuleDZoom(f->cycleMs);
  f->flash1 = ModuleDFlash1(clockMs);
  f->flash2 = ModuleDFlash2(clockMs);
  f->roll = -0.75f * (f->flash1 + f->flash2);
  f->waterLevel = 42.0f - 1.5f * f->clockS;
  f->lampPosition = ModuleDLampPosition(lightPath, f->clockS);
  f->lamp2Position = ModuleDLamp2Position(lightPath, f->clockS);
  f->shots = ModuleDShotWeights(clockMs, f->flash1, f->flash2);
  f->glowA = ModuleDGlow(clockMs, 400);
  f->glowB = ModuleDGlow(clockMs, 1200);

  // The cages tumble; the roll of a flicker jolts them.
  const float u = f->clockS + 0.2f * f->roll;
  f->boxRotation.set(2.56f * std::sin(3.141592f * std::sin(0.25f * u)), 0.0f,
                     1.42f * std::sin(0.13f * u));
  f->box2Rotation.set(4.16f * std::sin(3.141592f * std::sin(0.2f * u) + 4.0f), 0.0f,
                      -1.988f * std::sin(0.13f * u + 4.0f));
}

void ModuleDAimCamera(const ModuleDFrame& f, int32_t mode, CameraPose* camera, Vector4* target) {
  const float a = 1.25f * f.clockS;
  const float scale = 2.0f * f.zoom;
  // The orbit of mode 1 is also the far shot of mode 0.
  const Vector4 far(25.0f * std::sin(0.3425f * a),
                    10.0f * std::sin(0.32f * a) + 34.0f * std::cos(0.5f * a) + 30.0f,
                    6.0f * std::cos(0.1625f * a) + 9.0f);
  if (mode == 0) {
    const ModuleDShots& w = f.shots;
    const Vector4 near(-2.3f * std::sin(0.03425f * a),
                       3.4f * std::cos(0.05f * a) + std::sin(0.032f * a) + 3.0f,
                       0.6f * std::cos(0.01625f * a) + 9.0f);
    const Vector4 high(25.0f * std::sin(0.3425f * a), 29.0f * std::cos(0.5f * a) + 24.0f,
                       6.0f * std::cos(0.1625f * a) + 9.0f);
    const float n = (3.0f - w.wide - w.k1 - w.k2) * (1.0f - w.c3);
    camera->position.set((near.x * n + high.x * w.c3) * scale, (near.y * n + high.y * w.c3) * scale,
                         (near.z * n + high.z * w.c3) * scale);
    target->set(w.flash * far.x + w.wide * 40.0f - w.k1 * f.lampPosition.x,
                w.flash * far.y + w.wide * 2.0f - w.k1 * f.lampPosition.y,
                w.flash * far.z - w.k1 * f.lampPosition.z);
  } else {
    camera->position.set(far.x * scale, far.y * scale, far.z * scale);
    target->set(0.0f,
                10.0f * std::sin(0.32f * a - 0.944f) + 34.0f * std::cos(0.5f * a - 0.944f) + 30.0f,
                0.0f);
  }
  AimCamera(*camera, *target);
  rotateZ(camera->up, 0.4f * f.roll);
}

float ModuleDFlatten(float n) {
  Envelope env;
  if (n < 0.0f) {
    env.start = -0.8f;
    env.length = 0.2f;
    return n * (0.3f * RampIn(env, n) - 0.1f);
  }
  if (n < 0.5f) {
    env.start = 0.3f;
    env.length = 0.2f;
    return n * (0.8f * RampIn(env, n) + 0.2f);
  }
  return n;
}

Vector4 ModuleDCaveVertex(const NoiseTable& noise, const Vector4& b, const Vector4& n, float roll) {
  float N = FractalNoise(noise, std::fabs(0.2565f * b.x + 0.15f * roll + 1000.0f),
                         std::fabs(0.012f * b.y + 1000.0f), std::fabs(0.0171f * b.z + 1000.0f), 4);
  N = ModuleDFlatten(std::min(std::max(N, -1.0f), 1.0f));
  Vector4 out(b.x - 180.0f * N * n.x, b.y - 180.0f * N * n.y * 1.46f, b.z - 180.0f * N * n.z, b.w);
  out.x *= 2.0f * 3.5f;
  out.y *= 2.0f;
  out.z *= 2.0f * 3.5f;
  return out;
}

bool ModuleDEyeUnderWater(const Vector4& cameraPosition, float waterLevel) {
  return -cameraPosition.y > waterLevel;
}

void ModuleDScreenCoords(const Vector4& eye, float* u, float* v) {
  float z = -eye.z;
  if (z < 0.0001f) z = 0.0001f;
  *u = 0.5f * eye.x / z + 0.5f;
  *v = 0.65f * eye.y / z + 0.5f;
}

namespace {
float StillWave(const NoiseTable& noise, const Vector4& v) {
  const float ax = 0.0075f * v.x, az = 0.0075f * v.z;
  const float n2 = FractalNoise(noise, std::fabs(2.0f * ax + 100.0f),
                                std::fabs(2.0f * az + 100.0f) + 0.33f, 0.0f, 4);
  return std::sin(6.283184f * n2);
}
}  // namespace

void ModuleDStillWave(const SceneObject& o, const NoiseTable& noise, float* out) {
  for (int32_t j = 0; j < o.vertexCount; ++j) out[j] = StillWave(noise, o.vertices[j]);
}

void ModuleDRippleWater(SceneObject& o, const NoiseTable& noise, float s,
                        const float* stillWave) {
  if (!o.worldVertices || !o.baseVertices || !o.baseNormals || !o.texU || !o.texV) return;
  for (int32_t j = 0; j < o.vertexCount; ++j) {
    const Vector4& v = o.vertices[j];
    const Vector4& nb = o.baseNormals[j];
    const float ax = 0.0075f * v.x, az = 0.0075f * v.z;
    float u, t;
    ModuleDScreenCoords(o.worldVertices[j], &u, &t);
    const float n1 = FractalNoise(noise, std::fabs(s + 2.0f * ax + 100.0f),
                                  std::fabs(2.0f * az + 100.0f), 0.0f, 4);
    const float wA = std::sin(6.283184f * n1 + 4.0f * ax);
    const float wB = stillWave ? stillWave[j] : StillWave(noise, v);
    o.texU[j] = Clamp01(u + 0.025f * wA);
    o.texV[j] = Clamp01(t + 0.025f * wB);
    const float push = wA + wB;
    o.baseVertices[j].x += nb.x * push;
    o.baseVertices[j].y += nb.y * push;
    o.baseVertices[j].z += nb.z * push;
  }
}

void ModuleDRippleBubble(SceneObject& o, const NoiseTable& noise, float s) {
  if (!o.worldVertices || !o.baseVertices || !o.baseNormals || !o.texU || !o.texV) return;
  for (int32_t j = 0; j < o.vertexCount; ++j) {
    const Vector4& v = o.vertices[j];
    const Vector4& nb = o.baseNormals[j];
    const float ax = 0.01f * v.x, ay = 0.01f * v.y, az = 0.01f * v.z;
    float u, t;
    ModuleDScreenCoords(o.worldVertices[j], &u, &t);
    const float px = std::fabs(6.1f * ax + 100.0f);
    const float py = std::fabs(6.1f * ay + 100.0f);
    const float pz = std::fabs(6.1f * az + 100.0f);
    const float n1 = FractalNoise(noise, px, pz, 1.4f * s + py, 4);
    const float wA = std::sin(6.283184f * n1 + 8.0f * ax + 3.0f * s);
    const float n2 = FractalNoise(noise, px, pz + 0.33f, 1.3f * s + py, 4);
    const float wB = std::sin(6.283184f * n2 + 8.0f * az + 1.5f * s);
    o.texU[j] = Clamp01(u + 0.0175f * wA);
    o.texV[j] = Clamp01(t + 0.0175f * wB);
    const float push = 0.1f * (wA + wB);
    o.baseVertices[j].x += nb.x * push;
    o.baseVertices[j].y += nb.y * push;
    o.baseVertices[j].z += nb.z * push;
  }
}

void ModuleDBandOffsets(float directionY, float s, float out[kModuleDBands]) {
  const float c = 1.0f - directionY;
  for (int32_t i = 0; i < kModuleDBands; ++i) {
    const float fi = static_cast<float>(i);
    out[i] = 0.015f * (1.0f + std::sin(4.0f * c + std::cos(0.5678f * fi + 0.25f * s + c) +
                                       0.544f * fi - 0.95f));
  }
}

void ModuleDLogoWeights(float s, float* e1, float* e2) {
  *e1 = EaseWindow(s, 3, 2, 5, 2, 1);
  *e2 = EaseWindow(s, 5, 2, 8.9f, 3, 1);
}

void ModuleDEchoesFirst(float s, float e1, ModuleDEcho out[kModuleDEchoesFirst]) {
  const float g = 0.5f * (1.0f + std::sin(s - 3.0f));
  const float spread = (1.0f - e1) * g;
  for (int32_t i = 0; i < 4; ++i) {
    for (int32_t j = 0; j < 4; ++j) {
      const float fi = static_cast<float>(i), fj = static_cast<float>(j);
      const float V = std::sin(fi + fj + s - 3.0f) * spread;
      ModuleDEcho& e = out[i * 4 + j];
      e.x = 40.0f * V + 50.0f;
      e.y = 40.0f * std::cos(3.221f * fj + s + 1.234f * fi - 3.0f) * spread - 90.0f;
      e.scale = V + 2.1f;
      e.alpha = 0.2f * e1;
    }
  }
}

void ModuleDEchoesSecond(float s, float e2, ModuleDEcho out[kModuleDEchoesSecond]) {
  const float g = 0.5f * (1.0f + std::sin(s - 3.0f));
  const float spread = (1.0f - e2) * g;
  for (int32_t i = 0; i < 5; ++i) {
    for (int32_t j = 0; j < 5; ++j) {
      const float fi = 0.8f * static_cast<float>(i), fj = 0.8f * static_cast<float>(j);
      ModuleDEcho& e = out[i * 5 + j];
      e.x = 80.0f * std::sin(fi + fj + s - 3.0f) * spread + 50.0f;
      e.y = 40.0f * std::cos(3.221f * fj + s + 1.234f * fi - 3.0f) * spread - 90.0f;
      e.scale = 1.35f;
      e.alpha = 0.2f * e2;
    }
  }
}
