// Module A's arithmetic, apart from GL and from the module's state: the ball
// centres chosen at init, the clock-driven camera, zoom and breathing, and the
// positions of the ribbon and cloud sprites pulled towards the centres. The
// render step calls UpdateModuleAFrame and then only draws what it holds.
#pragma once
#include <cstdint>

#include "core/camera_pose.h"
#include "core/math.h"

struct NoiseTable;

constexpr int32_t kCentreCount = 5;
constexpr int32_t kRibbonCount = 2048;
constexpr int32_t kCloudCount = 45;
constexpr int32_t kZoomCycleMs = 12000;
constexpr float kModuleAStartClockMs = 90000.0f;

// Pull of the ball centres on one sprite system.
struct Pull {
  float strength;  // c: the displacement at a centre, times the offset from it
  float exponent;  // p: sharpens the falloff
};
constexpr Pull kRibbonPull = {-0.9f, 0.45f};
constexpr Pull kCloudPull = {-1.0f, 0.4f};
constexpr float kRibbonGrowMs = 3000.0f;
constexpr float kCloudGrowMs = 5000.0f;

// Draws candidates from the process-wide generator (the caller seeds it with
// 141) until one lies at least 65 from every centre placed before it, or the
// 10000th try. distance[e] is what the accepted candidate's test measured:
// 100000 for the first centre, which nothing is compared with.
void PlaceCentres(Vector4 centre[kCentreCount], float distance[kCentreCount]);

// The camera distance factor over the 12 s zoom cycle (cycleMs in [0, 12000)).
float ZoomAt(int32_t cycleMs);

// Position on the Lissajous path times 3 (zoom + 1), aimed at the origin and
// made orthonormal.
void PlaceCamera(CameraPose* camera, float clockS, float zoom);

// The centres of this frame: chosen ones spread by 10 g + 0.75 (g falls from 1
// to 0 between clock 103 s and 108 s), turned about z by 0.2 clockS.
void MoveCentres(const Vector4 base[kCentreCount], float clockS, Vector4 out[kCentreCount]);

// The enclosing ball's breathing and texture scroll.
struct BallBreath {
  float scaleX, scaleY, texOffsetU, texOffsetV;
};
BallBreath Breathe(const NoiseTable& noise, float clockS);

// Spread B of a sprite system that grows over `lengthMs` from clock 93000 ms.
float SpriteSpread(float clockMs, float lengthMs);

// The shared curve: the sprite point for parameter A, spread B and angle phi,
// before the pull.
Vector4 SwarmPoint(const NoiseTable& noise, float s, float A, float B, float phi);

// p plus, for every centre, the pull's displacement of p's offset from it,
// all measured from the undisplaced p.
Vector4 PullTowardCentres(const Vector4& p, const Vector4 centre[kCentreCount], Pull pull);

// dot(direction, normalize(p - position)) > 0 with the pose's own position and
// direction.
bool InFront(const CameraPose& camera, const Vector4& p);

// Time-independent look of a ribbon sprite (computed once at init).
struct SpriteLook {
  float halfWidth, halfHeight, r, g, b, a;
};
SpriteLook RibbonLook(int32_t i);
// Cloud colour and base size; alpha and growth come per frame.
SpriteLook CloudLook(int32_t i);

// Which two of the five cloud images a cloud cross-fades between, and how far.
struct CloudBlend {
  int32_t k, k2;  // 0..4
  float f;        // 0..1: weight of k2
};
CloudBlend CloudBlendAt(float T);

// 0.3 EaseIn from 4 s to 8 s, plus 0.025.
float CloudAlphaScale(float clockS);

struct RibbonSprite {
  float x, y, z;
  int32_t visible;
};
struct CloudSprite {
  float x, y, z;
  int32_t visible;
  CloudBlend blend;
};

// Everything a frame of module A draws from.
struct ModuleAFrame {
  float clockS = 0.0f;
  int32_t cycleMs = 0;
  float zoom = 0.0f;
  CameraPose camera;
  Vector4 centre[kCentreCount];
  BallBreath ball = {};
  float cloudAlpha = 0.0f;
  RibbonSprite ribbon[kRibbonCount] = {};
  CloudSprite cloud[kCloudCount] = {};
};

// The ribbon's and the clouds' points for the frame's clock, centres and
// camera (set those first).
void PlaceRibbon(ModuleAFrame* frame, const NoiseTable& noise, float clockMs);
void PlaceClouds(ModuleAFrame* frame, const NoiseTable& noise, float clockMs);

// All of a frame's arithmetic, in the order the frame uses it; the ribbon only
// for modes 0 and 1, the clouds only for mode 1, as those are what they draw.
void UpdateModuleAFrame(ModuleAFrame* frame, const NoiseTable& noise,
                        const Vector4 base[kCentreCount], float clockMs, int32_t mode);
