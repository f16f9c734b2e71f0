// Effect module E: the cave with the travelling light (music time 30000 to
// 62399 ms). The camera circles a deformed, glowing cave; a light travels
// through it on a closed path, cutting stencil shadows into the walls, with
// two pulsing balls riding along; a surface above refracts the frame, a glow
// is laid over it and the whole picture is blurred in horizontal bands.
#pragma once
#include <cstdint>

#include "core/math.h"

struct Light;
struct RenderTarget;
struct Scene;

// The three entry points of moduleTable.
void ModuleEHandOver(RenderTarget* shared);
void ModuleEInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight);
void ModuleERender(int32_t frameDelta, int32_t mode);  // one mode: `mode` is ignored

// Read-only seams for tests and the benchmark.

// Object indices in the module's scene; -1 for an object whose file did not load.
struct ModuleEObjects {
  int32_t cave, surface, box1, box2, ball1, ball2;
};
ModuleEObjects ModuleEObjectIndices();
const Scene* ModuleEScene();  // null before init

// Clock and camera values after the last render call.
struct ModuleEState {
  float clockMs;
  float cameraAngle;
  float distanceFactor;
  float pulse;  // C
  Vector3 lightPosition;
  bool caveDeformed;  // the one-time relief has been computed
};
ModuleEState ModuleEStateNow();

// The render step's arithmetic, piece by piece, on the module's own objects:
// the render step calls these between its GL passes; the benchmark times them
// apart.
// Clock, light, camera, transform sources, pulse and band values (no GL).
void ModuleEUpdate(int32_t frameDelta);
// The cave relief, computed again into the cave's base arrays (the render
// step computes it once, on its first call).
void ModuleEDeformCave();
// The cave to world space (under the window's orthographic view, which this
// sets), and its shadow volume from the light.
void ModuleETransformCave();
void ModuleEBuildCaveShadow();
// The cave's world copy is made once after the relief and kept; the next
// ModuleETransformCave after this makes it afresh (tests show the two agree).
void ModuleEForgetKeptWork();
// The surface to eye space (under the camera view, which this sets), then its
// ripple and texture coordinates.
void ModuleETransformSurface();
void ModuleERippleSurface();

// The state a render step leaves behind, without GL or mesh work: what a
// start part-way through the show replays from 0, one frame step at a time.
void ModuleEStep(int32_t frameDelta, int32_t mode);
// A copy of the state the render steps change, taken after loading, and its
// return for a fresh play from 0.
void ModuleEKeepState();
void ModuleERestoreState();
