// Zoom blur: the slot's texture drawn several times over itself, each pass
// scaled a little more about a centre, so bright parts smear outward like a
// radial motion blur. Passes are blended over each other, never cleared.
// Quads take the target's zoomColour and lose zoomFade alpha with the square
// root of pass / passes; set both beforehand. The texture environment is the
// caller's (GL_ADD with a black zoomColour draws the texture unchanged).
// The caller sets the centred pixel orthographic projection first.
//
// Leaves 2D texturing and blending on, blend function (src alpha, one minus
// src alpha), modelview selected and unchanged.
#pragma once
#include <cstdint>

struct RenderTarget;

// angle in radians; quarterTurns is added to the angle for the vertical
// component; centre (0, 0) zooms about the middle of the picture. With one
// pass the source is drawn once, unscaled, at the given alpha.
void ZoomBlur(const RenderTarget* target, int32_t slot, int32_t passes, float alpha, float angle,
              float quarterTurns, float zoom, float centreX, float centreY);
