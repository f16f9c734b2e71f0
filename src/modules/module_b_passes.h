// Module B's screen-space passes: the glow about the light marker, the sprite
// swarm, the ice cube's refraction passes and the closing passes of each
// mode. The module's state stays in module_b.cpp and comes in through these
// arguments; only module B includes this.
#pragma once
#include <cstdint>

#include "modules/module_b_frame.h"

struct CameraPose;
struct Light;
struct RenderTarget;
struct Scene;

struct ModuleBView {
  Scene* scene;
  CameraPose* pose;
  RenderTarget* target;
  Light* light1;
};

// Glow of the marker drawn small and blurred into the target's small slot 0.
// kiloballClone1 < 0 draws nothing but still fills the slot (black).
void DrawMarkerGlow(const ModuleBView& v, int32_t kiloballClone1);

// The mode-1 swarm over the glow, then the whole copied into small slot 0.
void DrawSwarm(const ModuleBView& v, const ModuleBSprite* sprites);

// The cube's two refraction passes (after its eye-space TransformObject).
// Coordinates are recomputed for each pass's strength.
void DrawIceCube(const ModuleBView& v, int32_t icecube, int32_t mode, float k);
void IceCubeCoordinates(Scene& scene, int32_t icecube, float k, float strength);

// Closing passes of mode 1: zoom blur, greetings flash with band blur, echoes.
void DrawClosingMode1(const ModuleBView& v, const ModuleBZoom& zoom, float f,
                      const float* bandValues, float bandPhaseA, float bandPhaseB);

// Closing passes of mode 0: zoom blur and the grid blurs over the height field.
void DrawClosingMode0(const ModuleBView& v, const ModuleBZoom& zoom, float g,
                      const float* heightField, int32_t rows, int32_t columns);
