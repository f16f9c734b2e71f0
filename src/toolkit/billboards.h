// Screen-facing textured squares (glows, sparks, sprites), blended additively
// without depth test, and the projection of a light onto the screen plane for
// flares. A batch is bracketed by BeginBillboards and EndBillboards.
#pragma once

#include "assets/scene.h"

// Starts a batch with `texture` bound. tilt non-zero pitches every billboard
// by the camera's pitch (from the scene's cameraDirection). Pushes the
// modelview and replaces it by the view with its rotation removed; depth test
// and depth writes off, GL_TEXTURE_2D on (GL_MODULATE), blending on with
// (GL_SRC_ALPHA, GL_ONE), colour material off.
void BeginBillboards(Scene& scene, unsigned texture, int tilt);

// One quad of half sizes (halfWidth, halfHeight) centred where the modelview
// of BeginBillboards puts (x, y, z), parallel to the screen. Leaves the
// current colour at (r, g, b, a).
void DrawBillboard(Scene& scene, float x, float y, float z, float halfWidth, float halfHeight,
                   float r, float g, float b, float a);

// Ends the batch: pops the modelview; depth test, depth writes and colour
// material on; texture environment GL_ADD; blend function
// (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA) with blending left on.
void EndBillboards(Scene& scene);

// The light's position on the screen plane under the current modelview
// (x scaled by 0.9375, y by 1.25, over the distance in front of the eye,
// which is clamped to 0.00001 for points at or behind the eye). Plane units,
// not pixels; the caller scales them to its own 2D set-up.
void ProjectToScreen(float* outX, float* outY, const Light& light);
