// Effect module D: a cave whose walls heave under noise, lit warm and cold by
// two pulsing lamps in pierced cages that fly along one path, with a glow
// layer and light streaks, stencil shadows of the cages, a refracting water
// surface passing through, a bubble when the eye is under the water, a banded
// blur and, in the first play, logos forming from scattered echoes.
//
// Played twice by the timeline: mode 0 (the camera's shots) from 62400 ms,
// mode 1 (an orbit) from 147000 ms, the clock continuing from the first play.
#pragma once
#include <cstdint>

#include "modules/module_d_frame.h"

struct CameraPose;
struct RenderTarget;

void ModuleDHandOver(RenderTarget* shared);
void ModuleDInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight);
// Leaves: the centred orthographic view of the render area (identity
// modelview), depth test and stencil test off, blending and 2D texturing on,
// texture environment GL_ADD; the shared target's texture names as found.
void ModuleDRender(int32_t frameDelta, int32_t mode);

// Read-only seams for tests and the benchmark.
float ModuleDClockMs();
const ModuleDFrame& ModuleDLastFrame();
const CameraPose& ModuleDCamera();
bool ModuleDBubbleDrawn();  // whether the last frame drew the bubble
// The next frame deforms the cave afresh even when roll has not changed.
void ModuleDForgetCaveHeave();
// The undeformed normals of the water and the bubble and the bubble's copy
// under its fixed camera are made once and kept; the next frame after this
// makes them afresh (tests show the two agree).
void ModuleDForgetKeptWork();
// Object indices: cave, ball, water, box, bead (-1 when not loaded).
struct ModuleDObjects {
  int32_t cave, ball, water, box, bead;
};
ModuleDObjects ModuleDObjectIndices();

// The render step's arithmetic, timed apart from its GL calls by the
// benchmark: the clock step, lamps, camera, cages and cave heave
// (ModuleDUpdate); the world copies and shadow volumes of both lamps; the
// ripple of the water (which 0) or of the bubble (1), with their normals.
void ModuleDUpdate(int32_t frameDelta, int32_t mode);
void ModuleDShadowArithmetic();
void ModuleDRippleArithmetic(int32_t which);

// The state a render step leaves behind, without GL or mesh work: what a
// start part-way through the show replays from 0, one frame step at a time.
void ModuleDStep(int32_t frameDelta, int32_t mode);
// A copy of the state the render steps change, taken after loading, and its
// return for a fresh play from 0.
void ModuleDKeepState();
void ModuleDRestoreState();
