// Module B's per-frame arithmetic: clock, lights, camera, the deformations of
// the backball and the ice cube, the sprite swarm and the values of the
// closing passes. No GL and no module state: everything persistent is passed
// in, so tests and the benchmark call these without a context.
#pragma once
#include <cstdint>

#include "core/math.h"

struct NoiseTable;
struct Spline;

// Clock: localMs runs only while the module is drawn; prevMode starts at 1 so
// the warm-up calls (mode 1, then 0) add no jump.
struct ModuleBClock {
  float localMs = 0.0f;
  int32_t prevMode = 1;
};

struct ModuleBTime {
  float dt;  // frame seconds, also for a delta the clock ignored
  float t;   // module seconds
};

// A change from mode 0 to mode 1 first jumps the clock by 5100 ms (the
// closing resumes 5.1 s after where the opening stopped), then the frame delta
// is added under the module clock rule.
ModuleBTime AdvanceModuleBClock(ModuleBClock& clock, int32_t frameDelta, int32_t mode);

// light1 and light2 on the resampled path at module seconds t.
void ModuleBLightPositions(Spline& pathEven, float t, Vector3* light1, Vector3* light2);

// Camera distance over the 24-second cycle: 3 far, 1.2 near, square-root
// ramps between (cycleMs 5000 .. 6999 in, 22000 .. 23999 out).
float ModuleBDistanceFactor(int32_t cycleMs);

struct ModuleBCamera {
  float phase = 0.0f;
  int32_t cycleMs = 0;
  float distanceFactor = 0.0f;
};

// Advances the phase and returns the camera position of `mode` (before the
// camera is aimed at the origin); cycleMs and distanceFactor are left as the
// frame used them.
Vector4 ModuleBCameraPosition(ModuleBCamera& camera, int32_t mode, float localMs, float dt);

// One backball vertex: `base` and `normal` are the snapshot's position and
// smooth normal; the noise is sampled by angle and height on a cylinder about
// the y axis. A vertex on that axis has no angle and samples angle 0.
Vector4 DeformBackballVertex(const NoiseTable& noise512, int32_t mode, float t,
                             const Vector4& base, const Vector4& normal);

// Ice cube phases, kept across frames and modes.
struct ModuleBCube {
  float phaseA = 0.0f;  // seconds
  float phaseB = 0.0f;  // ms
  float spin = 0.0f;
};

struct ModuleBCubeShape {
  float o;          // the cube's own seconds (clock minus the slow-down)
  float wobble;     // 0 .. 1
  float dropStart;  // seconds of o at which the bouncing begins
  float d;          // height gained by bouncing, 0 .. 8
  float squash;     // 0 .. 1
  float k;          // width scale: 1 - 0.6 squash + 0.1 d
};

// Advances the cube phases by one frame and returns its shape.
ModuleBCubeShape AdvanceModuleBCube(ModuleBCube& cube, float t, float localMs, float dt,
                                    int32_t frameDelta);

// One ice-cube vertex from its loaded position and smooth normal.
Vector4 DeformCubeVertex(const NoiseTable& noise512, const ModuleBCubeShape& shape, float spin,
                         const Vector4& loaded, const Vector4& normal);

// Texture coordinates that look through the cube at the copied picture
// behind it, from an eye-space vertex and normal; both clamped to 0 .. 1.
void RefractionCoordinates(float k, float strength, const Vector4& eyeVertex,
                           const Vector4& eyeNormal, float* u, float* v);

// One sprite of the mode-1 swarm: two billboards at one place, the second
// showing the next image of the cycle.
constexpr int32_t kModuleBSprites = 75;
struct ModuleBSprite {
  float x, y, z;
  float r, g, b;
  int32_t texture0, texture1;  // 42 .. 46
  float half0, half1;
  float alpha0, alpha1;
};
void ModuleBSwarm(float t, ModuleBSprite* sprites /* kModuleBSprites */);

// Closing-pass values.
struct ModuleBZoom {
  float weight;  // 0: no zoom blur this frame
  float alpha, zoom, centreY;
};
ModuleBZoom ModuleBZoomBlur(int32_t mode, float t);
float ModuleBGreetingsWeight(float t);  // f of the flash; 0: no flash
constexpr int32_t kModuleBBands = 20;
void ModuleBBandValues(float t, float* values /* kModuleBBands */);
float ModuleBEchoScale(float f);
float ModuleBGridWeight(float t);    // g: the grid blur's strength is 0.33 g
float ModuleBRippleWeight(float t);  // r of the relaxation

// One relaxation row j (1 .. rows - 2), in place, so each value already sees
// the new values of the row below and of its left neighbour.
void RelaxHeightFieldRow(float* field, int32_t rows, int32_t columns, int32_t j, float r);
// All inner rows in order; nothing when r is 0 or the field has no inner row.
void RelaxHeightField(float* field, int32_t rows, int32_t columns, float r);
