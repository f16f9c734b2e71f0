// Effect module A: the ball swarm and the sprite ribbon (music time 162000 to
// 215299 ms). A star ball breathes around five translucent balls that gather
// towards the centre; a ribbon of faint sprites and a band of clouds wind
// between them, and a blue glow of the balls and sprites lies over it all.
#pragma once
#include <cstdint>

struct RenderTarget;
struct ModuleAFrame;

void ModuleAHandOver(RenderTarget* shared);
void ModuleAInit(int32_t windowWidth, int32_t windowHeight, int32_t targetWidth,
                 int32_t targetHeight);
// Modes 0 and 1 draw the ribbon, mode 1 also the clouds, others neither.
// Leaves the pixel orthographic view of the render area with depth test off
// and blending on (src alpha, dst alpha), texture environment GL_ADD.
void ModuleARender(int32_t frameDelta, int32_t mode);

// Read-only views for tests and the benchmark.
struct ModuleAObjects {
  int32_t ball = -1;       // the enclosing star ball; -1 when its file did not load
  int32_t kilo = -1;       // the small ball drawn at the five centres
  int32_t kiloClone = -1;  // its blue copy in the glow layer
  int32_t faceTotal = 0;
};
ModuleAObjects ModuleAObjectIndices();
float ModuleAClockMs();
// The five centres chosen at init and the distances their tests measured.
const float* ModuleACentreDistances();
// What the last render step drew from.
const ModuleAFrame& ModuleALastFrame();
// Billboards the last render step drew with texture `name` bound (0 for names
// the module does not draw).
int32_t ModuleABillboardCount(uint32_t name);

// The state a render step leaves behind, without GL or mesh work: what a
// start part-way through the show replays from 0, one frame step at a time.
void ModuleAStep(int32_t frameDelta, int32_t mode);
// A copy of the state the render steps change, taken after loading, and its
// return for a fresh play from 0.
void ModuleAKeepState();
void ModuleARestoreState();
