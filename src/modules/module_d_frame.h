// Module D's per-frame arithmetic, apart from GL and from the module's state:
// clock-derived values, flicker envelopes, camera shots, lamp placement and
// pulse, the cave's heave of one vertex, the water's ripple, the band values
// of the blur and the logo echoes. The render step calls these with its own
// objects; tests and the benchmark call them directly.
#pragma once
#include <cstdint>

#include "core/camera_pose.h"
#include "core/math.h"

struct NoiseTable;
struct SceneObject;
struct Spline;

constexpr int32_t kModuleDBands = 10;
constexpr int32_t kModuleDEchoesFirst = 16;   // 4 x 4 echoes of each early logo
constexpr int32_t kModuleDEchoesSecond = 25;  // 5 x 5 of each later one

// Weights of the three mode-0 shots, fading out while the lamps flicker.
struct ModuleDShots {
  float flash = 0.0f;  // min(0.4 (flash1 + flash2), 1)
  float keep = 1.0f;   // 1 - flash
  float c1 = 0.0f, c2 = 0.0f, c3 = 0.0f;
  float k1 = 0.0f, k2 = 0.0f, wide = 0.0f;
};

// Everything the drawing passes read that follows from the clock.
struct ModuleDFrame {
  float clockMs = 0.0f;
  float clockS = 0.0f;
  int32_t cycleMs = 0;  // in [0, 24000) also for a clock below 0
  float zoom = 3.0f;
  float flash1 = 0.0f, flash2 = 0.0f;
  float roll = 0.0f;
  float waterLevel = 0.0f;
  float glowA = 0.0f, glowB = 0.0f;
  ModuleDShots shots;
  Vector3 lampPosition, lamp2Position;
  Vector3 boxRotation, box2Rotation;  // x and z used
};

// The camera distance factor over the 24 s cycle (far, swoop in, near, back).
float ModuleDZoom(int32_t cycleMs);

// The two flicker envelopes (11-17 s and 21-27 s of module time).
float ModuleDFlash1(float clockMs);
float ModuleDFlash2(float clockMs);

ModuleDShots ModuleDShotWeights(float clockMs, float flash1, float flash2);

// Lamp brightness: a sine over 1600 ms; offsetMs 400 for the first lamp,
// 1200 for the second (half a period later).
float ModuleDGlow(float clockMs, int32_t offsetMs);

// The path point of each lamp, wrapped so a clock below 0 stays on the path.
Vector3 ModuleDLampPosition(Spline& lightPath, float clockS);
Vector3 ModuleDLamp2Position(Spline& lightPath, float clockS);

// All values above for one clock reading.
void ModuleDAnimate(float clockMs, Spline& lightPath, ModuleDFrame* frame);

// Camera position and target for `mode` (0: the shots; any other: the orbit),
// then aimed and rolled by 0.4 roll. Not orthonormalised.
void ModuleDAimCamera(const ModuleDFrame& frame, int32_t mode, CameraPose* camera,
                      Vector4* target);

// Flattens shallow noise values, keeps strong ones (from 0.5 up unchanged).
float ModuleDFlatten(float n);

// One cave vertex: base vertex b pushed along its normal n by the flattened
// noise, then stretched to the cave's size (x and z by 7, y by 2).
Vector4 ModuleDCaveVertex(const NoiseTable& noise, const Vector4& b, const Vector4& n,
                          float roll);

// The eye (at the negated camera position) is under the water plane; -y is up.
bool ModuleDEyeUnderWater(const Vector4& cameraPosition, float waterLevel);

// Screen texture coordinates of a vertex from its eye-space position,
// depth raised to 0.0001 so nothing divides by 0 or flips behind the eye.
void ModuleDScreenCoords(const Vector4& eye, float* u, float* v);

// The water's second wave for every vertex: it depends on the loaded vertex
// only, so it is computed once into out (vertexCount values).
void ModuleDStillWave(const SceneObject& water, const NoiseTable& noise, float* out);

// Ripples the water: texture coordinates from the eye-space world vertices,
// base vertices pushed along base normals. Needs the object's world vertices
// (TransformObject) and base buffers (SnapshotVertices, ComputeSmoothNormals).
// stillWave: ModuleDStillWave's values, or null to compute them here.
void ModuleDRippleWater(SceneObject& water, const NoiseTable& noise, float clockS,
                        const float* stillWave);
// The same for the bubble, whose ripple also moves with time in depth.
void ModuleDRippleBubble(SceneObject& ball, const NoiseTable& noise, float clockS);

// Band radii of the closing blur from the camera's direction y and the clock.
void ModuleDBandOffsets(float directionY, float clockS, float out[kModuleDBands]);

// Weights of the two logo groups (3-7 s and 5-11.9 s of module time).
void ModuleDLogoWeights(float clockS, float* e1, float* e2);

struct ModuleDEcho {
  float x, y, scale, alpha;
};
// The echoes of the first group (weight e1) and of the second (weight e2).
void ModuleDEchoesFirst(float clockS, float e1, ModuleDEcho out[kModuleDEchoesFirst]);
void ModuleDEchoesSecond(float clockS, float e2, ModuleDEcho out[kModuleDEchoesSecond]);
