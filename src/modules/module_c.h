// Effect module C: a lens that wobbles, twists and grows in steps, refracting
// a smoky backdrop ball seen from an orbiting camera (music time 90500 to
// 146999 ms, mode 1; mode 0 only in the warm-up calls).
#pragma once
#include <cstdint>

struct RenderTarget;

void ModuleCHandOver(RenderTarget* shared);
void ModuleCInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight);

// Leaves: the centred orthographic view of the window (SetOrthoWindow) with
// the identity modelview; depth test off, depth writes on; stencil test, face
// culling, lighting and colour material off; GL_TEXTURE_2D on with GL_ADD;
// blending on, with the function of the lens's cube pass (or of the smoke
// quad when there is no lens); GL_NORMALIZE on after the cube pass. Without a
// lens only the backdrop is drawn.
void ModuleCRender(int32_t frameDelta, int32_t mode);

// Read-only views for tests and the benchmark.
struct ModuleCObjects {
  int32_t ball = -1, lens = -1;  // drawn
  int32_t box = -1, harru = -1;  // loaded for their faces, never drawn
  int32_t objectCount = 0;
  int32_t faceTotal = 0;
};
ModuleCObjects ModuleCObjectsLoaded();
float ModuleCClockMs();
// The undeformed lens normals are made once and kept; this makes the next
// frame compute them afresh (tests show the two agree).
void ModuleCForgetKeptWork();

// The frame's arithmetic without GL calls: clock, lamp, camera, smoke
// billboards, lens growth and deformation. ModuleCRender runs it first.
void ModuleCUpdate(int32_t frameDelta);
// Eye-space copy of the deformed lens: sets the camera's perspective view
// (GL matrices only, nothing drawn) and transforms the base vertices.
void ModuleCLensToEyeSpace();
// Refraction coordinates of one lens pass (0 or 1) from the eye-space vertices
// of the last transform.
void ModuleCLensCoordinates(int32_t pass);

// The state a render step leaves behind, without GL or mesh work: what a
// start part-way through the show replays from 0, one frame step at a time.
void ModuleCStep(int32_t frameDelta, int32_t mode);
// A copy of the state the render steps change, taken after loading, and its
// return for a fresh play from 0.
void ModuleCKeepState();
void ModuleCRestoreState();
