// Module E's per-frame arithmetic, apart from GL and from the module's state:
// its clock, camera, light, pulse and band values, and the two per-vertex
// deformations (the cave's noise relief, the surface's ripple). Tests and the
// benchmark call these without a context.
#pragma once
#include <cstdint>

#include "core/camera_pose.h"
#include "core/math.h"

struct Envelope;
struct NoiseTable;
struct Scene;
struct Spline;

// The clock values of one frame, taken after the delta was applied.
struct ModuleEClock {
  float seconds;       // T: module clock / 1000
  float deltaSeconds;  // frame delta / 1000, also when the clock did not move
  int32_t cycleMs;     // trunc(module clock) in the 24-second camera cycle, [0, 24000)
};

// The module's clock rule (deltas of 10000 ms or more leave the clock) and the
// values every later step reads.
ModuleEClock AdvanceModuleEClock(float* clockMs, int32_t frameDelta);

// trunc(clockMs) mod period in [0, period), also for clocks driven below 0 by
// seeks; clocks beyond the int range (weeks of playing) are clamped first.
int32_t ClockCycle(float clockMs, int32_t period);

// Where the light is at module time T on the resampled path: the path point at
// 0.1 T + 0.8 (wrapped into [0, 1)), shrunk, lowered and stretched over the cave.
// Evaluate keeps its segment in the spline, hence non-const.
Vector3 LightPosition(Spline& path, float seconds);

// Angular speed of the camera at T: 1.7, with a brief swing back around
// 14.5 to 15.1 s. Re-parameterises `envelope`.
float CameraSpeed(Envelope& envelope, float seconds);

// Distance factor at cycle time c: 3 for c < 5000, then flying in to 1.2
// (7000 to 21999) and back out to 3 (22000 to 23999).
float DistanceFactor(int32_t cycleMs);

// The orbit point for camera angle a, before the distance factor.
Vector4 CameraOrbit(float angle);

// The camera's per-frame step: angle += speed x delta, position on the orbit
// times 2 x the distance factor, aimed at the origin. Writes *angle, *factor
// and pose position and direction (up as AimCamera sets it).
void MoveModuleECamera(CameraPose& pose, float* angle, float* factor, Envelope& envelope,
                       const ModuleEClock& clock);

// Rotation (x, z) of the two boxes that carry the balls with the light.
void BoxOneAngles(float seconds, float* x, float* z);
void BoxTwoAngles(float seconds, float* x, float* z);

// The pulse scale C (1 to 4) of the balls and the lit cave pass, on a
// 1600 ms cycle. Re-parameterises `envelope` (out-start 200, out-length 150
// stay for BandValues).
float PulseScale(Envelope& envelope, float clockMs);

// The ten band-blur values. Sets the envelope's rise only, so it keeps the fall
// PulseScale set: the blend q is 0 at every clock, and the bands only wave.
void BandValues(Envelope& envelope, float clockMs, float values[10]);

// One cave vertex: its base position pushed along its base normal by the
// shaped noise relief, then scaled by 1.75. Re-parameterises `envelope`.
Vector4 DeformCaveVertex(const NoiseTable& table, Envelope& envelope, const Vector4& base,
                         const Vector4& normal);

// The whole cave relief: snapshot, smooth normals, every vertex deformed, then
// crease normals at cosine -0.707. It reads nothing that changes with time, so
// the result is the same at every clock.
void DeformCave(Scene& scene, int32_t cave, const NoiseTable& table, Envelope& envelope);

// The refracting surface at one vertex: screen-projected texture coordinates
// from its eye-space position, rippled by noise, and the ripple's offset along
// its normal.
struct SurfaceRipple {
  float u, v;    // clamped to 0..1
  float offset;  // P' + R', times the base normal
};
SurfaceRipple RippleSurfaceVertex(const NoiseTable& table, const Vector4& eye,
                                  const Vector4& loaded, float seconds);

// RippleSurfaceVertex over the surface: from its world (eye-space) vertices of
// the last TransformObject and its loaded ones into texU, texV and the base
// vertices, after a fresh snapshot and smooth normals; then smooth normals of
// the rippled shape.
void RippleSurface(Scene& scene, int32_t surface, const NoiseTable& table, float seconds);
