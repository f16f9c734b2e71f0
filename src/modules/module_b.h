// Effect module B: the opening (mode 0) and the closing (mode 1) of the show.
// A noise-deformed ball seen from inside ("backball"), lit and shadowed by a
// light that travels a closed path, a glowing ball marking the light, an ice
// cube that wobbles, bounces and refracts the picture behind it, in mode 1 a
// swarm of sprites, and screen passes that finish each frame (zoom blurs,
// grid blurs over a relaxing height field, the greetings flash and echoes).
#pragma once
#include <cstdint>

#include "core/math.h"

struct RenderTarget;

void ModuleBHandOver(RenderTarget* shared);
// Loads the models and "Images/qoru.pcx" (a missing one ends the process, as
// every unreadable PCX does), builds the noise tables, prints the face count.
void ModuleBInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight);
// One frame into the render area. Leaves: GL_DEPTH_TEST off, the stencil test
// off, the window's orthographic projection with an identity modelview,
// GL_CULL_FACE off with GL_BACK selected, 2D texturing and blending on
// (blend function and texture environment as the last screen pass left them),
// the shared target's small-texture flags and zoom values at 0.
void ModuleBRender(int32_t frameDelta, int32_t mode);

// Seams for tests and the benchmark.

// The arithmetic half of a render step (clock, lights, camera, deformations,
// sprites and the closing passes' values); ModuleBRender runs it first.
void ModuleBUpdate(int32_t frameDelta, int32_t mode);
// The CPU work that needs the GL matrices: the backball's world copy and
// shadow volume, the cube's eye-space copy and its refraction coordinates.
void ModuleBWorldSpace();
// The opening's backball deformation is made once and kept while mode 0 lasts,
// and the undeformed smooth normals of the backball and the ice cube once for
// good; this makes the next frame build them afresh (tests show they agree).
void ModuleBForgetDeformation();

struct ModuleBProbe {
  float localMs;
  int32_t prevMode;
  float phase;
  int32_t cycleMs;
  float distanceFactor;
  Vector4 cameraPosition;
  Vector3 light1, light2;
  Vector3 marker;  // where the drawn kiloball sits
  int32_t backball, icecube, kiloball, kiloballClone1;  // -1 when not loaded
  int32_t faceTotal;
  float cubeD, cubeSquash, cubeScaleY;
  const float* heightField;  // 96 x 96, row-major
  float bandPhaseA, bandPhaseB;
  uint32_t slot0Texture;  // the shared target's fullTextures[0]
  uint32_t slot0Feedback;
};
ModuleBProbe ModuleBState();

// The state a render step leaves behind, without GL or mesh work: what a
// start part-way through the show replays from 0, one frame step at a time.
void ModuleBStep(int32_t frameDelta, int32_t mode);
// A copy of the state the render steps change, taken after loading, and its
// return for a fresh play from 0.
void ModuleBKeepState();
void ModuleBRestoreState();
