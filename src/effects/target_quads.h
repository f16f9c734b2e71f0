// Single-pass target quads: one texture of a RenderTarget drawn back over the
// screen as a quad of the target's size centred on the origin, at depth -1.
// The caller sets a centred pixel orthographic projection (SetOrthoWindow or
// SetOrthoTarget). Each call enables 2D texturing, disables face culling,
// enables blending with the blend function it names, and leaves texture
// environment GL_ADD, the modelview matrix selected and unchanged, and the
// slot's texture bound.
#pragma once
#include <cstdint>

struct RenderTarget;

// Clears the colour buffer, then draws the slot's texture scaled by alpha:
// alpha 1 shows the copied frame, alpha 0 leaves the clear colour.
// Texture group and quad size follow useSmallTextures.
void DrawFade(const RenderTarget* target, int32_t slot, float alpha);

// The blend function a target quad draws with.
enum QuadBlend : int32_t {
  kQuadOverDestAlpha = 0,  // (src alpha, dst alpha)
  kQuadAlpha = 1,          // (src alpha, 1 - src alpha), also for any value not named here
  kQuadAdd = 2,            // (src alpha, one)
  kQuadColour = 3,         // (src colour, 1 - src colour); DrawTargetQuad draws it as kQuadAlpha
};

// Lays the slot's texture over the picture; brightness is added to every
// texel. Texture group by useSmallTextures, quad size by useSmallSize.
// `blend` is a QuadBlend.
void DrawTargetQuad(const RenderTarget* target, int32_t slot, float alpha, float brightness,
                    int32_t blend);

// Where DrawTargetQuadTransformed lays the quad: moved by (x, y), pixels of the
// 1024 x 512 area (they grow with the render scale), turned by `angle` degrees
// about the axis (a zero axis turns nothing), scaled by (scale, scale, 1).
struct QuadPlacement {
  float x = 0.0f, y = 0.0f;
  float scale = 1.0f;
  float angle = 0.0f;
  float axisX = 0.0f, axisY = 0.0f, axisZ = 0.0f;
};

// As DrawTargetQuad, placed by `at`; here kQuadColour is its own function.
void DrawTargetQuadTransformed(const RenderTarget* target, int32_t slot, float alpha,
                               float brightness, int32_t blend, const QuadPlacement& at);
