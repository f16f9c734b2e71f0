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

// Lays the slot's texture over the picture; brightness is added to every
// texel. Texture group by useSmallTextures, quad size by useSmallSize.
// blend 0: (src alpha, dst alpha); 2: (src alpha, one); else (src alpha, 1 - src alpha).
void DrawTargetQuad(const RenderTarget* target, int32_t slot, float alpha, float brightness,
                    int32_t blend);

// As DrawTargetQuad, moved by (x, y), rotated by angle degrees about the axis
// and scaled by (scale, scale, 1). blend 3 here is (src colour, 1 - src colour).
// x and y are pixels of the 1024 x 512 area: they grow with the render scale.
void DrawTargetQuadTransformed(const RenderTarget* target, int32_t slot, float alpha,
                               float brightness, int32_t blend, float x, float y, float scale,
                               float angle, float axisX, float axisY, float axisZ);
