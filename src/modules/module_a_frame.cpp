#include "modules/module_a_frame.h"

#include <cmath>

#include "modules/module_common.h"
#include "toolkit/envelope.h"
#include "toolkit/noise.h"
#include "toolkit/random.h"
#include "toolkit/spline.h"

namespace {
// The formulas mix 32-bit values with double constants; like C, they are
// worked in double and rounded where a 32-bit value is stored.
double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }

float Seconds(float clockMs) { return static_cast<float>(0.001 * clockMs); }

float DrawUnit() { return static_cast<float>(NextRandom()) / 16384.0f - 1.0f; }
}  // namespace

void PlaceCentres(Vector4 centre[kCentreCount], float distance[kCentreCount]) {
  for (int32_t e = 0; e < kCentreCount; ++e) {
    const float a = 3.5f * static_cast<float>(e);
    Vector4 candidate;
    float nearest = 1e10f;
    for (int32_t attempt = 0; attempt < 10000; ++attempt) {
      const float r1 = DrawUnit();
      const float r2 = DrawUnit();
      const float r3 = DrawUnit();
      candidate.set(static_cast<float>(61.0 * r3 + 4.0 * Sin(a)),
                    static_cast<float>(61.0 * r2 + 4.0 * Cos(1.23 * a)),
                    static_cast<float>(60.0 * r1 + 4.0 * Cos(1.234 * Sin(1.5 * a))));
      // Every earlier centre counts, the one placed just before included:
      // leaving it out lets two neighbours sit closer than the 65 asked for.
      nearest = 1e10f;
      for (int32_t j = 0; j < e; ++j) {
        float d = centre[j].difference(candidate.x, candidate.y, candidate.z).lengthSquared();
        if (d < nearest) nearest = d;
      }
      if (nearest >= 4225.0f) break;
    }
    centre[e] = candidate;
    distance[e] = std::sqrt(nearest);
  }
}

float ZoomAt(int32_t cycleMs) {
  if (cycleMs < 2500) return 3.0f;
  if (cycleMs < 3500)
    return static_cast<float>(3.0 * (1.0 - 0.6 * std::sqrt((cycleMs - 2500) * 0.001)));
  if (cycleMs < 11000) return 1.2f;
  return static_cast<float>(3.0 * (1.0 - 0.6 * std::sqrt(1.0 - (cycleMs - 11000) * 0.001)));
}

void PlaceCamera(CameraPose* camera, float clockS, float zoom) {
  const double q = 1.32 * clockS;
  const double k = 3.0 * (zoom + 1.0);
  camera->position.set(static_cast<float>(9.0 * Sin(0.25 * q) * k),
                       static_cast<float>(6.3 * Cos(0.25 * q) * k),
                       static_cast<float>((8.0 * Cos(0.1625 * q) - 1.0) * k));
  AimCamera(*camera, Vector4(0.0f, 0.0f, 0.0f));
  OrthonormalizeCamera(*camera);
}

void MoveCentres(const Vector4 base[kCentreCount], float clockS, Vector4 out[kCentreCount]) {
  Envelope gather;
  gather.start = 103.0f;
  gather.length = 5.0f;
  const float g = EaseOut(gather, clockS, 1.0f, 1.0f);
  const float spread = static_cast<float>(10.0 * g + 0.75);
  for (int32_t e = 0; e < kCentreCount; ++e) {
    out[e] = base[e];
    out[e].scale(spread);
    rotateZ(out[e], static_cast<float>(0.2 * clockS));
  }
}

BallBreath Breathe(const NoiseTable& noise, float s) {
  BallBreath b;
  b.scaleY = static_cast<float>(0.78 + 0.65 * Noise3(noise, 0.5f, 0.5f, 0.5f * s));
  b.scaleX = static_cast<float>(1.04 - 0.5 * Noise3(noise, 0.5f, 0.5f, 0.4f * s));
  b.texOffsetU = Noise3(noise, 0.5f, 2.5f, static_cast<float>(0.033 * s));
  b.texOffsetV = Noise3(noise, 3.5f, 2.5f, static_cast<float>(0.044 * s));
  return b;
}

float SpriteSpread(float clockMs, float lengthMs) {
  Envelope grow;
  grow.start = 93000.0f;
  grow.length = lengthMs;
  const float s = Seconds(clockMs);
  return static_cast<float>(EaseIn(grow, clockMs, 1.0f, 1.0f) +
                            EaseOut(grow, clockMs, 1.0f, 1.0f) * Sin(0.8 * s) * 0.01);
}

Vector4 SwarmPoint(const NoiseTable& noise, float s, float A, float B, float phi) {
  const float x = static_cast<float>(40.0 * B * Sin(10.0 * Cos(0.081 * s + 0.102 * A)));
  const float y = static_cast<float>(40.0 * B * Sin(5.0 * Cos(0.05 * s + 0.035 * A)));
  const float z = static_cast<float>(40.0 * B * Cos(11.0 * Sin(0.04541 * s + 0.0204 * A)));
  const float n = FractalNoise(noise, static_cast<float>(0.01 * x), static_cast<float>(0.01 * y),
                               static_cast<float>(0.01 * z), 1);
  const float fifth = static_cast<float>(0.2 * n);
  const float R = static_cast<float>(10.0 * fifth + 8.0);
  return Vector4(static_cast<float>(x + R * Sin(phi + s)),
                 static_cast<float>(y + R * Sin(phi + 1.2 * s + 0.5)),
                 static_cast<float>(z + R * Cos(phi + 1.2 * s)));
}

