// The frame post pass and the text overlay. Every module draws into the
// render area (the lower-left renderWidth x renderHeight pixels of the area's
// own framebuffer); the post pass copies it into postTexture and draws that
// into the picture's rectangle of the window.
// The overlay has no glyphs: its texts reach the user on standard output.
#pragma once
#include <cstdint>

#include "core/gl.h"

// The post-pass texture, 0 until CreatePostTexture.
GLuint PostTexture();

// Once, right after the context is current: clears the window, makes the
// area's framebuffer (cleared, and left bound) and postTexture from it.
// Leaves texturing on with the additive environment, blending on (source
// alpha, destination alpha), depth test and lighting off, identity matrices
// with the modelview selected. False when the framebuffer cannot be made.
bool CreatePostTexture();

// Copies the render area into postTexture, clears the window and draws it into
// the picture's rectangle. Leaves the window view set (window framebuffer
// bound), texturing on (additive, postTexture bound), depth test and blending
// off.
void DrawPostPass();

// Positions the "Time: %i" and "Fps: %i" texts in the top-left corner and
// prints them to standard output as one line. Leaves the 2D state: depth test,
// texturing and lighting off, line smoothing and alpha blending on.
void DrawOverlay(int32_t musicTime, int32_t framesPerSecond);

// The 2D state of the loading text and the overlay: depth test, texturing and
// lighting off; line smoothing and blending (source alpha, one minus source
// alpha) on; line width 1.
void Set2dState();

// Places text at (x, y) fractions of the window with a scale and an alignment
// factor (0: left-aligned). No glyph set exists, so nothing is drawn.
void DrawOverlayText(float x, float y, float size, float alignment, const char* text);

// The per-frame "Time/Fps" lines on standard output; on by default. The video
// capture turns them off.
void SetFrameLinesEnabled(bool enabled);
bool FrameLinesEnabled();
