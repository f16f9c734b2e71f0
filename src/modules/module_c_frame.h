// Module C's per-frame arithmetic: clock, orbiting camera and its zoom, the
// lamp on its path, the smoke billboards, and the lens's growth, deformation
// and refraction coordinates. No GL and no module state, so tests and the
// benchmark call these directly.
#pragma once
#include <cstdint>

#include "toolkit/envelope.h"
#include "core/math.h"
#include "toolkit/noise.h"
#include "toolkit/spline.h"

// The module's own clock and the values derived from it each frame.
struct ModuleCClock {
  float clockMs = 0.0f;
  float clockS = 0.0f;
  int32_t cycleMs = 0;  // position in the 24000 ms camera cycle, 0 .. 23999
};

// Applies the clock rule and derives clockS and cycleMs. A clock driven below
// 0 by backward seeks still lands cycleMs in the cycle.
void AdvanceModuleCClock(ModuleCClock* clock, int32_t frameDelta);

// Camera distance factor over the cycle: 3 far out, a square-root swoop in to
// 1.2 over 5000 .. 6999, held, and the mirrored swoop out over 22000 .. 23999.
float ModuleCZoom(int32_t cycleMs);

// Camera position for the module time in seconds and the zoom (the camera
// aims at the origin).
Vector4 ModuleCCameraPosition(float clockS, float zoom);

// Lamp position from the resampled light path (its parameter wrapped, so a
// negative clock never reads before the first key).
Vector3 ModuleCLampPosition(Spline& lightPath, float clockS);

// Number of smoke billboards; each is drawn as two cross-fading blob images.
constexpr int32_t kModuleCSmokeCount = 75;

struct SmokeBillboard {
  float x, y, z;
  float r, g, b;
  int32_t texture0, texture1;  // 42 .. 46
  float half0, half1;          // half sizes of the two images
  float alpha0, alpha1;        // the first fades out as the second fades in
};

// Billboard i (0 .. 74) at module time s. `envelope` is scratch: its start
// and length are rewritten.
void PlaceSmokeBillboard(int32_t i, float s, Envelope& envelope, SmokeBillboard* out);

// The lens's growth values for the frame.
struct LensGrowth {
  float rise = 0.0f;    // wobble strength: 0 before 6 s, 1 after 8 s
  float growth = 0.0f;  // completed 1.7 s steps plus the current one's progress, 0 .. 17
  float pulse = 0.0f;   // 0 .. 1 swell inside each step
  float girth = 1.0f;   // horizontal scale: 1 - 0.6 pulse + 0.1 growth
};

LensGrowth ModuleCLensGrowth(float clockMs, Envelope& envelope);

// Deforms one lens vertex: `v` is the loaded vertex, `b` its base copy
// (rewritten in place), `nb` the undeformed smooth normal.
void DeformLensVertex(const NoiseTable& noise, const LensGrowth& lens, float s, const Vector4& v,
                      const Vector4& nb, Vector4* b);

// Refraction coordinates of one vertex from its eye-space position `w` and
// normal `n`, bent by `bend`; both clamped to [0, 1].
void LensTexCoord(const Vector4& w, const Vector4& n, float girth, float bend, float* u, float* v);