Vector4 PullTowardCentres(const Vector4& p, const Vector4 centre[kCentreCount], Pull pull) {
  Vector4 out = p;
  for (int32_t e = 0; e < kCentreCount; ++e) {
    Vector4 v = p.difference(centre[e].x, centre[e].y, centre[e].z);
    const float J = static_cast<float>(std::pow(static_cast<double>(v.lengthSquared()), 1.02));
    float m = pull.strength;
    if (!(J < 1.0f))
      m = static_cast<float>(pull.strength *
                             std::pow(static_cast<double>(FalloffSoft((J - 1.0f) / 3600.0f)),
                                      static_cast<double>(pull.exponent)));
    v.scale(m);
    out.add(v);
  }
  return out;
}

bool InFront(const CameraPose& camera, const Vector4& p) {
  Vector4 toward = p.difference(camera.position.x, camera.position.y, camera.position.z);
  toward.normalize();  // a point at the camera itself gives NaN: not in front
  return camera.direction.dot(toward) > 0.0f;
}

SpriteLook RibbonLook(int32_t i) {
  const double theta = static_cast<float>(0.01875 * i);
  const double h = Cos(theta + 0.343);
  SpriteLook look;
  look.halfWidth = static_cast<float>(0.95 * (4.0 * Sin(theta) + 6.0));
  look.halfHeight = static_cast<float>(0.95 * (3.0 * Sin(theta) + 5.0));
  look.r = static_cast<float>(0.45 * (0.9 + 0.58 * h));
  look.g = static_cast<float>(0.55 * (0.9 + 0.88 * h));
  look.b = static_cast<float>(0.9 + 0.88 * h);
  look.a = 0.05f;
  return look;
}

SpriteLook CloudLook(int32_t i) {
  const double h = Cos(0.25 * i + 0.343);
  const double t = Sin(0.025 * i);
  SpriteLook look;
  look.halfWidth = static_cast<float>(3.5 * (4.0 * t + 6.0));
  look.halfHeight = static_cast<float>(3.5 * (3.0 * t + 5.0));
  look.r = static_cast<float>(0.56 * (0.9 + 0.58 * h));
  look.g = static_cast<float>(0.7 * (0.9 + 0.68 * h));
  look.b = static_cast<float>(0.36 * (0.9 + 0.88 * h));
  look.a = 0.0f;
  return look;
}

CloudBlend CloudBlendAt(float T) {
  // The fraction is taken with floor, not toward zero: a clock driven below 0
  // by seeks would otherwise give a negative image index.
  float u = 5.0f * WrapUnit(static_cast<float>(0.065 * T));
  if (u >= 5.0f) u = 0.0f;  // a fraction just below 1 that rounds up is image 0 again
  CloudBlend b;
  b.k = static_cast<int32_t>(u);
  if (b.k > 4) b.k = 0;
  b.k2 = b.k + 1 > 4 ? 0 : b.k + 1;
  b.f = u - static_cast<float>(b.k);
  return b;
}

float CloudAlphaScale(float clockS) {
  Envelope fade;
  fade.start = 4.0f;
  fade.length = 4.0f;
  return static_cast<float>(0.3 * EaseIn(fade, clockS, 1.0f, 1.0f) + 0.025);
}

void PlaceRibbon(ModuleAFrame* frame, const NoiseTable& noise, float clockMs) {
  const float s = frame->clockS;
  const float B = SpriteSpread(clockMs, kRibbonGrowMs);
  for (int32_t i = 0; i < kRibbonCount; ++i) {
    const float A = static_cast<float>(0.15 * (s + 0.1 * i));
    const float phi = static_cast<float>(0.045 * i);
    Vector4 p = PullTowardCentres(SwarmPoint(noise, s, A, B, phi), frame->centre, kRibbonPull);
    RibbonSprite& sprite = frame->ribbon[i];
    sprite.x = p.x;
    sprite.y = p.y;
    sprite.z = p.z;
    sprite.visible = InFront(frame->camera, p) ? 1 : 0;
  }
}

void PlaceClouds(ModuleAFrame* frame, const NoiseTable& noise, float clockMs) {
  const float s = frame->clockS;
  const float B = SpriteSpread(clockMs, kCloudGrowMs);
  frame->cloudAlpha = CloudAlphaScale(s);
  for (int32_t i = 0; i < kCloudCount; ++i) {
    const float T = static_cast<float>(s + 5.0 * Sin(0.01 * s) + 5.6716205 * i);
    const float A = static_cast<float>(0.15 * T);
    const float phi = static_cast<float>(0.06 * i);
    Vector4 p = PullTowardCentres(SwarmPoint(noise, s, A, B, phi), frame->centre, kCloudPull);
    CloudSprite& cloud = frame->cloud[i];
    cloud.x = p.x;
    cloud.y = p.y;
    cloud.z = p.z;
    cloud.visible = InFront(frame->camera, p) ? 1 : 0;
    cloud.blend = CloudBlendAt(T);
  }
}

void UpdateModuleAFrame(ModuleAFrame* frame, const NoiseTable& noise,
                        const Vector4 base[kCentreCount], float clockMs, int32_t mode) {
  frame->clockS = Seconds(clockMs);
  MoveCentres(base, frame->clockS, frame->centre);
  frame->ball = Breathe(noise, frame->clockS);
  frame->cycleMs = WrapCycle(static_cast<int32_t>(clockMs), kZoomCycleMs);
  frame->zoom = ZoomAt(frame->cycleMs);
  PlaceCamera(&frame->camera, frame->clockS, frame->zoom);
  if (mode == 0 || mode == 1) PlaceRibbon(frame, noise, clockMs);
  if (mode == 1) PlaceClouds(frame, noise, clockMs);
}
